// The clean-up run from start to end.
#ifndef TAVIX_APP_DRIVER_H_
#define TAVIX_APP_DRIVER_H_

namespace tavix {

constexpr int kExitOk = 0;
constexpr int kExitUnknownProduct = -1;

// Creates the run log in the temporary folder, then runs the gate, the
// product check and the clean-up steps in their fixed order. Returns the
// process exit code: 0 after a full run or a stop at the gate, -1 for a
// product code that is neither known code.
int RunCleanUp();

}  // namespace tavix

#endif  // TAVIX_APP_DRIVER_H_
