// Whole runs of the exe, the typical run with each call failing in turn, the log's file.
#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>
#include <winternl.h>

#include <cstring>
#include <memory>
#include <sstream>

#include "log/log_file.h"
#include "machine.h"

namespace tavix {
namespace {

struct Case {
  // setup: view64 (values in 64-bit view), both (another build there), readonly, hardlink
  const char *name, *setup;
  const wchar_t *build, *code, *before;  // "Transforms", '*' standing for the cached file
  const char* log;                       // in kWords: -1 after NOTOURS, the file goes at REMOVED
  const wchar_t* after = nullptr;        // the REG_SZ "Transforms" where the log says REPLACED
};

// The messages each word stands for, split at '|'; {x} stands for a value.
const std::map<std::string, std::string> kWords = {
    {"START", "Start --> Clean Up Velmoran Tavix transform files and register items."},
    {"UPDATED", "----- --> Velmoran Tavix has been updated. Current Build Version is : {b}"},
    {"X86", "----- --> Updating x86 version, Product Code : {c}"},
    {"X64", "----- --> Updating x64 version, Product Code : {c}"},
    {"NOTOURS", "ERROR --> This Product is not Velmoran Tavix 1.0, Product Code : {c}"},
    {"REPLACED",
     "Replaced Transforms Register value --> old value : {o}\n|--------------------------------- "
     "--> New value : {n}\n|************Updated Transforms Register value "
     "Successfully.************ \n"},
    {"NOUPD", "----- -->No updated on Transforms Register value --> value : \n{o}"},
    {"REMOVED", "----- --> Removed file : {p}"},
    {"NOTREMOVED", "Error --> Failed to remove file : {p}"},
    {"GATE1.0.43.27", "----- --> Starting update: TAVIX_RTM_1_0_FOR_SUITES = 1.0.43.27."},
    {"GATE1.0.43.24", "----- --> Starting update: TAVIX_RTM_1_0_FOR_KESTRAVANE  = 1.0.43.24."},
    {"GATE1.0.43.13", "----- --> Starting update: TAVIX_RTM_1_0_FOR_ZIRK = 1.0.43.13."},
};

bool Has(const char* words, const std::string& word) {
  return std::regex_search(words, std::regex("(^| )" + word + "( |$)"));
}
bool Is64(const Case& c) { return c.code && c.code == kCode64; }
std::wstring Key(const Case& c) { return Is64(c) ? kInstaller64 : kInstaller32; }
std::wstring Cached(const Case& c) {
  return L"C:\\windows\\Installer\\" + (Is64(c) ? kCode64 : kCode32) + L"\\VelmoranTavix.mst";
}
std::wstring Expand(const Case& c, const wchar_t* value) {
  std::wstring text;
  for (const wchar_t* p = value; p && *p; ++p) text += *p == L'*' ? Cached(c) : std::wstring(1, *p);
  return text;
}

// Each message a line: time stamp, two blanks, the message, a line end; LF stored as CR LF.
std::string ExpectedLog(const Case& c) {
  std::string messages, log;
  std::istringstream words(c.log);
  for (std::string word; words >> word;)
    messages += kWords.at(word == "GATE" ? word + U8(c.build) : word) + "|";
  const std::pair<const char*, const wchar_t*> values[] = {
      {"{b}", c.build}, {"{c}", c.code}, {"{o}", c.before}, {"{n}", c.after}, {"{p}", L"*"}};
  for (const auto& [name, value] : values) {
    for (std::size_t at; (at = messages.find(name)) != std::string::npos;)
      messages.replace(at, std::strlen(name), U8(Expand(c, value)));
  }
  std::istringstream lines(messages);
  for (std::string message; std::getline(lines, message, '|');)
    log += "##:##:##  " + message + "\n";
  return std::regex_replace(log, std::regex("\n"), "\r\n");
}

constexpr wchar_t B27[] = L"1.0.43.27", C32[] = L"{6D2E47B1-0000-1033-0002-5A9C20F3E184}";
constexpr char kFull[] = "START GATE X86 REPLACED REMOVED",
               kKept[] = "START GATE X86 NOUPD REMOVED", kGated[] = "START UPDATED",
               kRefused[] = "START GATE NOTOURS";

// clang-format off
const Case kCases[] = {
    {"TypicalRun", "", B27, C32, L"*;", kFull, L""},
    {"Product64", "", B27, kCode64.c_str(), L"A;*;B", "START GATE X64 REPLACED REMOVED", L"A;B"},
    {"Build24", "", L"1.0.43.24", C32, L"*;", kFull, L""},
    {"Build13", "", L"1.0.43.13", C32, L"*;", kFull, L""},
    {"NearMissBuild", "", L"1.0.43.270", C32, L"*;", kGated},
    {"LowerCaseCode", "", B27, L"{6d2e47b1-0000-1033-0002-5a9c20f3e184}", L"*;", kRefused},
    {"ValuePAP", "", B27, C32, L"*;A;*", kFull, L"A;"},
    {"ValueAB", "", B27, C32, L"A;B", kKept},
    {"CachedFileReadOnly", "readonly", B27, C32, L"*;", "START GATE X86 REPLACED NOTREMOVED", L""},
    {"ProductKeyInBothViews", "both", B27, C32, L"*;", kFull, L""},
    {"ProductKeyOnlyIn64BitView", "view64", B27, C32, L"*;", kFull, L""},
    {"LogIsAHardLink", "hardlink", B27, C32, L"*;", kFull, L""},
};
// clang-format on

// False when this machine cannot hold the case: it needs two registry views.
bool Seed(const Case& c) {
  BOOL wow64 = FALSE;
  if (sizeof(void*) == 4 && !(IsWow64Process(GetCurrentProcess(), &wow64) && wow64) &&
      std::regex_search(c.setup, std::regex("view64|both")))
    return false;
  Reset();
  const REGSAM view = Has(c.setup, "view64") ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
  PutValue(HKEY_LOCAL_MACHINE, view, kProductKey, L"BuildVersion", c.build);
  PutValue(HKEY_LOCAL_MACHINE, view, kProductKey, L"upiMasterID", c.code);
  if (Has(c.setup, "both"))
    PutValue(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, kProductKey, L"BuildVersion", L"1.0");
  // Of another type: the rewrite stores REG_SZ.
  PutValue(HKEY_CLASSES_ROOT, 0, Key(c), L"Transforms", Expand(c, c.before), REG_EXPAND_SZ);
  fs::create_directories(kTemp);
  if (Has(c.setup, "hardlink")) {
    PutFile(L"C:\\tavix\\kept.txt", "kept");
    fs::create_hard_link(L"C:\\tavix\\kept.txt", kLog);
  }
  PutFile(Cached(c), "transform", Has(c.setup, "readonly"));
  return true;
}

// Tests one whole run: exit code, log bytes, "Transforms", the cached file.
TEST(ScenarioTest, Table) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    if (!Seed(c)) continue;  // it needs two registry views
    EXPECT_EQ(RunExe(), Has(c.log, "NOTOURS") ? 0xFFFFFFFFu : 0u);
    std::optional<std::string> log = ExpectedLog(c), actual = GetFile(kLog);
    if (Has(c.setup, "hardlink")) log = "kept";  // the file behind the link
    EXPECT_EQ(actual ? MaskTimes(*actual) : actual, log);
    const Value transforms = Has(c.log, "REPLACED")
                                 ? Value({REG_SZ, Expand(c, c.after) + L'\0'})
                                 : Value({REG_EXPAND_SZ, Expand(c, c.before) + L'\0'});
    EXPECT_EQ(GetValue(HKEY_CLASSES_ROOT, 0, Key(c), L"Transforms"), transforms);
    EXPECT_EQ(GetFile(Cached(c)).has_value(), !Has(c.log, "REMOVED"));
  }
}

