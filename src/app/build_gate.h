// The build-version gate and the product code.
#ifndef TAVIX_APP_BUILD_GATE_H_
#define TAVIX_APP_BUILD_GATE_H_

#include <string>

namespace tavix {

// Reads the installed build version and writes one log line. True when it is
// one of the three builds this clean-up is meant for (compared exactly);
// false for any other text, a missing value included.
bool CheckBuildVersion();

// The installed product code exactly as stored, or empty when it cannot be
// read. Logs nothing.
std::wstring ReadProductCode();

}  // namespace tavix

#endif  // TAVIX_APP_BUILD_GATE_H_
