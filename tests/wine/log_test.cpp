// The log's file on the real file system: which redirections are followed,
// and that nothing is created, emptied or written through a link. The links
// are planted from Linux by planted_links.sh; the answers Wine cannot give
// (a run that is not elevated, SYSTEM, a junction and its owner, the folder
// behind a mapped drive letter) are bent as Windows gives them.
#include <gtest/gtest.h>
#include <windows.h>

#include <sddl.h>  // after windows.h, which it needs

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "log/log_file.h"
#include "machine.h"

namespace tavix {
namespace {

namespace fs = std::filesystem;
const fs::path kLogs = L"C:\\tavix\\logs";
const fs::path kReal = kLogs / L"the real folder";
constexpr wchar_t kName[] = L"VelmoranTavix_TransformsCleanUp.log";

std::optional<std::string> Read(const fs::path& file) { return GetFile(file.u16string()); }

enum Run { kElevated, kLimited, kSystem };  // kSystem: SYSTEM, the token not elevated

class BentPlatform : public TestPlatform {
 public:
  Run run = kElevated;
  const wchar_t* junction = nullptr;  // "linked" shows as a junction of this owner; L"": Wine's
  bool reparseAtName = false;         // the log shows as a reparse point

  // Wine follows "linked" even when asked not to: the real folder shows.
  BOOL GetFileInformationByHandle(HANDLE file, FileInformation* information) override {
    char16_t path[MAX_PATH] = {};
    Win32Platform::GetFinalPathNameByHandleW(file, path, MAX_PATH, 0);
    const BOOL ok = TestPlatform::GetFileInformationByHandle(file, information);
    const std::wstring final = reinterpret_cast<wchar_t*>(path);
    if ((junction && final == L"\\\\?\\" + kReal.wstring()) ||
        (reparseAtName && final == L"\\\\?\\" + (kReal / kName).wstring())) {
      information->dwFileAttributes |= kFileAttributeReparsePoint;
    }
    return ok;
  }
  BOOL GetKernelObjectSecurity(HANDLE object, DWORD wanted, void* descriptor, DWORD length,
                               DWORD* needed) override {
    PSECURITY_DESCRIPTOR made = nullptr;
    ULONG size = 0;
    if (!junction || !*junction ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(
            (L"O:" + std::wstring(junction)).c_str(), SDDL_REVISION_1, &made, &size)) {
      return TestPlatform::GetKernelObjectSecurity(object, wanted, descriptor, length, needed);
    }
    *needed = size;
    if (size <= length) std::memcpy(descriptor, made, size);
    LocalFree(made);
    return size <= length;
  }
  BOOL GetTokenInformation(HANDLE token, DWORD informationClass, void* information, DWORD length,
                           DWORD* returned) override {
    const BOOL ok =
        TestPlatform::GetTokenInformation(token, informationClass, information, length, returned);
    if (ok && informationClass == kTokenElevation && run != kElevated) {
      *static_cast<DWORD*>(information) = 0;
    } else if (ok && informationClass == kTokenUser && run == kSystem) {
      const PSID user = static_cast<TOKEN_USER*>(information)->User.Sid;
      ::DWORD size = GetLengthSid(user);
      CreateWellKnownSid(WinLocalSystemSid, nullptr, user, &size);
    }
    return ok;
  }
  // Windows names the folder behind a mapped drive letter; Wine keeps the letter.
  DWORD GetFinalPathNameByHandleW(HANDLE file, char16_t* path, DWORD size, DWORD flags) override {
    const DWORD length = TestPlatform::GetFinalPathNameByHandleW(file, path, size, flags);
    std::u16string text(path, length < size ? length : 0);
    if (text.rfind(u"\\\\?\\T:", 0) != 0) return length;
    text.replace(0, 6, u"\\\\?\\C:\\tavix\\logs\\mapped");
    if (text.size() >= size) return static_cast<DWORD>(text.size() + 1);
    std::char_traits<char16_t>::copy(path, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
  }
};

struct Case {
  const char* name;
  const wchar_t* folder;  // below kLogs; null: the real folder by its short name
  const wchar_t* lands;   // where the log goes (below kLogs); null: refused
  Run run;
  const wchar_t* junction = nullptr;  // see BentPlatform
  const char* fails = nullptr;        // a call that fails each time
  bool reparseAtName = false;
};
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

constexpr wchar_t kTrustedInstaller[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
const Case kCases[] = {
    {"OtherLetterCase", L"C:\\TAVIX\\LOGS\\THE REAL FOLDER", L"the real folder", kElevated},
    {"ShortNames", nullptr, L"the real folder", kElevated},
    {"NotOnDisk", L"the real folder", nullptr, kElevated, nullptr, "GetFileType"},
    {"DanglingLinkAtName", L"dangling", nullptr, kElevated},
    {"ReparsePointAtName", L"the real folder", nullptr, kElevated, nullptr, nullptr, true},
    {"FolderLinkElevated", L"linked", nullptr, kElevated},
    {"FolderLinkNotElevated", L"linked", L"the real folder", kLimited},
    {"FolderLinkAsSystem", L"linked", nullptr, kSystem},
    {"JunctionOfTheUser", L"linked", nullptr, kElevated, L""},
    {"JunctionOfAdministrators", L"linked", L"the real folder", kElevated, L"BA"},
    {"JunctionOfSystem", L"linked", L"the real folder", kElevated, L"SY"},
    {"JunctionOfTrustedInstaller", L"linked", L"the real folder", kElevated, kTrustedInstaller},
    {"MappedDriveLetter", L"T:\\", L"mapped", kElevated},
};

class LogFileTest : public ::testing::TestWithParam<Case> {};

// Each case twice: with no log yet (created) and with an earlier one (kept
// when refused, emptied when taken).
TEST_P(LogFileTest, FollowsOnlyTrustedRedirections) {
  const Case& c = GetParam();
  fs::create_directories(kReal);
  wchar_t shortName[MAX_PATH] = {};
  GetShortPathNameW(kReal.c_str(), shortName, MAX_PATH);
  const fs::path folder = c.folder ? kLogs / c.folder : fs::path(shortName);
  if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "plant the links from Linux first (planted_links.sh)";
  }
  const std::optional<std::string> states[] = {std::nullopt, "earlier"};
  for (const std::optional<std::string>& earlier : states) {
    fs::remove(kReal / kName);
    if (earlier) std::ofstream(kReal / kName, std::ios::binary) << *earlier;
    if (c.lands) fs::remove(kLogs / c.lands / kName);
    {
      BentPlatform platform;
      platform.run = c.run;
      platform.junction = c.junction;
      platform.reparseAtName = c.reparseAtName;
      platform.fails = [&](std::size_t i) {
        return c.fails && platform.calls[i].function == c.fails;
      };
      LogFile log((folder / kName).u16string());
      log.Write("one\r\n");
    }
    const bool inReal = c.lands && kLogs / c.lands == kReal;
    EXPECT_EQ(Read(kReal / kName), inReal ? "one\r\n" : earlier) << (earlier ? "earlier" : "new");
    if (c.lands && !inReal) {
      EXPECT_EQ(Read(kLogs / c.lands / kName), "one\r\n");
    }
    EXPECT_FALSE(fs::exists(kLogs / L"absent.txt"));
  }
}

INSTANTIATE_TEST_SUITE_P(Log, LogFileTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });

TEST(LogFileWrites, TwoRunsAtOnceAddWholeLines) {
  TestPlatform platform;
  fs::create_directories(kReal);
  fs::remove(kReal / kName);
  {
    LogFile first((kReal / kName).u16string()), second((kReal / kName).u16string());
    first.Write("first run\r\n");
    second.Write("2\r\n");
    first.Write("first again\r\n");
  }
  EXPECT_EQ(Read(kReal / kName), "first run\r\n2\r\nfirst again\r\n");
}

}  // namespace
}  // namespace tavix
