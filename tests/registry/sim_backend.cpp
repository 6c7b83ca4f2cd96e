#include "backend.h"
#include "platform/sim_platform.h"

namespace tavix {
namespace {

class SimBackend final : public RegistryBackend {
 public:
  Platform& platform() override { return sim_; }
  std::u16string runId() const override { return u"sim"; }

 private:
  SimPlatform sim_;
};

}  // namespace

std::unique_ptr<RegistryBackend> MakeRegistryBackend() { return std::make_unique<SimBackend>(); }

}  // namespace tavix
