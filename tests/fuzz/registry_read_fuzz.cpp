// ReadRegistryString on a value of arbitrary type and data in the simulated
// registry.
//
// Input: the value's type (4 bytes, little-endian), a byte that picks the
// root and the registry view the value is stored in, then the data.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "platform/sim_platform.h"
#include "registry/registry_read.h"

namespace {

// Makes `platform` current for the scope and leaves none behind.
class CurrentPlatformScope {
 public:
  explicit CurrentPlatformScope(tavix::Platform* platform) { tavix::SetCurrentPlatform(platform); }
  ~CurrentPlatformScope() { tavix::SetCurrentPlatform(nullptr); }
  CurrentPlatformScope(const CurrentPlatformScope&) = delete;
  CurrentPlatformScope& operator=(const CurrentPlatformScope&) = delete;
};

// The data as UTF-16 up to the first NUL; an odd last byte counts for nothing.
std::u16string ReferenceText(const std::vector<tavix::BYTE>& data) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit == u'\0') break;
    text += unit;
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const tavix::DWORD type =
      data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<tavix::DWORD>(data[3]) << 24);
  const tavix::HKEY roots[] = {tavix::HkeyLocalMachine(), tavix::HkeyCurrentUser(),
                               tavix::HkeyClassesRoot()};
  const tavix::REGSAM views[] = {tavix::kKeyWow64_32Key, tavix::kKeyWow64_64Key, 0};
  const tavix::HKEY root = roots[(data[4] / 3) % 3];
  const tavix::REGSAM view = views[data[4] % 3];
  const std::vector<tavix::BYTE> bytes(data + 5, data + size);

  tavix::SimPlatform sim;
  CurrentPlatformScope scope(&sim);
  const std::u16string path = u"Software\\Velmoran\\Fuzz";
  sim.SetValue(root, view, path, u"Data", type, bytes);

  FUZZ_CHECK(tavix::ReadRegistryString(path.c_str(), root, u"Data") == ReferenceText(bytes));
  FUZZ_CHECK(sim.OpenHandleCount() == 0);
  FUZZ_CHECK(tavix::ReadRegistryString(path.c_str(), root, u"Absent").empty());
  FUZZ_CHECK(sim.OpenHandleCount() == 0);
  return 0;
}
