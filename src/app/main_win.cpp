// Process entry: a windowless GUI-subsystem program. Arguments are ignored.
#include <windows.h>

#include "app/driver.h"
#include "log/elevation.h"

namespace {

// Asks Windows not to follow, anywhere in this process, a junction that a
// non-administrator made or changed. Only for a run with more rights than its
// user: for any other, whoever could plant such a junction already has the
// run's rights, and the policy would only cost it the user's own junctions
// (a moved temporary folder, say). Looked up at run time: Windows before 8
// lacks the call, and a Windows that does not know this policy refuses it
// (Wine takes it and enforces nothing); either way the run goes on as before,
// relying on the log's own checks.
void TrustOnlyAdministratorsRedirections() {
  using SetPolicy = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  // Through void (*)(void), the one cast between function types that GCC
  // does not warn about.
  const auto set = reinterpret_cast<SetPolicy>(reinterpret_cast<void (*)()>(
      kernel != nullptr ? GetProcAddress(kernel, "SetProcessMitigationPolicy") : nullptr));
  if (set == nullptr) return;
  PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy{};
  policy.EnforceRedirectionTrust = 1;
  set(ProcessRedirectionTrustPolicy, &policy, sizeof policy);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // No box for the whole run: no "no disk in the drive" prompt when a path
  // lies on an empty removable drive (the call then fails and the run goes
  // on), and no fault report box after a crash. Run unattended, or as SYSTEM
  // with no one to click, such a box would stop the update for good.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  if (tavix::RunIsElevated()) TrustOnlyAdministratorsRedirections();
  return tavix::RunCleanUp();
}