// The calls of the swept functions; the one at `g_failAt` fails without reaching Windows.
std::vector<std::string> g_calls;
std::size_t g_failAt = SIZE_MAX;

template <int N, typename F>
struct Swept;
#define TAVIX_SWEPT_AS(convention)                                               \
  template <int N, typename R, typename... A>                                    \
  struct Swept<N, R(convention*)(A...)> {                                        \
    static inline const char* name;                                              \
    static inline R failure;                                                     \
    static R convention Call(A... a) {                                           \
      g_calls.push_back(name);                                                   \
      if (g_calls.size() - 1 == g_failAt) return failure;                        \
      return reinterpret_cast<R(convention*)(A...)>(g_originals.at(name))(a...); \
    }                                                                            \
  };
TAVIX_SWEPT_AS(WINAPI)
#ifndef _WIN64  // the C runtime's functions, where the conventions differ
TAVIX_SWEPT_AS(__cdecl)
#endif
template <typename S, typename R>
std::shared_ptr<void> Sweeping(const char* name, R failure) {
  S::name = name, S::failure = failure;
  return std::make_shared<Bend<decltype(&S::Call)>>(name, &S::Call);
}
#define TAVIX_SWEPT(name, failure) Sweeping<Swept<__COUNTER__, decltype(&::name)>>(#name, failure)

