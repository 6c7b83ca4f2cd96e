// Splits arbitrary UTF-16 paths. The first byte picks the separator set the
// registry walk uses ("\/") or the backslash alone; the rest is the path.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "registry/registry_path.h"

namespace {

using tavix::fuzz::Utf16Le;
using Names = std::vector<std::u16string>;

bool IsSeparator(char16_t c, const std::u16string& separators) {
  return separators.find(c) != std::u16string::npos;
}

// Cut at every separator, trim blanks off each piece, drop empty pieces.
Names ReferenceSplit(const std::u16string& path, const std::u16string& separators) {
  Names names;
  std::u16string piece;
  auto flush = [&] {
    const std::size_t first = piece.find_first_not_of(u' ');
    if (first != std::u16string::npos) {
      const std::size_t last = piece.find_last_not_of(u' ');
      names.push_back(piece.substr(first, last - first + 1));
    }
    piece.clear();
  };
  for (const char16_t c : path) {
    if (IsSeparator(c, separators)) {
      flush();
    } else {
      piece += c;
    }
  }
  flush();
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::u16string separators = (data[0] & 1) != 0 ? u"\\/" : u"\\";
  const std::u16string path = Utf16Le(data + 1, size - 1);

  // Whatever the vector held before is gone.
  Names names = {u"stale", u""};
  tavix::SplitRegistryPath(path, separators, names);

  for (const std::u16string& name : names) {
    FUZZ_CHECK(!name.empty());
    FUZZ_CHECK(name.front() != u' ' && name.back() != u' ');
    for (const char16_t c : name) FUZZ_CHECK(!IsSeparator(c, separators));
  }
  FUZZ_CHECK(names == ReferenceSplit(path, separators));
  return 0;
}
