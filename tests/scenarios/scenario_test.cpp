#include <gtest/gtest.h>

#include "log/run_log.h"
#include "log/text.h"
#include "log_mask.h"
#include "scenario.h"

namespace tavix {

// Failures name the case rather than dump its bytes.
void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

namespace {

class ScenarioTest : public ::testing::TestWithParam<Scenario> {};

// Tests one whole run: exit code, every log byte but the time stamps, the
// "Transforms" value and the cached file afterwards.
TEST_P(ScenarioTest, Run) {
  const Scenario& s = GetParam();
  const std::unique_ptr<ScenarioWorld> world = MakeScenarioWorld();
  world->Prepare(s);

  EXPECT_EQ(world->Run(s.arguments), static_cast<std::uint32_t>(s.exitCode));

  const std::u16string folder = s.tempFolderExists ? kScenarioTempFolder : kScenarioMissingFolder;
  const std::optional<std::string> log = world->ReadFile(folder + kRunLogFileName);
  ASSERT_EQ(log.has_value(), s.log.has_value());
  if (log) {
    EXPECT_EQ(MaskTimeStamps(*log), *s.log);
  }

  const auto transforms = world->ReadTransforms(s.packedCode);
  ASSERT_EQ(transforms.has_value(), s.transformsAfter.has_value());
  if (transforms) {
    EXPECT_EQ(WideToUtf8(transforms->text), WideToUtf8(*s.transformsAfter));
    EXPECT_EQ(transforms->type, s.transformsTypeAfter);
  }
  const std::u16string code = s.cachedFileCode.empty() ? u"{none}" : s.cachedFileCode;
  EXPECT_EQ(world->FileExists(CachedFilePath(code)), s.cachedFileAfter);
}

INSTANTIATE_TEST_SUITE_P(Table, ScenarioTest, ::testing::ValuesIn(AllScenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace tavix
