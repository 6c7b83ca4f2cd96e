#include "app/build_gate.h"

#include "app/product.h"
#include "log/run_log.h"
#include "platform/platform.h"
#include "registry/registry_read.h"

namespace tavix {
namespace {

struct KnownBuild {
  const char16_t* version;
  const char16_t* line;
};

// In the order they are tested. The line's text is fixed; it is not built
// from the value read.
constexpr KnownBuild kKnownBuilds[] = {
    {u"1.0.43.27", u"----- --> Starting update: TAVIX_RTM_1_0_FOR_SUITES = 1.0.43.27."},
    {u"1.0.43.24", u"----- --> Starting update: TAVIX_RTM_1_0_FOR_KESTRAVANE  = 1.0.43.24."},
    {u"1.0.43.13", u"----- --> Starting update: TAVIX_RTM_1_0_FOR_ZIRK = 1.0.43.13."},
};

}  // namespace

bool CheckBuildVersion() {
  const std::u16string build =
      ReadRegistryString(kProductSpecificKey, HkeyLocalMachine(), kBuildVersionValue);
  for (const KnownBuild& known : kKnownBuilds) {
    if (build == known.version) {
      GetRunLog()->WriteLogLine(known.line);
      return true;
    }
  }
  GetRunLog()->WriteLogLine(
      u"----- --> Velmoran Tavix has been updated. Current Build Version is : " + build);
  return false;
}

std::u16string ReadProductCode() {
  return ReadRegistryString(kProductSpecificKey, HkeyLocalMachine(), kProductCodeValue);
}

}  // namespace tavix
