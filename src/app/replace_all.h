// The "Transforms" text edit: plain text work, no Windows in it, so that it
// is also built, tested and fuzzed on the Linux host.
#ifndef TAVIX_APP_REPLACE_ALL_H_
#define TAVIX_APP_REPLACE_ALL_H_

#include <cstddef>
#include <string>

namespace tavix {

// Replaces occurrences of `pattern` in `text` and returns how many. The
// result is that of searching from the start, replacing the occurrence at p
// and searching again from p + replacement length, but computed in time
// linear in the text. Matches are exact code units, anywhere in the text. An
// empty pattern replaces nothing.
std::ptrdiff_t ReplaceAll(std::wstring& text, const std::wstring& pattern,
                          const std::wstring& replacement);

}  // namespace tavix

#endif  // TAVIX_APP_REPLACE_ALL_H_
