#include "app/build_gate.h"

#include <windows.h>

#include "app/product.h"
#include "log/run_log.h"
#include "registry/registry_read.h"

namespace tavix {
namespace {

struct KnownBuild {
  const wchar_t* version;
  const wchar_t* line;
};

// In the order they are tested. The line's text is fixed; it is not built
// from the value read.
constexpr KnownBuild kKnownBuilds[] = {
    {L"1.0.43.27", L"----- --> Starting update: TAVIX_RTM_1_0_FOR_SUITES = 1.0.43.27."},
    {L"1.0.43.24", L"----- --> Starting update: TAVIX_RTM_1_0_FOR_KESTRAVANE  = 1.0.43.24."},
    {L"1.0.43.13", L"----- --> Starting update: TAVIX_RTM_1_0_FOR_ZIRK = 1.0.43.13."},
};

}  // namespace

bool CheckBuildVersion() {
  const std::wstring build =
      ReadRegistryString(kProductSpecificKey, HKEY_LOCAL_MACHINE, kBuildVersionValue);
  for (const KnownBuild& known : kKnownBuilds) {
    if (build == known.version) {
      GetRunLog()->WriteLogLine(known.line);
      return true;
    }
  }
  GetRunLog()->WriteLogLine(
      L"----- --> Velmoran Tavix has been updated. Current Build Version is : " + build);
  return false;
}

std::wstring ReadProductCode() {
  return ReadRegistryString(kProductSpecificKey, HKEY_LOCAL_MACHINE, kProductCodeValue);
}

}  // namespace tavix
