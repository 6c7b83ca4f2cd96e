#include "log_mask.h"

namespace tavix {

std::string MaskTimeStamps(const std::string& bytes) {
  std::string out = bytes;
  auto digit = [&](std::size_t i) { return i < out.size() && out[i] >= '0' && out[i] <= '9'; };
  for (std::size_t start = 0; start < out.size();) {
    if (digit(start) && digit(start + 1) && out[start + 2] == ':' && digit(start + 3) &&
        digit(start + 4) && out[start + 5] == ':' && digit(start + 6) && digit(start + 7)) {
      out.replace(start, 8, "##:##:##");
    }
    const std::size_t end = out.find('\n', start);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}

std::string LogLine(const std::string& message) { return "##:##:##  " + message + "\r\n"; }

}  // namespace tavix
