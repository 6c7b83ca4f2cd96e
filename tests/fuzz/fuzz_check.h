// What the fuzz targets share: reading fuzzer bytes as UTF-16 and stopping
// the run, with a readable reason, when a property does not hold.
#ifndef TAVIX_TESTS_FUZZ_FUZZ_CHECK_H_
#define TAVIX_TESTS_FUZZ_FUZZ_CHECK_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Aborts the run when `condition` is false; libFuzzer then keeps the input.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

namespace tavix {
namespace fuzz {

// `size` bytes as little-endian UTF-16 code units; an odd last byte is
// dropped.
inline std::u16string Utf16Le(const std::uint8_t* data, std::size_t size) {
  std::u16string units(size / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  return units;
}

}  // namespace fuzz
}  // namespace tavix

#endif  // TAVIX_TESTS_FUZZ_FUZZ_CHECK_H_