const std::wstring kCached = Cached(kCases[0]), kFallbackLog = L"C:\\temp\\" + kLogName;

// The exit code of the typical run with call `failAt` failing, beside files of its own.
DWORD SweptRun(std::size_t failAt) {
  Seed(kCases[0]);
  PutFile(kCached + L".other", "other");
  PutFile(kLog + L".other", "other");
  PutFile(kLog,
          "00:00:00  ----- --> Removed file : " + U8(kCached) + "\r\n");  // emptied, not added to
  fs::remove(kFallbackLog);
  const LONG denied = ERROR_ACCESS_DENIED;
  const DWORD none = 0;
  // clang-format off
  const std::shared_ptr<void> swept[] = {TAVIX_SWEPT(RegOpenKeyExW, denied),
      TAVIX_SWEPT(RegQueryValueExW, denied), TAVIX_SWEPT(RegCreateKeyExW, denied),
      TAVIX_SWEPT(RegSetValueExW, denied), TAVIX_SWEPT(GetTempPathW, none),
      TAVIX_SWEPT(GetSystemWindowsDirectoryW, UINT{0}), TAVIX_SWEPT(_waccess, -1),
      TAVIX_SWEPT(_wremove, -1), TAVIX_SWEPT(GetFullPathNameW, none),
      TAVIX_SWEPT(CreateFileW, INVALID_HANDLE_VALUE), TAVIX_SWEPT(NtCreateFile, NTSTATUS{-1}),
      TAVIX_SWEPT(GetFileInformationByHandleEx, FALSE), TAVIX_SWEPT(GetFileType, none),
      TAVIX_SWEPT(GetFileInformationByHandle, FALSE), TAVIX_SWEPT(CompareStringOrdinal, 0),
      TAVIX_SWEPT(ReOpenFile, INVALID_HANDLE_VALUE), TAVIX_SWEPT(SetEndOfFile, FALSE),
      TAVIX_SWEPT(SetFileInformationByHandle, FALSE), TAVIX_SWEPT(WriteFile, FALSE),
      TAVIX_SWEPT(OpenProcessToken, FALSE), TAVIX_SWEPT(GetTokenInformation, FALSE),
      TAVIX_SWEPT(WideCharToMultiByte, 0)};
  // clang-format on
  g_calls.clear();
  g_failAt = failAt;
  const DWORD exitCode = RunInProcess();
  g_failAt = SIZE_MAX;
  return exitCode;
}

