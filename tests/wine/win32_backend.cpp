// The real registry behind the registry suite.
#include <windows.h>

#include "../registry/backend.h"
#include "log/text.h"
#include "platform/win32_platform.h"

namespace tavix {
namespace {

class Win32Backend final : public RegistryBackend {
 public:
  Platform& platform() override { return platform_; }
  std::u16string runId() const override { return runId_; }

 private:
  Win32Platform platform_;
  // Keys of earlier runs in the same prefix stay apart from this run's.
  std::u16string runId_ = Utf8ToWide("run" + std::to_string(GetCurrentProcessId()) + "_" +
                                     std::to_string(GetTickCount64()));
};

}  // namespace

std::unique_ptr<RegistryBackend> MakeRegistryBackend() { return std::make_unique<Win32Backend>(); }

}  // namespace tavix
