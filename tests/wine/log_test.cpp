// The log's file on the real file system, in this process: real links, and what Wine
// cannot show bent as Windows answers.
#include <gtest/gtest.h>
#include <windows.h>

#include <aclapi.h>  // after windows.h, which they need
#include <sddl.h>

#include <filesystem>

#include "bend.h"
#include "log/log_file.h"
#include "machine.h"

namespace tavix {
namespace {

namespace fs = std::filesystem;
const fs::path kLogs = L"C:\\tavix\\logs";
constexpr wchar_t kReal[] = L"the real folder", kLinked[] = L"linked";
enum Run { kElevated, kLimited, kSystem };  // kSystem: SYSTEM, its token not elevated

struct Case {
  const char* name;
  const wchar_t* folder;              // the log's folder, below kLogs
  const wchar_t* lands;               // where the log goes, below kLogs; null: refused
  const wchar_t* junction = nullptr;  // "linked" shows as a junction with this SDDL
  Run run = kElevated;
  bool namesUnknown = false;        // no handle named
  ULONG folderTag = 0, logTag = 0;  // what "the real folder" and the log show
};
const Case* g_case = nullptr;

BOOL WINAPI Token(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID out, DWORD size, PDWORD n) {
  static SID system{SID_REVISION, 1, SECURITY_NT_AUTHORITY, {SECURITY_LOCAL_SYSTEM_RID}};
  const BOOL ok = TAVIX_REAL(GetTokenInformation)(token, kind, out, size, n);
  if (ok && kind == TokenElevation && g_case->run != kElevated) *static_cast<DWORD*>(out) = 0;
  if (ok && kind == TokenUser && g_case->run == kSystem) *static_cast<PSID*>(out) = &system;
  return ok;
}
BOOL WINAPI FileInformation(HANDLE entry, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID out, DWORD size) {
  if (kind == FileNameInfo && g_case->namesUnknown) return FALSE;
  wchar_t path[1024] = {};  // on Wine, where a link led
  GetFinalPathNameByHandleW(entry, path, 1023, 0);
  const std::wstring_view name(path);
  const ULONG tag = name.ends_with(kReal)
                        ? (g_case->junction ? IO_REPARSE_TAG_MOUNT_POINT : g_case->folderTag)
                        : (name.ends_with(kLogName) ? g_case->logTag : 0);
  if (kind != FileAttributeTagInfo || tag == 0)
    return TAVIX_REAL(GetFileInformationByHandleEx)(entry, kind, out, size);
  *static_cast<FILE_ATTRIBUTE_TAG_INFO*>(out) = {FILE_ATTRIBUTE_REPARSE_POINT, tag};
  return TRUE;
}
DWORD WINAPI Security(HANDLE entry, SE_OBJECT_TYPE type, SECURITY_INFORMATION wanted, PSID* owner,
                      PSID* group, PACL* list, PACL* audit, PSECURITY_DESCRIPTOR* made) {
  BOOL flag = FALSE;
  if (!g_case->junction ||
      !ConvertStringSecurityDescriptorToSecurityDescriptorW(g_case->junction, 1, made, nullptr))
    return TAVIX_REAL(GetSecurityInfo)(entry, type, wanted, owner, group, list, audit, made);
  GetSecurityDescriptorOwner(*made, owner, &flag);
  return GetSecurityDescriptorDacl(*made, &flag, list, &flag) ? ERROR_SUCCESS : ~0u;
}

#define TI L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
const Case kCases[] = {
    {"OtherLetterCase", L"C:\\TAVIX\\LOGS\\THE REAL FOLDER", kReal},
    {"NamesUnknownNotElevated", kReal, kReal, nullptr, kLimited, true},
    {"CloudFolderOnTheWay", kReal, kReal, nullptr, kElevated, false, IO_REPARSE_TAG_CLOUD},
    {"LinkAtName", kReal, nullptr, nullptr, kElevated, false, 0, IO_REPARSE_TAG_SYMLINK},
    {"DanglingLinkAtName", L"dangling", nullptr},
    {"FolderLinkElevated", kLinked, nullptr},
    {"FolderLinkNotElevated", kLinked, kReal, nullptr, kLimited},
    {"FolderLinkAsSystem", kLinked, nullptr, nullptr, kSystem},
    {"JunctionOfAdministrators", kLinked, kReal, L"O:BAD:(A;;FA;;;BA)(A;OICIIO;GA;;;BU)"},
    {"JunctionOfSystem", kLinked, kReal, L"O:SYD:(A;;FA;;;SY)(A;;FA;;;CO)(A;;FA;;;" TI L")"},
    {"JunctionOwnedByUsers", kLinked, nullptr, L"O:BUD:(A;;FA;;;BA)"},
    {"JunctionUsersMayWrite", kLinked, nullptr, L"O:BAD:(A;;FA;;;BA)(A;;FW;;;BU)"},
    {"JunctionWithoutAccessList", kLinked, nullptr, L"O:BA"},
    {"MappedDriveLetter", L"T:\\", L"mapped"},
};

class LogFileTest : public ::testing::TestWithParam<Case> {
 public:
  // The folders, and the links: a folder link, a dangling link at the log's name, and
  // the drive letter T: for a folder.
  static void SetUpTestSuite() {
    Reset();
    for (const fs::path& folder : {kLogs / kReal, kLogs / L"dangling", kLogs / L"mapped"})
      fs::create_directories(folder);
    Link(kLogs.wstring() + L"\\", kLinked, kReal);
    Link(kLogs.wstring() + L"\\dangling\\", kLogName, L"../absent.txt");
    if (OnWine()) Link(L"C:\\", L"../dosdevices/t:", L"../drive_c/tavix/logs/mapped");
    if (!OnWine()) DefineDosDeviceW(0, L"T:", (kLogs / L"mapped").c_str());
  }
  static void TearDownTestSuite() {
    if (OnWine()) Unix(L"C:\\", L"rm -rf tavix ../dosdevices/t:");
    if (!OnWine()) DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"T:", nullptr);
  }
};

// Each case with no log yet and with an earlier one; two runs at once add whole lines.
TEST_P(LogFileTest, FollowsOnlyLinksNoOneWithFewerRightsCanChange) {
  const Case& c = *(g_case = &GetParam());
  const fs::path real = kLogs / kReal / kLogName, landed = kLogs / (c.lands ? c.lands : kReal);
  const std::wstring log = (kLogs / c.folder / kLogName).wstring();
  for (const bool earlier : {false, true}) {
    if (earlier) PutFile(real.wstring(), "earlier");
    {
      TAVIX_BEND(GetTokenInformation, Token);
      TAVIX_BEND(GetFileInformationByHandleEx, FileInformation);
      TAVIX_BEND(GetSecurityInfo, Security);
      LogFile first(log), second(log);
      first.Write("one\r\n");
      second.Write("two\r\n");
    }
    const auto kept = earlier ? std::optional<std::string>("earlier") : std::nullopt;
    const std::string state = earlier ? "with an earlier log" : "with no log yet";
    EXPECT_EQ(GetFile((landed / kLogName).wstring()), c.lands ? "one\r\ntwo\r\n" : kept) << state;
    EXPECT_EQ(GetFile(real.wstring()), c.lands == kReal ? "one\r\ntwo\r\n" : kept) << state;
    EXPECT_FALSE(fs::exists(kLogs / L"absent.txt")) << state;
    for (const fs::path& file : {real, landed / kLogName}) fs::remove(file);  // none left so long
  }
}

INSTANTIATE_TEST_SUITE_P(Log, LogFileTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tavix
