// What no whole run reaches: the string routines at their edges, odd answers
// of the folder queries, the log's own rules and the steps' refusals.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "app/driver.h"
#include "app/transform_file.h"
#include "app/transforms_value.h"
#include "log/run_log.h"
#include "log/text.h"
#include "platform/sim_platform.h"
#include "reference_replace.h"
#include "world.h"

namespace tavix {
namespace {

// Tests the edit against the plain procedure on random texts over two
// letters, with patterns long enough to repeat inside themselves, and on the
// cases that procedure cannot take.
TEST(TextTest, ReplaceAll) {
  std::mt19937 random(20261206);
  auto make = [&](std::size_t minimum, std::size_t maximum) {
    std::u16string s(minimum + random() % (maximum - minimum + 1), u'a');
    for (char16_t& c : s) c = static_cast<char16_t>(u'a' + random() % 2);
    return s;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::u16string text = make(0, 40), pattern = make(1, 8), replacement = make(0, 3);
    std::u16string fast = text, plain = text;
    ASSERT_EQ(ReplaceAll(fast, pattern, replacement),
              ReferenceReplaceAll(plain, pattern, replacement))
        << U8(text) << " / " << U8(pattern);
    ASSERT_EQ(fast, plain) << U8(text) << " / " << U8(pattern);
  }
  std::u16string text = u"aaabaabb";
  EXPECT_EQ(ReplaceAll(text, u"aaabb", u"x") + ReplaceAll(text, u"", u"x"), 0);
  EXPECT_EQ(text, u"aaabaabb");
}

// Tests both conversions at the boundaries of every encoded length and on
// malformed input, which becomes U+FFFD.
TEST(TextTest, Conversions) {
  const struct {
    std::u16string wide;
    std::string utf8;
    int direction;  // 0: both ways, 1: to UTF-8 only, 2: to UTF-16 only
  } cases[] = {
      {u"A\u007F\u0080\u07FF", "A\x7F\xC2\x80\xDF\xBF", 0},
      {u"\u0800\uFFFF\U0001F600\U0010FFFF",
       "\xE0\xA0\x80\xEF\xBF\xBF\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", 0},
      {std::u16string(1, u'\0'), std::string(1, '\0'), 0},
      {u"\xD83D\xD83D\xDE00\xDC00", "\xEF\xBF\xBD\xF0\x9F\x98\x80\xEF\xBF\xBD", 1},
      {u"\uFFFD\uFFFD\uFFFD", "\xED\xA0\x80", 2},            // an encoded surrogate
      {u"\uFFFD\uFFFD", "\xC0\xAF", 2},                      // overlong
      {u"\uFFFD\uFFFD\uFFFD\uFFFD", "\xF4\x90\x80\x80", 2},  // above U+10FFFF
      {u"a\uFFFD\uFFFD", "a\xE2\x82", 2},                    // cut short
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.direction == 2 ? c.utf8 : WideToUtf8(c.wide), c.utf8) << U8(c.wide);
    EXPECT_EQ(c.direction == 1 ? c.wide : Utf8ToWide(c.utf8), c.wide) << U8(c.wide);
  }
}

class StepsTest : public ::testing::Test {
 protected:
  StepsTest() { Fresh(); }
  ~StepsTest() override { ResetRunLogForTesting(); }
  SimPlatform& Fresh() {
    ResetRunLogForTesting();
    TheWorld().Reset();
    sim().AddFolder(u"C:\\logs\\");
    sim().SetLocalTime(SystemTime{2026, 12, 0, 6, 9, 5, 7, 250});
    return sim();
  }
  SimPlatform& sim() { return static_cast<SimPlatform&>(TheWorld().platform()); }
  std::string Log() { return sim().FileBytes(u"C:\\logs\\VelmoranTavix_TransformsCleanUp.log"); }
};

// Tests that the log is written only into a plain file of its own at the
// very path asked for, never through a symbolic link, into a device or below
// a redirected folder (what is there keeps its bytes), and that the spellings
// Windows allows for that path raise no false alarm; and the bytes of a CR
// and of an empty message; one log for the process. (Hard links: in the
// scenario table.)
TEST_F(StepsTest, LogOnlyInAPlainFileOfItsOwn) {
  const std::u16string log = u"\\VelmoranTavix_TransformsCleanUp.log", logs = u"C:\\logs" + log;
  const std::string lines = "09:05:07  a\r\r\nb\xC3\xA9\r\n\r\n";
  const struct {
    std::u16string folder;
    std::function<void(SimPlatform&)> plant;
    std::u16string inspect;
    std::string bytes;
  } cases[] = {
      {u"C:\\logs", [&](SimPlatform& s) { s.AddLink(logs, u"C:\\keep", true); }, u"C:\\keep",
       "kept"},
      {u"C:\\logs", [&](SimPlatform& s) { s.AddFile(logs, "kept", false, kFileTypeChar); }, logs,
       "kept"},
      {u"C:\\moved", [](SimPlatform& s) { s.RedirectFolder(u"C:\\moved", u"C:\\logs"); }, logs, ""},
      {u"C:\\LOGS~1", [](SimPlatform& s) { s.AddShortName(u"C:\\LOGS~1", u"C:\\logs"); }, logs,
       lines},
      {u"c:/LOGS/", [](SimPlatform&) {}, logs, lines},
      {u"", [](SimPlatform&) {}, SimPlatform::kCurrentDirectory + log.substr(1), lines},
  };
  for (const auto& c : cases) {
    Fresh().AddFile(u"C:\\keep", "kept");
    c.plant(sim());
    GetRunLog(c.folder)->WriteLogLine(u"a\r\nb\u00e9");
    GetRunLog()->WriteLogLine(u"");
    EXPECT_EQ(sim().FileBytes(c.inspect), c.bytes) << U8(c.folder);
    EXPECT_EQ(sim().CountCalls("WriteFile"), c.bytes == lines ? 2u : 0u) << U8(c.folder);
  }
  EXPECT_EQ(GetRunLog(u"C:\\moved\\")->filePath(), log.substr(1));  // the last one's
}

// Tests the paths each answer of the folder queries gives: the log's (with
// its fallback) and the transform file's (with its own); 260 is success, and
// a full buffer without a NUL is read no further.
TEST_F(StepsTest, FolderAnswers) {
  const std::u16string t259(259, u'T'), log = u"VelmoranTavix_TransformsCleanUp.log";
  const std::u16string file = u"\\Installer\\{C}\\VelmoranTavix.mst";
  const struct {
    bool temp;  // else the Windows folder
    std::u16string folder;
    std::optional<DWORD> result;
    std::u16string path;
  } cases[] = {
      {true, u"C:\\logs", std::nullopt, u"C:\\logs/" + log},
      {true, u"C:\\logs\\", 261u, u"C:\\temp\\" + log},
      {true, t259 + u"\\x", std::nullopt, u"C:\\temp\\" + log},  // needs 262 units
      {true, t259 + u"\\overrun", 260u, t259 + u"\\" + log},
      {false, u"D:\\Windows", std::nullopt, u"D:\\Windows" + file},
      {false, t259 + u"T", std::nullopt, u"C:\\Windows" + file},  // needs 261 units
      {false, t259 + u"T", 261u, u"C:\\Windows" + file},
      {false, t259 + u"Toverrun", 260u, t259 + u"T" + file},
  };
  for (const auto& c : cases) {
    Fresh().SetTempPath(c.folder, c.result);
    sim().SetWindowsDirectory(c.folder, c.result);
    if (c.temp) RunCleanUp();
    EXPECT_EQ(c.temp ? GetRunLog()->filePath() : BuildTransformFilePath(u"{C}"), c.path);
  }
  sim().ClearCalls();
  EXPECT_EQ(BuildTransformFilePath(u""), u"");  // asks for no folder
  EXPECT_EQ(sim().CountCalls(""), 0u);
}

// Tests the steps' refusals of what the run never passes them.
TEST_F(StepsTest, Refusals) {
  GetRunLog(u"C:\\logs\\");
  EXPECT_FALSE(RewriteTransformsValue(u"", u"P") ||
               RewriteTransformsValue(u"{6d2e47b1-0000-1033-0002-5a9c20f3e184}", u"") ||
               RewriteTransformsValue(u"{6d2e47b1-0000-1033-0002-5a9c20f3e184}", u"P") ||
               RemoveTransformFile(u""));
  EXPECT_EQ(Log(),
            "09:05:07  ----- -->No updated on Transforms Register value --> Product Code and "
            "Transforms file : \r\n\r\n09:05:07  --------------------------------- --> Product "
            "Code : {6d2e47b1-0000-1033-0002-5a9c20f3e184}, Transforms file : P \r\n\r\n09:05:07  "
            "Error --> Failed to remove file : \r\n");
  EXPECT_EQ(sim().CountCalls("RegOpenKeyExW") + sim().CountCalls("_wremove"), 0u);
}

}  // namespace
}  // namespace tavix