std::vector<std::string> Lines(const std::optional<std::string>& log) {
  std::vector<std::string> lines;
  std::istringstream in(log ? MaskTimes(*log) : "");
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.size() - 1));
  return lines;
}

// Tests that any failing call ends soundly: exit 0 (-1 only unread), "Transforms" old or new,
// no other change, a non-empty log of typical lines in order plus documented failure lines.
TEST(FaultSweepTest, EveryCallOfTheTypicalRunFailing) {
  const bool madeFallback = fs::create_directory(L"C:\\temp");
  ASSERT_EQ(SweptRun(SIZE_MAX), 0u);
  EXPECT_EQ(U8(L"\u00e9\xD800"), "\xc3\xa9\xef\xbf\xbd");  // the log's UTF-8, as shown below
  const std::vector<std::string> typical = Lines(GetFile(kLog)), calls = g_calls;
  // Documented failure lines: values unread, the path not found, not removed, write failed.
  std::vector<std::string> documented =
      Lines(ExpectedLog({"", "", L"", L"", L"*;", "UPDATED NOTOURS NOUPD NOTREMOVED"}));
  const std::string unread = documented[1], at = "##:##:##  ";
  documented.insert(documented.end(),
                    {"", at + "************Updated Transforms Register value Failed.************ ",
                     at + "----- --> Removed file : C:\\Windows\\Installer\\" + U8(kCode32) +
                         "\\VelmoranTavix.mst"});
  const std::size_t firstLine =
      std::find(calls.begin(), calls.end(), "WideCharToMultiByte") - calls.begin();
  for (std::size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE("call " + std::to_string(i) + ": " + calls[i]);
    const DWORD exitCode = SweptRun(i);
    std::optional<std::string> log = GetFile(kLog);
    if (!log) log = GetFile(kFallbackLog);
    const std::vector<std::string> lines = Lines(log);
    const Value transforms = GetValue(HKEY_CLASSES_ROOT, 0, kInstaller32, L"Transforms");
    const bool unknown = exitCode == 0xFFFFFFFF;
    EXPECT_TRUE(exitCode == 0 || (unknown && lines.back() == unread)) << exitCode;
    EXPECT_TRUE(transforms == Value({REG_SZ, {L'\0'}}) ||
                transforms == Value({REG_EXPAND_SZ, kCached + L";" + L'\0'}));
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, kProductKey, L"upiMasterID"),
              Value({REG_SZ, kCode32 + L'\0'}));
    EXPECT_TRUE(GetFile(kCached + L".other") && GetFile(kLog + L".other") &&
                (!unknown || GetFile(kCached)));
    EXPECT_TRUE(log ? !log->empty() || calls[i] == "WriteFile" : i < firstLine && i > 0) << "log";
    auto next = typical.begin();  // typical lines may go missing, never change places
    for (const std::string& line : lines) {
      const auto found = std::find(next, typical.end(), line);
      EXPECT_TRUE(found != typical.end() || std::count(documented.begin(), documented.end(), line))
          << line;
      if (found != typical.end()) next = found + 1;
    }
  }
  fs::remove(kFallbackLog);
  if (madeFallback) fs::remove(L"C:\\temp");
}

// Bent tags, owner, access list, rights; a "link" opened following leads to "target(.log)".
const std::wstring kLogs = L"C:\\tavix\\logs\\";
const std::wstring kAt[] = {kLogs + L"folder\\" + kLogName, kLogs + L"target\\" + kLogName,
                            kLogs + L"folder\\target.log"};
enum Run { kElevated, kLimited, kSystem };  // kSystem: SYSTEM, its token not elevated

