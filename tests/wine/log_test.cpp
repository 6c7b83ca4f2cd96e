// The log's file where Windows' answers for "folder" (on the way) and the log are bent: reparse
// tags, names, the run's rights. A link opened following leads to "target" ("target.log" for the
// log).
#include <gtest/gtest.h>

#include "log/log_file.h"
#include "machine.h"

namespace tavix {
namespace {

const std::wstring kLogs = L"C:\\tavix\\logs\\";
// Where the log may land: in "folder", in "target" through a link, beside it at a link's name.
enum Lands { kRefused, kInFolder, kInTarget };
const std::wstring kAt[] = {kLogs + L"folder\\" + kLogName, kLogs + L"target\\" + kLogName,
                            kLogs + L"folder\\target.log"};
constexpr ULONG kJunction = IO_REPARSE_TAG_MOUNT_POINT;
constexpr ULONG kLink = IO_REPARSE_TAG_SYMLINK;
constexpr ULONG kCloud = IO_REPARSE_TAG_CLOUD;

// kSystem: SYSTEM, not elevated; the rest: the token, its elevation or its user not read.
enum Run { kElevated, kLimited, kSystem, kTokenUnopened, kUnreadable, kUserUnreadable };
// kFolderElsewhere: "folder" named "target", as a link showing no reparse point; kLogElsewhere:
// the log named ".lox".
enum Names { kNamed, kUnnamed, kFolderElsewhere, kLogElsewhere };
// kAsFat: the tag query unanswered (ERROR_INVALID_PARAMETER), as FAT and exFAT leave it, the
// basic attributes answered; kTagUnreadable: the same, with the reparse attribute of a tagged
// entry.
enum TagQuery { kAnswered, kAsFat, kTagUnreadable };

// What Windows answers for the row.
struct Answers {
  ULONG folderTag = 0;
  ULONG logTag = 0;
  Run run = kElevated;
  Names names = kNamed;
  TagQuery tags = kAnswered;
};
struct LogCase {
  const char* name;
  Answers answers;
  Lands lands;
  const char* reason;  // the fault the row is there to catch
};
const Answers* g_case = nullptr;

// clang-format off
const LogCase kLogCases[] = {
    {"PlainFolderInOtherLetterCase", {}, kInFolder, "names compared with their letter case"},
    {"NamesUnknownLimited", {.run = kLimited, .names = kUnnamed}, kInFolder, "a name the file system does not give refuses the log"},
    {"CloudFolderOnTheWay", {.folderTag = kCloud}, kInFolder, "a reparse point that is no link refused on the way"},
    {"CloudFileAtName", {.logTag = kCloud}, kInFolder, "a cloud file refused, or written past its filter"},
    {"LinkAtNameNamesUnknown", {.logTag = kLink, .names = kUnnamed}, kRefused, "a link at the log's name followed"},
    {"FolderNamedElsewhere", {.names = kFolderElsewhere}, kRefused, "a link on the way that shows no reparse point followed"},
    {"LogNamedElsewhere", {.names = kLogElsewhere}, kRefused, "a link at the name that shows no reparse point followed"},
    {"LinkOnTheWayLimited", {.folderTag = kLink, .run = kLimited}, kInTarget, "a limited run refuses its user's own link"},
    {"JunctionOnTheWayElevated", {.folderTag = kJunction}, kRefused, "an elevated run follows a link on the way"},
    {"LinkOnTheWayAsSystem", {.folderTag = kLink, .run = kSystem}, kRefused, "SYSTEM taken for a limited run"},
    {"LinkOnTheWayTokenUnopened", {.folderTag = kLink, .run = kTokenUnopened}, kRefused, "an unopened token taken for a limited one"},
    {"LinkOnTheWayTokenUnreadable", {.folderTag = kLink, .run = kUnreadable}, kRefused, "an unreadable elevation taken for none"},
    {"LinkOnTheWayUserUnreadable", {.folderTag = kLink, .run = kUserUnreadable}, kRefused, "an unreadable user taken for no SYSTEM"},
    {"TagUnansweredElevated", {.tags = kAsFat}, kInFolder, "FAT's unanswered tag query refuses the way or the name"},
    {"TagUnansweredLimited", {.run = kLimited, .tags = kAsFat}, kInFolder, "FAT's unanswered tag query refuses the name"},
    {"JunctionTagUnreadable", {.folderTag = kJunction, .tags = kTagUnreadable}, kRefused, "a reparse point of unknown tag taken for no link"},
};
// clang-format on

// The reparse tag an entry shows, by its name.
ULONG TagShownBy(std::wstring_view name) {
  if (name.ends_with(L"folder")) return g_case->folderTag;
  return name.ends_with(kLogName) ? g_case->logTag : 0;
}
ULONG TagShownBy(HANDLE entry) {
  wchar_t path[MAX_PATH] = {};
  GetFinalPathNameByHandleW(entry, path, MAX_PATH, 0);
  return TagShownBy(std::wstring_view(path));
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
  const bool link = IsReparseTagNameSurrogate(TagShownBy(std::wstring_view(name)));
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
  const ULONG tag = TagShownBy(entry);
  if (kind == FileNameInfo && g_case->names == kUnnamed) return FALSE;
  if (kind == FileAttributeTagInfo && g_case->tags != kAnswered) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (kind == FileAttributeTagInfo && tag != 0) {
    *static_cast<FILE_ATTRIBUTE_TAG_INFO*>(out) = {FILE_ATTRIBUTE_REPARSE_POINT, tag};
    return TRUE;
  }
  const BOOL answered = TAVIX_REAL(GetFileInformationByHandleEx)(entry, kind, out, size);
  if (answered && kind == FileBasicInfo && g_case->tags == kTagUnreadable && tag != 0) {
    static_cast<FILE_BASIC_INFO*>(out)->FileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  }
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

class LogTest : public testing::TestWithParam<LogCase> {};

// Tests where the log lands, with no earlier logs and over earlier ones, two logs writing at once.
TEST_P(LogTest, Lands) {
  g_case = &GetParam().answers;
  SCOPED_TRACE(std::string("the fault this row catches: ") + GetParam().reason);
  TAVIX_BEND(OpenProcessToken, OpenToken);
  TAVIX_BEND(GetTokenInformation, Token);
  TAVIX_BEND(NtCreateFile, Open);
  TAVIX_BEND(GetFileInformationByHandleEx, FileInformation);
  for (const bool earlier : {false, true}) {
    Reset();
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
          GetParam().lands == i + 1 ? std::optional<std::string>("one\r\ntwo\r\n") : before;
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
