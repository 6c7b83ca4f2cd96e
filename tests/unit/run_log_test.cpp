#include <gtest/gtest.h>

#include "log/run_log.h"
#include "log/text.h"
#include "sim_test.h"

namespace tavix {
namespace {

constexpr char16_t kFolder[] = u"C:\\logs\\";

class RunLogTest : public SimTest {
 protected:
  void SetUp() override {
    sim_.AddFolder(kFolder);
    sim_.SetLocalTime(SystemTime{2026, 12, 0, 6, 9, 5, 7, 250});
  }
  std::string Bytes() const { return sim_.FileBytes(std::u16string(kFolder) + kRunLogFileName); }
};

// Tests that the file lands where the folder says, with "/" added only when
// the folder does not end in a separator.
TEST_F(RunLogTest, PathFromFolder) {
  const struct {
    std::u16string folder;
    std::u16string path;
  } cases[] = {
      {u"D:\\work\\", u"D:\\work\\VelmoranTavix_TransformsCleanUp.log"},
      {u"D:/work/", u"D:/work/VelmoranTavix_TransformsCleanUp.log"},
      {u"D:\\work", u"D:\\work/VelmoranTavix_TransformsCleanUp.log"},
      {u"", u"VelmoranTavix_TransformsCleanUp.log"},
  };
  for (const auto& c : cases) {
    ResetRunLogForTesting();
    sim_.ClearCalls();
    EXPECT_EQ(GetRunLog(c.folder)->filePath(), c.path) << U8(c.folder);
    ASSERT_EQ(sim_.CountCalls("_wfsopen"), 1u);
    EXPECT_EQ(sim_.calls()[0].text, c.path);
  }
}

// Tests that later calls return the first log whatever folder they pass.
TEST_F(RunLogTest, OneLogPerProcess) {
  RunLog* first = GetRunLog();
  EXPECT_EQ(first->filePath(), kRunLogFileName);
  EXPECT_EQ(GetRunLog(kFolder), first);
  EXPECT_EQ(sim_.CountCalls("_wfsopen"), 1u);
}

// Tests the bytes of single lines: time stamp, UTF-8, every LF as CR LF.
TEST_F(RunLogTest, LineBytes) {
  const struct {
    std::u16string message;
    std::string bytes;
  } cases[] = {
      {u"Start", "09:05:07  Start\r\n"},
      {u"", "\r\n"},
      {u"done \n", "09:05:07  done \r\n\r\n"},
      {u"caf\u00e9", "09:05:07  caf\xC3\xA9\r\n"},
      {u"a\r\nb", "09:05:07  a\r\r\nb\r\n"},
      {std::u16string(u"x") + char16_t(0xD800) + u"y", "09:05:07  x\xEF\xBF\xBDy\r\n"},
      {u"\n", "09:05:07  \r\n\r\n"},
  };
  for (const auto& c : cases) {
    ResetRunLogForTesting();
    GetRunLog(kFolder)->WriteLogLine(c.message);
    EXPECT_EQ(Bytes(), c.bytes) << U8(c.message);
  }
}

// Tests that lines follow each other in order, each flushed as written.
TEST_F(RunLogTest, LinesInOrderEachFlushed) {
  RunLog* log = GetRunLog(kFolder);
  log->WriteLogLine(u"one");
  EXPECT_EQ(Bytes(), "09:05:07  one\r\n");
  sim_.SetLocalTime(SystemTime{2026, 12, 0, 6, 23, 59, 58, 0});
  log->WriteLogLine(u"two");
  EXPECT_EQ(Bytes(), "09:05:07  one\r\n23:59:58  two\r\n");
  EXPECT_EQ(sim_.CountCalls("fflush"), 2u);
}

// Tests that an earlier run's log is emptied when the log is created.
TEST_F(RunLogTest, EarlierLogEmptied) {
  sim_.AddFile(std::u16string(kFolder) + kRunLogFileName, "old line\r\nanother\r\n");
  GetRunLog(kFolder);
  EXPECT_EQ(Bytes(), "");
  GetRunLog()->WriteLogLine(u"new");
  EXPECT_EQ(Bytes(), "09:05:07  new\r\n");
}

// Tests that a log that cannot be opened or written loses its lines quietly.
TEST_F(RunLogTest, FailuresAreSilent) {
  GetRunLog(u"C:\\missing\\")->WriteLogLine(u"lost");
  EXPECT_FALSE(sim_.FileExists(u"C:\\missing\\VelmoranTavix_TransformsCleanUp.log"));

  ResetRunLogForTesting();
  RunLog* log = GetRunLog(kFolder);
  sim_.SetFailure([](const std::string& f, std::size_t) { return f == "fwrite"; });
  log->WriteLogLine(u"dropped");
  sim_.SetFailure(nullptr);
  log->WriteLogLine(u"dropped too");  // the stream stays failed
  EXPECT_EQ(Bytes(), "");
}

// Tests the UTF-16 to UTF-8 conversion at its boundaries.
TEST(WideToUtf8Test, Boundaries) {
  const struct {
    std::u16string text;
    std::string bytes;
  } cases[] = {
      {u"", ""},
      {u"A\u007F", "A\x7F"},
      {u"\u0080\u07FF", "\xC2\x80\xDF\xBF"},
      {u"\u0800\uFFFF", "\xE0\xA0\x80\xEF\xBF\xBF"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},
      {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
      {std::u16string(1, char16_t(0xDBFF)), "\xEF\xBF\xBD"},
      {std::u16string(1, char16_t(0xDC00)) + u"a",
       "\xEF\xBF\xBD"
       "a"},
      {std::u16string{char16_t(0xD83D), char16_t(0xD83D), char16_t(0xDE00)},
       "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
      {std::u16string(1, u'\0'), std::string(1, '\0')},
  };
  for (const auto& c : cases) EXPECT_EQ(WideToUtf8(c.text), c.bytes) << c.bytes;
}

// Tests that formatting is printf's and never cut.
TEST(FormatWideStringTest, Formats) {
  EXPECT_EQ(FormatWideString(u"%02d:%02d:%02d", 9, 5, 7), u"09:05:07");
  EXPECT_EQ(FormatWideString(u"%02d", 123), u"123");
  EXPECT_EQ(FormatWideString(nullptr), u"");
  EXPECT_EQ(FormatWideString(u""), u"");
  const std::string longText(5000, 'x');
  EXPECT_EQ(FormatWideString(u"<%s>", longText.c_str()).size(), 5002u);
  EXPECT_EQ(FormatWideString(u"\u00e9%d", 1), u"\u00e91");
}

}  // namespace
}  // namespace tavix