struct LogCase {
  const char* name;
  int lands;                        // where the log goes: 1 + its index in kAt; 0: refused
  ULONG folderTag = 0, logTag = 0;  // the reparse tags the folder and the log show
  const wchar_t* access = nullptr;  // the folder's owner and access list (SDDL)
  Run run = kElevated;
  bool namesUnknown = false;                            // no handle named
  const wchar_t* path = L"C:\\TAVIX\\LOGS\\FOLDER\\X";  // its folder is the log's
};
const LogCase* g_case = nullptr;

BOOL WINAPI Token(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID out, DWORD size, PDWORD n) {
  static SID system{SID_REVISION, 1, SECURITY_NT_AUTHORITY, {SECURITY_LOCAL_SYSTEM_RID}};
  const BOOL ok = TAVIX_REAL(GetTokenInformation)(token, kind, out, size, n);
  if (ok && kind == TokenElevation && g_case->run != kElevated) *static_cast<DWORD*>(out) = 0;
  if (ok && kind == TokenUser && g_case->run == kSystem) *static_cast<PSID*>(out) = &system;
  return ok;
}
bool EndsWith(std::wstring_view text, std::wstring_view end) {  // letter case aside
  return text.size() >= end.size() &&
         !_wcsnicmp(&text[text.size() - end.size()], end.data(), end.size());
}
ULONG TagFor(std::wstring_view name) {
  return EndsWith(name, L"folder")  ? g_case->folderTag
         : EndsWith(name, kLogName) ? g_case->logTag
                                    : 0;
}
NTSTATUS NTAPI Open(PHANDLE h, ACCESS_MASK a, POBJECT_ATTRIBUTES o, PIO_STATUS_BLOCK s,
                    PLARGE_INTEGER z, ULONG f, ULONG share, ULONG d, ULONG options, PVOID e,
                    ULONG n) {
  std::wstring name(o->ObjectName->Buffer, o->ObjectName->Length / 2);
  if (!(options & FILE_OPEN_REPARSE_POINT) && IsReparseTagNameSurrogate(TagFor(name)))
    name = TagFor(name) == g_case->logTag ? L"target.log"
                                          : name.substr(0, name.size() - 6) + L"target";
  UNICODE_STRING text{static_cast<USHORT>(name.size() * 2), static_cast<USHORT>(name.size() * 2),
                      &name[0]};
  OBJECT_ATTRIBUTES attributes = *o;
  attributes.ObjectName = &text;
  return TAVIX_REAL(NtCreateFile)(h, a, &attributes, s, z, f, share, d, options, e, n);
}
BOOL WINAPI FileInformation(HANDLE entry, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID out, DWORD size) {
  if (kind == FileNameInfo && g_case->namesUnknown) return FALSE;
  wchar_t path[MAX_PATH] = {};
  GetFinalPathNameByHandleW(entry, path, MAX_PATH, 0);
  if (kind != FileAttributeTagInfo || TagFor(path) == 0)
    return TAVIX_REAL(GetFileInformationByHandleEx)(entry, kind, out, size);
  *static_cast<FILE_ATTRIBUTE_TAG_INFO*>(out) = {FILE_ATTRIBUTE_REPARSE_POINT, TagFor(path)};
  return TRUE;
}
DWORD WINAPI Security(HANDLE entry, SE_OBJECT_TYPE type, SECURITY_INFORMATION wanted, PSID* owner,
                      PSID* group, PACL* list, PACL* audit, PSECURITY_DESCRIPTOR* made) {
  BOOL flag = FALSE;  // Windows' answer first: the handle must allow reading them
  const DWORD real =
      TAVIX_REAL(GetSecurityInfo)(entry, type, wanted, owner, group, list, audit, made);
  if (real != ERROR_SUCCESS || !g_case->access) return real;
  LocalFree(*made);
  ConvertStringSecurityDescriptorToSecurityDescriptorW(g_case->access, 1, made, nullptr);
  GetSecurityDescriptorOwner(*made, owner, &flag);
  return GetSecurityDescriptorDacl(*made, &flag, list, &flag) ? ERROR_SUCCESS : ~0u;
}

