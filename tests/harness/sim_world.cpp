// The host's world: a fresh simulated Windows at every reset; runs in-process.
#include <memory>

#include "app/driver.h"
#include "log/run_log.h"
#include "platform/sim_platform.h"
#include "world.h"

namespace tavix {
namespace {

class SimWorld final : public World {
 public:
  SimWorld() { Reset(); }
  Platform& platform() override { return *sim_; }
  bool twoViews() const override { return true; }
  void Reset() override {
    sim_ = std::make_unique<SimPlatform>();
    SetCurrentPlatform(sim_.get());
  }
  void MakeFolder(const std::u16string& path) override { sim_->AddFolder(path); }
  void PutFile(const std::u16string& path, const std::string& bytes, bool readOnly) override {
    sim_->AddFile(path, bytes, readOnly);
  }
  std::optional<std::string> GetFile(const std::u16string& path) override {
    return sim_->FileExists(path) ? std::optional(sim_->FileBytes(path)) : std::nullopt;
  }
  bool PlantLink(const std::u16string& link, const std::u16string& target, bool symbolic) override {
    sim_->AddLink(link, target, symbolic);
    return true;
  }
  std::uint32_t Run(const std::u16string& tempFolder, const std::u16string&) override {
    sim_->SetTempPath(tempFolder);
    ResetRunLogForTesting();
    const int exitCode = RunCleanUp();
    ResetRunLogForTesting();  // closes the log as the end of the process does
    return static_cast<std::uint32_t>(exitCode);
  }
  std::vector<RegCall> RegistryCalls() const override {
    std::vector<RegCall> calls;
    for (const SimPlatform::Call& c : sim_->calls())
      calls.push_back({c.function, c.key, c.text, c.number});
    return calls;
  }
  void ClearCalls() override { sim_->ClearCalls(); }
  std::size_t OpenHandles() const override { return sim_->OpenHandleCount(); }

 private:
  std::unique_ptr<SimPlatform> sim_;
};

}  // namespace

World& TheWorld() {
  static SimWorld world;
  return world;
}

}  // namespace tavix
