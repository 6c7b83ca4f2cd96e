// The log's file where Windows' answers for "folder" (on the way), "via", "hop" and the log are
// bent: tags, targets, names, owner and access list, the run's rights. A link opened following
// leads to "target" ("target.log" for the log).
#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>
#include <winternl.h>
#include <tuple>
// After winternl.h, which it completes with REPARSE_DATA_BUFFER.
#include <ntdef.h>
#include <winioctl.h>

#include "log/log_file.h"
#include "machine.h"

namespace tavix {
namespace {

const std::wstring kLogs = L"C:\\tavix\\logs\\";
// Where a log may land: in the folder, in the target of a link, beside it at a link's name.
const std::wstring kAt[] = {kLogs + L"folder\\" + kLogName, kLogs + L"target\\" + kLogName,
                            kLogs + L"folder\\target.log"};
constexpr ULONG kJunction = IO_REPARSE_TAG_MOUNT_POINT;
constexpr ULONG kLink = IO_REPARSE_TAG_SYMLINK;
constexpr wchar_t kToTarget[] = L"\\??\\C:\\tavix\\logs\\target";
constexpr wchar_t kUsers[] = L"O:BUD:(A;;FA;;;BU)";  // owned by Users, who may do anything
constexpr wchar_t kAdministrators[] = L"O:BAD:(A;;FA;;;BA)(A;OICIIO;GA;;;BU)(D;;FA;;;WD)";

// kSystem: SYSTEM, not elevated; the rest: the token, its elevation or its user not read.
enum Run { kElevated, kLimited, kSystem, kTokenUnopened, kUnreadable, kUserUnreadable };
// kFolderElsewhere: "folder" named "target", as a link showing no reparse point; kLogElsewhere:
// the log named ".lox".
enum Names { kNamed, kUnnamed, kFolderElsewhere, kLogElsewhere };

struct LogCase {
  const char* name;
  int lands = 0;  // where the log goes: 1 + its index in kAt; 0: refused
  ULONG folderTag = 0;
  const wchar_t* target = kToTarget;  // "folder"'s, relative unless it starts "\??\"; or none
  const wchar_t* access = kUsers;     // "folder"'s owner and access list (SDDL)
  Run run = kElevated;
  Names names = kNamed;
  ULONG logTag = 0;
};
const LogCase* g_case = nullptr;

// clang-format off
const LogCase kLogCases[] = {
    {.name = "PlainFolderInOtherLetterCase", .lands = 1},
    {.name = "NamesUnknownNotElevated", .lands = 1, .run = kLimited, .names = kUnnamed},
    {.name = "CloudFolderOnTheWay", .lands = 1, .folderTag = IO_REPARSE_TAG_CLOUD},
    {.name = "CloudFileAtName", .lands = 1, .logTag = IO_REPARSE_TAG_CLOUD},
    {.name = "LinkAtNameNamesUnknown", .names = kUnnamed, .logTag = kLink},
    {.name = "FolderNamedElsewhere", .names = kFolderElsewhere},
    {.name = "LogNamedElsewhere", .names = kLogElsewhere},
    {.name = "FolderLinkNotElevated", .lands = 2, .folderTag = kLink, .run = kLimited},
    {.name = "FolderLinkAsSystem", .folderTag = kLink, .run = kSystem},
    {.name = "FolderLinkTokenUnopened", .folderTag = kLink, .run = kTokenUnopened},
    {.name = "FolderLinkTokenUnreadable", .folderTag = kLink, .run = kUnreadable},
    {.name = "FolderLinkUserUnreadable", .folderTag = kLink, .run = kUserUnreadable},
    {.name = "JunctionOfAdministrators", .lands = 2, .folderTag = kJunction, .access = kAdministrators},
    {.name = "JunctionOfSystem", .lands = 2, .folderTag = kJunction, .access = L"O:SYD:(A;;FA;;;SY)(A;;FA;;;CO)(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"},
    {.name = "JunctionUsersMayWriteData", .folderTag = kJunction, .access = L"O:BAD:(A;;FA;;;BA)(A;OICI;0x2;;;BU)"},
    {.name = "JunctionEveryoneMayChangeItsAccess", .folderTag = kJunction, .access = L"O:BAD:(A;;FA;;;BA)(A;;WD;;;WD)"},
    {.name = "JunctionWithoutAccessList", .folderTag = kJunction, .access = L"O:BA"},
    {.name = "JunctionUsersMayWriteAttributes", .folderTag = kJunction, .access = L"O:BAD:(A;;FA;;;BA)(A;;0x100;;;BU)"},
    {.name = "JunctionUsersMayTakeOwnership", .folderTag = kJunction, .access = L"O:BAD:(A;;FA;;;BA)(A;;WO;;;BU)"},
    {.name = "JunctionOwnedByUsers", .folderTag = kJunction, .access = L"O:BUD:(A;;FA;;;BA)"},
    {.name = "RelativeLinkOfAdministrators", .lands = 2, .folderTag = kLink, .target = L"target", .access = kAdministrators},
    {.name = "JunctionTargetUnreadable", .folderTag = kJunction, .target = nullptr, .access = kAdministrators, .names = kUnnamed},
    {.name = "JunctionToItself", .folderTag = kJunction, .target = L"\\??\\C:\\tavix\\logs\\folder", .access = kAdministrators, .names = kUnnamed},
    {.name = "JunctionToUsersJunction", .folderTag = kJunction, .target = L"\\??\\C:\\tavix\\logs\\via", .access = kAdministrators},
    {.name = "JunctionToAdministratorsJunction", .lands = 2, .folderTag = kJunction, .target = L"\\??\\C:\\tavix\\logs\\hop", .access = kAdministrators},
};
// clang-format on

// What an entry shows, by its name: its reparse tag, owner and access list, and link target.
std::tuple<ULONG, const wchar_t*, const wchar_t*> ShownBy(std::wstring_view name) {
  if (name.ends_with(L"folder")) return {g_case->folderTag, g_case->access, g_case->target};
  if (name.ends_with(L"via")) return {kJunction, kUsers, kToTarget};
  if (name.ends_with(L"hop")) return {kJunction, kAdministrators, kToTarget};
  if (name.ends_with(kLogName)) return {g_case->logTag, nullptr, nullptr};
  return {0, nullptr, nullptr};
}
std::wstring PathOf(HANDLE entry) {
  wchar_t path[MAX_PATH] = {};
  GetFinalPathNameByHandleW(entry, path, MAX_PATH, 0);
  return path;
}

BOOL WINAPI Token(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID out, DWORD size, PDWORD n) {
  static SID system{SID_REVISION, 1, SECURITY_NT_AUTHORITY, {SECURITY_LOCAL_SYSTEM_RID}};
  if (g_case->run == kUnreadable) return FALSE;
  if (g_case->run == kUserUnreadable && kind == TokenUser) return FALSE;
  const BOOL read = TAVIX_REAL(GetTokenInformation)(token, kind, out, size, n);
  if (read && kind == TokenElevation) *static_cast<DWORD*>(out) = g_case->run == kElevated;
  if (read && kind == TokenUser && g_case->run == kSystem) *static_cast<PSID*>(out) = &system;
  return read;
}
BOOL WINAPI OpenToken(HANDLE process, DWORD access, PHANDLE token) {
  if (g_case->run == kTokenUnopened) return FALSE;
  return TAVIX_REAL(OpenProcessToken)(process, access, token);
}
NTSTATUS NTAPI Open(PHANDLE h, ACCESS_MASK a, POBJECT_ATTRIBUTES o, PIO_STATUS_BLOCK s,
                    PLARGE_INTEGER z, ULONG f, ULONG share, ULONG d, ULONG options, PVOID e,
                    ULONG n) {
  std::wstring name(o->ObjectName->Buffer, o->ObjectName->Length / 2);
  const bool link = IsReparseTagNameSurrogate(std::get<0>(ShownBy(name)));
  if ((options & FILE_OPEN_REPARSE_POINT) == 0 && link) {
    const std::wstring target = name.ends_with(kLogName) ? L"target.log" : L"target";
    name = name.substr(0, name.rfind(L'\\') + 1) + target;
  }
  const USHORT bytes = static_cast<USHORT>(name.size() * 2);
  UNICODE_STRING text{.Length = bytes, .MaximumLength = bytes, .Buffer = name.data()};
  OBJECT_ATTRIBUTES attributes = *o;
  attributes.ObjectName = &text;
  return TAVIX_REAL(NtCreateFile)(h, a, &attributes, s, z, f, share, d, options, e, n);
}
BOOL WINAPI FileInformation(HANDLE entry, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID out, DWORD size) {
  const ULONG tag = std::get<0>(ShownBy(PathOf(entry)));
  if (kind == FileNameInfo && g_case->names == kUnnamed) return FALSE;
  if (kind == FileAttributeTagInfo && tag != 0) {
    *static_cast<FILE_ATTRIBUTE_TAG_INFO*>(out) = {FILE_ATTRIBUTE_REPARSE_POINT, tag};
    return TRUE;
  }
  const BOOL answered = TAVIX_REAL(GetFileInformationByHandleEx)(entry, kind, out, size);
  if (answered && kind == FileNameInfo && g_case->names >= kFolderElsewhere) {
    auto* name = static_cast<FILE_NAME_INFO*>(out);
    const std::wstring_view text(name->FileName, name->FileNameLength / 2);
    const bool folder = g_case->names == kFolderElsewhere;
    const std::wstring_view from = folder ? L"\\folder" : L".log";
    const std::size_t at = text.find(from);
    if (at != std::wstring_view::npos)
      std::wmemcpy(&name->FileName[at], folder ? L"\\target" : L".lox", from.size());
  }
  return answered;
}
DWORD WINAPI Security(HANDLE entry, SE_OBJECT_TYPE type, SECURITY_INFORMATION wanted, PSID* owner,
                      PSID* group, PACL* list, PACL* audit, PSECURITY_DESCRIPTOR* made) {
  // Windows' answer first: the handle must allow reading them.
  const DWORD real =
      TAVIX_REAL(GetSecurityInfo)(entry, type, wanted, owner, group, list, audit, made);
  const wchar_t* access = std::get<1>(ShownBy(PathOf(entry)));
  if (real != ERROR_SUCCESS || access == nullptr) return real;
  LocalFree(*made);
  ConvertStringSecurityDescriptorToSecurityDescriptorW(access, SDDL_REVISION_1, made, nullptr);
  BOOL flag = FALSE;  // defaulted, present: not asked
  GetSecurityDescriptorOwner(*made, owner, &flag);
  GetSecurityDescriptorDacl(*made, &flag, list, &flag);
  return ERROR_SUCCESS;
}
BOOL WINAPI Control(HANDLE entry, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                    LPDWORD returned, LPOVERLAPPED overlapped) {
  const auto [tag, access, target] = ShownBy(PathOf(entry));
  if (code != FSCTL_GET_REPARSE_POINT || tag == 0) {
    return TAVIX_REAL(DeviceIoControl)(entry, code, in, inSize, out, outSize, returned, overlapped);
  }
  if (target == nullptr) return FALSE;
  auto* data = static_cast<REPARSE_DATA_BUFFER*>(std::memset(out, 0, outSize));
  data->ReparseTag = tag;
  const USHORT bytes = static_cast<USHORT>(std::wcslen(target) * 2);
  WCHAR* names = data->MountPointReparseBuffer.PathBuffer;
  data->MountPointReparseBuffer.SubstituteNameLength = bytes;
  if (tag == kLink) {
    names = data->SymbolicLinkReparseBuffer.PathBuffer;
    data->SymbolicLinkReparseBuffer.SubstituteNameLength = bytes;
    const bool relative = std::wcsncmp(target, L"\\??\\", 4) != 0;
    data->SymbolicLinkReparseBuffer.Flags = relative ? SYMLINK_FLAG_RELATIVE : 0;
  }
  std::memcpy(names, target, bytes);
  *returned = outSize;
  return TRUE;
}

class LogTest : public testing::TestWithParam<LogCase> {};

// Tests where the log lands, with no earlier logs and over earlier ones, two logs writing at once.
TEST_P(LogTest, Lands) {
  g_case = &GetParam();
  TAVIX_BEND(OpenProcessToken, OpenToken);
  TAVIX_BEND(GetTokenInformation, Token);
  TAVIX_BEND(NtCreateFile, Open);
  TAVIX_BEND(GetFileInformationByHandleEx, FileInformation);
  TAVIX_BEND(GetSecurityInfo, Security);
  TAVIX_BEND(DeviceIoControl, Control);
  for (const bool earlier : {false, true}) {
    Reset();
    fs::create_directories(kLogs + L"via");
    fs::create_directories(kLogs + L"hop");
    for (const std::wstring& at : kAt) PutFile(at, "earlier");
    if (!earlier) fs::remove(kAt[0]);
    if (!earlier) fs::remove(kAt[1]);
    {
      const std::wstring log = L"C:\\TAVIX\\LOGS\\folder\\" + std::wstring(kLogName);
      LogFile first(log);
      LogFile second(log);
      first.Write("one\r\n");
      second.Write("two\r\n");
    }
    for (int i = 0; i < 3; ++i) {
      const auto before = earlier || i == 2 ? std::optional<std::string>("earlier") : std::nullopt;
      const auto expected =
          g_case->lands == i + 1 ? std::optional<std::string>("one\r\ntwo\r\n") : before;
      EXPECT_EQ(GetFile(kAt[i]), expected) << U8(kAt[i]) << (earlier ? " over an earlier log" : "");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Folders, LogTest, testing::ValuesIn(kLogCases),
                         [](const testing::TestParamInfo<LogCase>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace tavix