constexpr ULONG kJunction = IO_REPARSE_TAG_MOUNT_POINT, kLink = IO_REPARSE_TAG_SYMLINK;
// clang-format off
const LogCase kLogCases[] = {
    {"OtherLetterCase", 1},
    {"NamesUnknownNotElevated", 1, 0, 0, nullptr, kLimited, true},
    {"CloudFolderOnTheWay", 1, IO_REPARSE_TAG_CLOUD},
    {"LinkAtName", 0, 0, kLink},
    {"FolderLinkElevated", 0, kLink},
    {"FolderLinkAsSystem", 0, kLink, 0, nullptr, kSystem},
    {"FolderLinkNotElevated", 2, kLink, 0, nullptr, kLimited},
    {"JunctionOfAdministrators", 2, kJunction, 0, L"O:BAD:(A;;FA;;;BA)(A;OICIIO;GA;;;BU)(D;;FA;;;WD)"},
    {"JunctionOfSystem", 2, kJunction, 0, L"O:SYD:(A;;FA;;;SY)(A;;FA;;;CO)(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"},
    {"JunctionOwnedByUsers", 0, kJunction, 0, L"O:BUD:(A;;FA;;;BA)"},
    {"JunctionUsersMayWrite", 0, kJunction, 0, L"O:BAD:(A;;FA;;;BA)(A;;FW;;;BU)"},
    {"JunctionUsersMayChangeItsAccess", 0, kJunction, 0, L"O:BAD:(A;;FA;;;BA)(A;;WD;;;BU)"},
    {"JunctionWithoutAccessList", 0, kJunction, 0, L"O:BA"},
};
// clang-format on

// Each case with and without earlier logs; two runs at once; only the log's own place changes.
TEST(LogFileTest, FollowsOnlyLinksNoOneWithFewerRightsCanChange) {
  TAVIX_BEND(GetTokenInformation, Token);
  TAVIX_BEND(GetFileInformationByHandleEx, FileInformation);
  TAVIX_BEND(GetSecurityInfo, Security);
  TAVIX_BEND(NtCreateFile, Open);
  for (const LogCase& c : kLogCases) {
    for (const bool earlier : {false, true}) {
      g_case = &c;
      Reset();
      for (const std::wstring& at : kAt) PutFile(at, "earlier");
      for (int i : {0, 1}) earlier || fs::remove(kAt[i]);
      {
        const std::wstring log = fs::path(c.path).replace_filename(kLogName);
        LogFile first(log), second(log);
        first.Write("one\r\n");
        second.Write("two\r\n");
      }
      for (int i = 0; i < 3; ++i) {
        const auto kept = earlier || i == 2 ? std::optional<std::string>("earlier") : std::nullopt;
        EXPECT_EQ(GetFile(kAt[i]), c.lands == i + 1 ? "one\r\ntwo\r\n" : kept)
            << c.name << earlier << i;
      }
    }
  }
}

}  // namespace
}  // namespace tavix

// wine_tests.exe --exe=<exe>: refused where a product key exists (the tests write and remove them).
int wmain(int argc, wchar_t** argv) {
  using namespace tavix;
  ::testing::InitGoogleTest(&argc, argv);
  SetEnvironmentVariableW(L"TMP", kTemp.c_str());
  for (int i = 1; i < argc; ++i) {
    if (std::wstring(argv[i]).rfind(L"--exe=", 0) == 0) g_exe = argv[i] + 6;
  }
  bool installed = false;
  for (const auto& [root, path] : kKeys) {
    for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      HKEY key = nullptr;
      installed |= RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) == ERROR_SUCCESS;
      if (key) RegCloseKey(key);
    }
  }
  if (installed) {
    std::fprintf(stderr,
                 "The product's keys exist here; these tests would change them. Refused.\n");
    return 2;
  }
  const int result = RUN_ALL_TESTS();
  Reset();
  return result;
}
