// The log's file on folders whose reparse tags, link targets, names, owner and access list, and
// the run's rights, are bent as Windows answers them. Entries are told apart by their names:
// "folder" on the way to the log, "via", and the log itself may show a tag; a link opened
// following leads to "target" ("target.log" for the log).
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

enum Run { kElevated, kLimited, kSystem, kUnreadable };  // kSystem: SYSTEM, not elevated
enum Names { kNamed, kUnnamed, kNamedElsewhere };        // kNamedElsewhere: "folder" named "target"

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
    {.name = "LinkAtName", .logTag = kLink},
    {.name = "FolderNamedElsewhere", .names = kNamedElsewhere},
    {.name = "FolderLinkNotElevated", .lands = 2, .folderTag = kLink, .run = kLimited},
    {.name = "FolderLinkAsSystem", .folderTag = kLink, .run = kSystem},
    {.name = "FolderLinkTokenUnreadable", .folderTag = kLink, .run = kUnreadable},
    {.name = "JunctionOfAdministrators", .lands = 2, .folderTag = kJunction, .access = kAdministrators},
    {.name = "JunctionOfSystem", .lands = 2, .folderTag = kJunction, .access = L"O:SYD:(A;;FA;;;SY)(A;;FA;;;CO)(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"},
    {.name = "JunctionUsersMayWrite", .folderTag = kJunction, .access = L"O:BAD:(A;;FA;;;BA)(A;;FW;;;BU)"},
    {.name = "JunctionUsersMayChangeItsAccess", .folderTag = kJunction, .access = L"O:BAD:(A;;FA;;;BA)(A;;WD;;;BU)"},
    {.name = "JunctionWithoutAccessList", .folderTag = kJunction, .access = L"O:BA"},
    {.name = "JunctionOwnedByUsers", .folderTag = kJunction, .access = L"O:BUD:(A;;FA;;;BA)"},
    {.name = "RelativeLinkOfAdministrators", .lands = 2, .folderTag = kLink, .target = L"target", .access = kAdministrators},
    {.name = "JunctionTargetUnreadable", .folderTag = kJunction, .target = nullptr, .access = kAdministrators},
    {.name = "JunctionToItself", .folderTag = kJunction, .target = L"\\??\\C:\\tavix\\logs\\folder", .access = kAdministrators},
    {.name = "JunctionToUsersJunction", .folderTag = kJunction, .target = L"\\??\\C:\\tavix\\logs\\via", .access = kAdministrators},
};
// clang-format on

bool EndsWith(std::wstring_view text, std::wstring_view end) {  // letter case aside
  return text.size() >= end.size() &&
         _wcsnicmp(&text[text.size() - end.size()], end.data(), end.size()) == 0;
}
// What an entry shows, by its name: its reparse tag, owner and access list, and link target.
std::tuple<ULONG, const wchar_t*, const wchar_t*> ShownBy(std::wstring_view name) {
  if (EndsWith(name, L"folder")) return {g_case->folderTag, g_case->access, g_case->target};
  if (EndsWith(name, L"via")) return {kJunction, kUsers, kToTarget};
  if (EndsWith(name, kLogName)) return {g_case->logTag, nullptr, nullptr};
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
  const BOOL read = TAVIX_REAL(GetTokenInformation)(token, kind, out, size, n);
  if (read && kind == TokenElevation) *static_cast<DWORD*>(out) = g_case->run == kElevated;
  if (read && kind == TokenUser && g_case->run == kSystem) *static_cast<PSID*>(out) = &system;
  return read;
}
NTSTATUS NTAPI Open(PHANDLE h, ACCESS_MASK a, POBJECT_ATTRIBUTES o, PIO_STATUS_BLOCK s,
                    PLARGE_INTEGER z, ULONG f, ULONG share, ULONG d, ULONG options, PVOID e,
                    ULONG n) {
  std::wstring name(o->ObjectName->Buffer, o->ObjectName->Length / 2);
  const bool link = IsReparseTagNameSurrogate(std::get<0>(ShownBy(name)));
  if ((options & FILE_OPEN_REPARSE_POINT) == 0 && link) {
    const std::wstring target = EndsWith(name, kLogName) ? L"target.log" : L"target";
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
  if (answered && kind == FileNameInfo && g_case->names == kNamedElsewhere) {
    auto* name = static_cast<FILE_NAME_INFO*>(out);
    const std::wstring_view text(name->FileName, name->FileNameLength / 2);
    const std::size_t at = text.find(L"\\folder");  // a link showing no reparse point
    if (at != std::wstring::npos) std::wmemcpy(&name->FileName[at], L"\\target", 7);
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

void PrintTo(const LogCase& c, std::ostream* out) { *out << c.name; }
class LogTest : public testing::TestWithParam<LogCase> {};

// Tests where the log lands, with no earlier logs and over earlier ones, two logs writing at once.
TEST_P(LogTest, Lands) {
  g_case = &GetParam();
  TAVIX_BEND(GetTokenInformation, Token);
  TAVIX_BEND(NtCreateFile, Open);
  TAVIX_BEND(GetFileInformationByHandleEx, FileInformation);
  TAVIX_BEND(GetSecurityInfo, Security);
  TAVIX_BEND(DeviceIoControl, Control);
  for (const bool earlier : {false, true}) {
    Reset();
    fs::create_directories(kLogs + L"via");
    for (const std::wstring& at : kAt) PutFile(at, "earlier");
    if (!earlier) fs::remove(kAt[0]);
    if (!earlier) fs::remove(kAt[1]);
    {
      const std::wstring log = L"C:\\TAVIX\\LOGS\\FOLDER\\" + std::wstring(kLogName);
      LogFile first(log);
      LogFile second(log);
      first.Write("one\r\n");
      second.Write("two\r\n");
    }
    for (int i = 0; i < 3; ++i) {
      const bool kept = earlier || i == 2;
      const auto before = kept ? std::optional<std::string>("earlier") : std::nullopt;
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
