// WideToUtf8 on arbitrary UTF-16 against a plain encoder. The output must
// always be well-formed UTF-8 and must come back through Utf8ToWide as the
// input with each unpaired surrogate replaced by U+FFFD. The raw bytes are
// also tried as UTF-8 in the other direction: well-formed input must come
// back unchanged.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "log/text.h"

namespace {

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// The code points `text` stands for; an unpaired surrogate stands for U+FFFD.
std::vector<char32_t> CodePoints(const std::u16string& text) {
  std::vector<char32_t> points;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (IsHigh(u) && i + 1 < text.size() && IsLow(text[i + 1])) {
      points.push_back(0x10000 + ((char32_t{u} - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00));
      ++i;
    } else if (IsHigh(u) || IsLow(u)) {
      points.push_back(0xFFFD);
    } else {
      points.push_back(u);
    }
  }
  return points;
}

std::string ReferenceUtf8(const std::u16string& text) {
  std::string out;
  for (char32_t c : CodePoints(text)) {
    const int length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    static constexpr unsigned char kLead[] = {0x00, 0x00, 0xC0, 0xE0, 0xF0};
    char bytes[4];
    for (int k = length - 1; k > 0; --k) {
      bytes[k] = static_cast<char>(0x80 | (c & 0x3F));
      c >>= 6;
    }
    bytes[0] = static_cast<char>(kLead[length] | c);
    out.append(bytes, static_cast<std::size_t>(length));
  }
  return out;
}

// Well-formed UTF-8 by the table of the Unicode standard: no stray or
// missing continuation bytes, no overlong forms, no surrogates, nothing
// above U+10FFFF.
bool IsStrictUtf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;  // range of the second byte
    if (b0 <= 0x7F) {
      length = 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
      length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      length = 3;
      if (b0 == 0xE0) low = 0xA0;
      if (b0 == 0xED) high = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      length = 4;
      if (b0 == 0xF0) low = 0x90;
      if (b0 == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto b = static_cast<unsigned char>(text[i + k]);
      if (k == 1 ? (b < low || b > high) : (b < 0x80 || b > 0xBF)) return false;
    }
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string text = tavix::fuzz::Utf16Le(data, size);
  const std::string utf8 = tavix::WideToUtf8(text);
  FUZZ_CHECK(IsStrictUtf8(utf8));
  FUZZ_CHECK(utf8 == ReferenceUtf8(text));

  std::u16string repaired;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
      repaired += text[i];
      repaired += text[++i];
    } else {
      repaired += IsHigh(text[i]) || IsLow(text[i]) ? u'\uFFFD' : text[i];
    }
  }
  FUZZ_CHECK(tavix::Utf8ToWide(utf8) == repaired);

  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (IsStrictUtf8(bytes)) FUZZ_CHECK(tavix::WideToUtf8(tavix::Utf8ToWide(bytes)) == bytes);
  return 0;
}
