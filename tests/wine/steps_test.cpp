// What no whole run shows, in this process over a bent platform: odd answers
// of the folder queries, a short write, a value that grows between its two
// queries, and the steps' refusals of what the run never passes them.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/driver.h"
#include "app/transform_file.h"
#include "app/transforms_value.h"
#include "log/run_log.h"
#include "machine.h"
#include "registry/registry_read.h"

namespace tavix {
namespace {

// The folder queries answer with `folder` as Windows does, or with `result`
// when set, the text then copied as far as the buffer holds (no NUL if full).
// No log file is made.
struct BentFolders : TestPlatform {
  BentFolders() {
    fails = [this](std::size_t i) { return calls[i].function == "CreateFileW"; };
  }
  DWORD Answer(DWORD size, char16_t* buffer) {
    const DWORD needed = static_cast<DWORD>(folder.size() + 1);
    if (!result && needed > size) return needed;
    std::copy_n((folder + u'\0').begin(), std::min(needed, size), buffer);
    return result ? *result : needed - 1;
  }
  DWORD GetTempPathW(DWORD size, char16_t* buffer) override { return Answer(size, buffer); }
  UINT GetSystemWindowsDirectoryW(char16_t* buffer, UINT size) override {
    return Answer(size, buffer);
  }
  std::u16string folder;
  std::optional<DWORD> result;
};

// Tests the paths each answer of the folder queries gives: the log's (with
// its fallback) and the transform file's (with its own); 260 is success, and
// a full buffer without a NUL is read no further.
TEST(StepsTest, FolderAnswers) {
  const std::u16string t259(259, u'T'), log = kLogName;
  const std::u16string file = u"\\Installer\\{C}\\VelmoranTavix.mst";
  const struct {
    bool temp;  // else the Windows folder
    std::u16string folder;
    std::optional<DWORD> result;
    std::u16string path;
  } cases[] = {
      {true, u"C:\\logs", std::nullopt, u"C:\\logs/" + log},
      {true, u"C:\\logs\\", 261u, u"C:\\temp\\" + log},
      {true, t259 + u"\\overrun", 260u, t259 + u"\\" + log},
      {false, u"D:\\Windows", std::nullopt, u"D:\\Windows" + file},
      {false, t259 + u"T", 261u, u"C:\\Windows" + file},
      {false, t259 + u"Toverrun", 260u, t259 + u"T" + file},
  };
  Reset(false);
  for (const auto& c : cases) {
    BentFolders platform;
    platform.folder = c.folder;
    platform.result = c.result;
    if (c.temp) RunCleanUp();
    EXPECT_EQ(c.temp ? GetRunLog()->filePath() : BuildTransformFilePath(u"{C}"), c.path);
    ResetRunLogForTesting();
  }
  TestPlatform platform;
  EXPECT_EQ(BuildTransformFilePath(u""), u"");  // asks for no folder
  EXPECT_TRUE(platform.calls.empty());
}

// Tests that a write the system cut short ends the log's writing: no later
// line lands behind the cut.
TEST(StepsTest, ShortWrite) {
  struct : TestPlatform {
    BOOL WriteFile(HANDLE file, const void* buffer, DWORD size, DWORD* written,
                   void* overlapped) override {
      return TestPlatform::WriteFile(file, buffer, size - 1, written, overlapped);
    }
  } platform;
  Reset();
  std::filesystem::create_directories(std::filesystem::path(kTemp));
  GetRunLog(kTemp)->WriteLogLine(u"a");
  GetRunLog()->WriteLogLine(u"b");
  ResetRunLogForTesting();
  EXPECT_EQ(MaskTimeStamps(GetFile(kTemp + std::u16string(kLogName)).value()), "##:##:##  a\r");
}

// Tests that a value grown between the size query and the read gives the
// empty text, and the read stays within its buffer.
TEST(StepsTest, ValueGrowsBetweenQueries) {
  struct : TestPlatform {
    LONG RegQueryValueExW(HKEY key, const char16_t* name, DWORD* reserved, DWORD* type, BYTE* data,
                          DWORD* size) override {
      const LONG result = TestPlatform::RegQueryValueExW(key, name, reserved, type, data, size);
      if (data == nullptr) *size -= 2;
      return result;
    }
  } platform;
  Reset();
  PutString(HkeyLocalMachine(), 0, kProductKey, u"BuildVersion", u"1.0.43.27");
  EXPECT_EQ(ReadRegistryString(kProductKey, HkeyLocalMachine(), u"BuildVersion"), u"");
}

// Tests the steps' refusals of what the run never passes them, the time of
// day in front of each line, and an empty message: a bare line end.
TEST(StepsTest, Refusals) {
  struct : TestPlatform {
    void GetLocalTime(SystemTime* time) override {
      TestPlatform::GetLocalTime(time);
      time->wHour = 9, time->wMinute = 5, time->wSecond = 7;
    }
  } platform;
  Reset();
  std::filesystem::create_directories(std::filesystem::path(kTemp));
  GetRunLog(kTemp);
  EXPECT_FALSE(RewriteTransformsValue(u"", u"P") ||
               RewriteTransformsValue(u"{6d2e47b1-0000-1033-0002-5a9c20f3e184}", u"") ||
               RewriteTransformsValue(u"{6d2e47b1-0000-1033-0002-5a9c20f3e184}", u"P") ||
               RemoveTransformFile(u""));
  EXPECT_EQ(platform.Count("RegOpenKeyExW") + platform.Count("_wremove"), 0u);
  // A known code whose value holds no path is no refusal.
  EXPECT_TRUE(RewriteTransformsValue(u"{6D2E47B1-0000-1033-0002-5A9C20F3E184}", u"P"));
  GetRunLog()->WriteLogLine(u"");
  ResetRunLogForTesting();
  EXPECT_EQ(GetFile(kTemp + std::u16string(kLogName)),
            "09:05:07  ----- -->No updated on Transforms Register value --> Product Code and "
            "Transforms file : \r\n\r\n09:05:07  --------------------------------- --> Product "
            "Code : {6d2e47b1-0000-1033-0002-5a9c20f3e184}, Transforms file : P \r\n\r\n09:05:07  "
            "Error --> Failed to remove file : \r\n09:05:07  ----- -->No updated on Transforms "
            "Register value --> value : \r\n\r\n\r\n");
}

}  // namespace
}  // namespace tavix
