// Scenarios on the simulated platform: the clean-up runs in this process.
#include <gtest/gtest.h>

#include <cstring>

#include "app/driver.h"
#include "app/product.h"
#include "log/run_log.h"
#include "platform/sim_platform.h"
#include "scenario.h"

namespace tavix {
namespace {

class SimWorld final : public ScenarioWorld {
 public:
  ~SimWorld() override {
    ResetRunLogForTesting();
    SetCurrentPlatform(nullptr);
  }

  void Prepare(const Scenario& s) override {
    sim_.SetWindowsDirectory(kScenarioWindowsFolder);
    if (s.tempFolderExists) {
      sim_.SetTempPath(kScenarioTempFolder);
      sim_.AddFolder(kScenarioTempFolder);
      if (!s.earlierLog.empty()) {
        sim_.AddFile(std::u16string(kScenarioTempFolder) + kRunLogFileName, s.earlierLog);
      }
    } else {
      sim_.SetTempPath(kScenarioMissingFolder);
    }
    for (const ProductValue& v : s.productValues) {
      sim_.SetString(HkeyLocalMachine(), v.view, kProductSpecificKey, v.name, v.text);
    }
    const std::u16string key = std::u16string(kProductsKeyPrefix) + s.packedCode;
    if (s.transformsKey) sim_.CreateKey(HkeyClassesRoot(), 0, key);
    if (s.transforms) sim_.SetString(HkeyClassesRoot(), 0, key, kTransformsValue, *s.transforms);
    if (!s.cachedFileCode.empty()) {
      sim_.AddFile(CachedFilePath(s.cachedFileCode), "transform", s.cachedFileReadOnly);
    }
  }

  std::uint32_t Run(const std::u16string&) override {
    ResetRunLogForTesting();
    SetCurrentPlatform(&sim_);
    const int code = RunCleanUp();
    // Every key handle of the run is closed, and only the cached file is
    // ever deleted.
    EXPECT_EQ(sim_.OpenHandleCount(), 0u);
    for (const std::u16string& removed : sim_.removedFiles()) {
      EXPECT_TRUE(removed == CachedFilePath(kProductCode32) ||
                  removed == CachedFilePath(kProductCode64));
    }
    return static_cast<std::uint32_t>(code);
  }

  std::optional<std::string> ReadFile(const std::u16string& path) override {
    if (!sim_.FileExists(path)) return std::nullopt;
    return sim_.FileBytes(path);
  }

  std::optional<Value> ReadTransforms(const char16_t* packedCode) override {
    const auto value = sim_.GetValue(
        HkeyClassesRoot(), 0, std::u16string(kProductsKeyPrefix) + packedCode, kTransformsValue);
    if (!value) return std::nullopt;
    std::u16string text(value->data.size() / 2, u'\0');
    if (!text.empty()) std::memcpy(&text[0], value->data.data(), text.size() * 2);
    return Value{value->type, text.substr(0, text.find(u'\0'))};
  }

  bool FileExists(const std::u16string& path) override { return sim_.FileExists(path); }

 private:
  SimPlatform sim_;
};

}  // namespace

std::unique_ptr<ScenarioWorld> MakeScenarioWorld() { return std::make_unique<SimWorld>(); }

}  // namespace tavix
