#include "sim_test.h"

#include "log/text.h"

namespace tavix {

std::string SimTest::MaskedLog(const std::u16string& folder) const {
  return MaskTimeStamps(sim_.FileBytes(folder + kRunLogFileName));
}

std::string U8(const std::u16string& text) { return WideToUtf8(text); }

}  // namespace tavix
