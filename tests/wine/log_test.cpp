// The log's file in this process, on a plain folder whose reparse tags, owner and
// access list, and the run's rights, are bent as Windows would answer them.
#include <gtest/gtest.h>
#include <windows.h>

#include <aclapi.h>  // after windows.h, which they need
#include <sddl.h>

#include "log/log_file.h"
#include "machine.h"

namespace tavix {
namespace {

const std::wstring kFolder = L"C:\\tavix\\logs\\folder", kFile = kFolder + L"\\" + kLogName;
enum Run { kElevated, kLimited, kSystem };  // kSystem: SYSTEM, its token not elevated

struct Case {
  const char* name;
  bool lands;                       // false: the log is refused
  ULONG folderTag = 0, logTag = 0;  // the reparse tags the folder and the log show
  const wchar_t* access = nullptr;  // the folder's owner and access list (SDDL)
  Run run = kElevated;
  bool namesUnknown = false;  // no handle named
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
  wchar_t path[MAX_PATH] = {};
  GetFinalPathNameByHandleW(entry, path, MAX_PATH, 0);
  const std::wstring_view name(path);
  const ULONG tag = name.ends_with(L"folder") ? g_case->folderTag
                                              : (name.ends_with(kLogName) ? g_case->logTag : 0);
  if (kind != FileAttributeTagInfo || tag == 0)
    return TAVIX_REAL(GetFileInformationByHandleEx)(entry, kind, out, size);
  *static_cast<FILE_ATTRIBUTE_TAG_INFO*>(out) = {FILE_ATTRIBUTE_REPARSE_POINT, tag};
  return TRUE;
}
DWORD WINAPI Security(HANDLE entry, SE_OBJECT_TYPE type, SECURITY_INFORMATION wanted, PSID* owner,
                      PSID* group, PACL* list, PACL* audit, PSECURITY_DESCRIPTOR* made) {
  BOOL flag = FALSE;
  if (!g_case->access ||
      !ConvertStringSecurityDescriptorToSecurityDescriptorW(g_case->access, 1, made, nullptr))
    return TAVIX_REAL(GetSecurityInfo)(entry, type, wanted, owner, group, list, audit, made);
  GetSecurityDescriptorOwner(*made, owner, &flag);
  return GetSecurityDescriptorDacl(*made, &flag, list, &flag) ? ERROR_SUCCESS : ~0u;
}

constexpr ULONG kJunction = IO_REPARSE_TAG_MOUNT_POINT, kLink = IO_REPARSE_TAG_SYMLINK;
const Case kCases[] = {
    {"PlainFolder", true},
    {"NamesUnknownNotElevated", true, 0, 0, nullptr, kLimited, true},
    {"CloudFolderOnTheWay", true, IO_REPARSE_TAG_CLOUD},
    {"LinkAtName", false, 0, kLink},
    {"FolderLinkElevated", false, kLink},
    {"FolderLinkNotElevated", true, kLink, 0, nullptr, kLimited},
    {"FolderLinkAsSystem", false, kLink, 0, nullptr, kSystem},
    {"JunctionOfAdministrators", true, kJunction, 0, L"O:BAD:(A;;FA;;;BA)(A;OICIIO;GA;;;BU)"},
    {"JunctionOfSystem", true, kJunction, 0,
     L"O:SYD:(A;;FA;;;SY)(A;;FA;;;CO)(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-"
     L"2271478464)"},
    {"JunctionOwnedByUsers", false, kJunction, 0, L"O:BUD:(A;;FA;;;BA)"},
    {"JunctionUsersMayWrite", false, kJunction, 0, L"O:BAD:(A;;FA;;;BA)(A;;FW;;;BU)"},
    {"JunctionWithoutAccessList", false, kJunction, 0, L"O:BA"},
};

// Each case with no log yet and with an earlier one; two runs at once add whole lines.
TEST(LogFileTest, FollowsOnlyLinksNoOneWithFewerRightsCanChange) {
  TAVIX_BEND(GetTokenInformation, Token);
  TAVIX_BEND(GetFileInformationByHandleEx, FileInformation);
  TAVIX_BEND(GetSecurityInfo, Security);
  for (const Case& c : kCases) {
    for (const bool earlier : {false, true}) {
      g_case = &c;
      Reset();
      PutFile(kFolder + L"\\other", "");
      if (earlier) PutFile(kFile, "earlier");
      {
        LogFile first(kFile), second(kFile);
        first.Write("one\r\n");
        second.Write("two\r\n");
      }
      const auto kept = earlier ? std::optional<std::string>("earlier") : std::nullopt;
      EXPECT_EQ(GetFile(kFile), c.lands ? "one\r\ntwo\r\n" : kept) << c.name << earlier;
    }
  }
}

}  // namespace
}  // namespace tavix
