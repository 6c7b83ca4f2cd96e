// Log bytes with their time stamps masked, for exact comparisons.
#ifndef TAVIX_TESTS_SUPPORT_LOG_MASK_H_
#define TAVIX_TESTS_SUPPORT_LOG_MASK_H_

#include <string>

namespace tavix {

// `bytes` with each "HH:MM:SS" at a line start replaced by "##:##:##".
std::string MaskTimeStamps(const std::string& bytes);

// One expected log line: masked time stamp, two blanks, message, CR LF.
std::string LogLine(const std::string& message);

}  // namespace tavix

#endif  // TAVIX_TESTS_SUPPORT_LOG_MASK_H_
