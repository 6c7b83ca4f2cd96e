// The log's file where Windows' answers for "folder" (on the way) and the log are bent. A link
// opened following leads to "target" ("target.log" for the log), which its file system names so.
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

enum Run { kElevated, kLimited, kSystem };  // kSystem: SYSTEM, not elevated
// A link that shows no reparse point, as Wine's Linux links: followed even when asked not to.
constexpr ULONG kUnshownLink = 1;

// What Windows answers for the row.
struct Answers {
  ULONG folderTag = 0;
  ULONG logTag = 0;
  Run run = kElevated;
  bool unnamed = false;  // FileNameInfo unanswered
  // The tag query unanswered (ERROR_INVALID_PARAMETER), as FAT and exFAT leave it; the basic
  // attributes still show which entries are reparse points.
  bool noTagQuery = false;
};
struct LogCase {
  const char* name;
  Answers answers;
  Lands lands;
  const char* reason;  // the fault the row is there to catch
};
void PrintTo(const LogCase& c, std::ostream* out) { *out << "the fault: " << c.reason; }
const Answers* g_case = nullptr;

// clang-format off
const LogCase kLogCases[] = {
    {"NamesUnknownLimited", {.run = kLimited, .unnamed = true}, kInFolder, "a name the file system does not give refuses the log"},
    {"CloudFolderOnTheWay", {.folderTag = IO_REPARSE_TAG_CLOUD}, kInFolder, "a reparse point that is no link refused on the way"},
    {"CloudFileAtName", {.logTag = IO_REPARSE_TAG_CLOUD}, kInFolder, "a cloud file refused, or written past its filter"},
    {"LinkAtNameNamesUnknown", {.logTag = IO_REPARSE_TAG_SYMLINK, .unnamed = true}, kRefused, "a link at the log's name followed"},
    {"UnshownLinkOnTheWay", {.folderTag = kUnshownLink}, kRefused, "a link on the way that shows no reparse point followed"},
    {"UnshownLinkAtName", {.logTag = kUnshownLink}, kRefused, "a link at the name that shows no reparse point followed"},
    {"LinkOnTheWayLimited", {.folderTag = IO_REPARSE_TAG_SYMLINK, .run = kLimited}, kInTarget, "a limited run refuses its user's own link"},
    {"JunctionOnTheWayElevated", {.folderTag = IO_REPARSE_TAG_MOUNT_POINT}, kRefused, "an elevated run follows a link on the way"},
    {"LinkOnTheWayAsSystem", {.folderTag = IO_REPARSE_TAG_SYMLINK, .run = kSystem}, kRefused, "SYSTEM taken for a limited run"},
    {"TagUnansweredElevated", {.noTagQuery = true}, kInFolder, "FAT's unanswered tag query refuses the way or the name"},
    {"TagUnansweredLimited", {.run = kLimited, .noTagQuery = true}, kInFolder, "FAT's unanswered tag query refuses the name"},
    {"JunctionTagUnreadable", {.folderTag = IO_REPARSE_TAG_MOUNT_POINT, .noTagQuery = true}, kRefused, "a reparse point of unknown tag taken for no link"},
};
// clang-format on

// The reparse tag an entry shows, by its name.
ULONG TagShownBy(std::wstring_view name) {
  if (name.ends_with(L"folder")) return g_case->folderTag;
  return name.ends_with(kLogName) ? g_case->logTag : 0;
}

BOOL WINAPI Token(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID out, DWORD size, PDWORD n) {
  static SID system{SID_REVISION, 1, SECURITY_NT_AUTHORITY, {SECURITY_LOCAL_SYSTEM_RID}};
  const BOOL read = TAVIX_REAL(GetTokenInformation)(token, kind, out, size, n);
  if (read && kind == TokenElevation) *static_cast<DWORD*>(out) = g_case->run == kElevated;
  if (read && kind == TokenUser && g_case->run == kSystem) *static_cast<PSID*>(out) = &system;
  return read;
}
NTSTATUS NTAPI Open(PHANDLE h, ACCESS_MASK a, POBJECT_ATTRIBUTES o, PIO_STATUS_BLOCK s,
                    PLARGE_INTEGER z, ULONG f, ULONG share, ULONG d, ULONG options, PVOID e,
                    ULONG n) {
  std::wstring name(o->ObjectName->Buffer, o->ObjectName->Length / 2);
  const ULONG tag = TagShownBy(name);
  const bool followed = (options & FILE_OPEN_REPARSE_POINT) == 0 && IsReparseTagNameSurrogate(tag);
  if (followed || tag == kUnshownLink) {
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
  wchar_t path[MAX_PATH] = {};
  GetFinalPathNameByHandleW(entry, path, MAX_PATH, 0);
  const ULONG tag = TagShownBy(path);
  if (kind == FileNameInfo && g_case->unnamed) return FALSE;
  if (kind == FileAttributeTagInfo && g_case->noTagQuery) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (kind == FileAttributeTagInfo && tag != 0) {
    *static_cast<FILE_ATTRIBUTE_TAG_INFO*>(out) = {FILE_ATTRIBUTE_REPARSE_POINT, tag};
    return TRUE;
  }
  const BOOL answered = TAVIX_REAL(GetFileInformationByHandleEx)(entry, kind, out, size);
  if (answered && kind == FileBasicInfo && tag != 0) {
    static_cast<FILE_BASIC_INFO*>(out)->FileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  }
  return answered;
}

class LogTest : public testing::TestWithParam<LogCase> {};

// Tests where the log lands, with no earlier logs and over earlier ones, two logs writing at once.
TEST_P(LogTest, Lands) {
  g_case = &GetParam().answers;
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
