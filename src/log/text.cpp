#include "log/text.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace tavix {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUtf16(char32_t c, std::u16string& out) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  }
}

// vsnprintf of the C runtime. On Windows the C++ headers switch the C names
// over to MinGW's own printf family, which would add some 25 KiB to the exe;
// the run log's directives read the same in both.
int FormatNarrow(char* buffer, std::size_t size, const char* format, std::va_list args) {
#ifdef _WIN32
  return buffer == nullptr ? _vscprintf(format, args) : _vsnprintf(buffer, size, format, args);
#else
  return std::vsnprintf(buffer, size, format, args);
#endif
}

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

std::string WideToUtf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      const char32_t c = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                         (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      AppendUtf8(c, out);
      ++i;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      AppendUtf8(kReplacement, out);
    } else {
      AppendUtf8(unit, out);
    }
  }
  return out;
}

std::u16string Utf8ToWide(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      length = 1, c = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, c = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, c = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, c = lead & 0x07, minimum = 0x10000;
    }
    bool valid = length != 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    if (valid && (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) {
      valid = false;
    }
    if (valid) {
      AppendUtf16(c, out);
      i += length;
    } else {
      out += static_cast<char16_t>(kReplacement);
      ++i;
    }
  }
  return out;
}

std::u16string FormatWideString(const char16_t* format, ...) {
  std::u16string result;
  if (format == nullptr) return result;
  const std::string narrowFormat = WideToUtf8(format);

  std::va_list args;
  va_start(args, format);
  std::va_list countArgs;
  va_copy(countArgs, args);
  const int needed = FormatNarrow(nullptr, 0, narrowFormat.c_str(), countArgs);
  va_end(countArgs);
  if (needed > 0) {
    std::vector<char> buffer(static_cast<std::size_t>(needed) + 1, '\0');
    const int written = FormatNarrow(buffer.data(), buffer.size(), narrowFormat.c_str(), args);
    if (written > 0)
      result = Utf8ToWide(std::string(buffer.data(), static_cast<std::size_t>(written)));
  }
  va_end(args);
  return result;
}

}  // namespace tavix
