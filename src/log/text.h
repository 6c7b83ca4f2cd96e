// Text helpers of the run log: printf-style formatting into UTF-16 and the
// UTF-16 to UTF-8 conversion used for the log file.
#ifndef TAVIX_LOG_TEXT_H_
#define TAVIX_LOG_TEXT_H_

#include <string>

namespace tavix {

// printf-style formatting with the C runtime's rules into a wide string. The
// format is UTF-16; its directives take narrow arguments (%d, %s, ...). The
// output is never cut. A null format, or output of no characters, gives the
// empty string.
std::u16string FormatWideString(const char16_t* format, ...);

// UTF-8 form of `text`. Surrogate pairs are combined; an unpaired surrogate
// becomes U+FFFD (EF BF BD), as WideCharToMultiByte does with flags 0.
std::string WideToUtf8(const std::u16string& text);

// UTF-16 form of UTF-8 `text`; each malformed byte becomes U+FFFD.
std::u16string Utf8ToWide(const std::string& text);

}  // namespace tavix

#endif  // TAVIX_LOG_TEXT_H_
