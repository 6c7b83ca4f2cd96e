// Whole runs of the exe over a table of machines; the typical run in this process with each of
// its calls to Windows failing in turn.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <vector>

#include "machine.h"

namespace tavix {
namespace {

enum Setup {
  kPlain,
  kOnlyIn64BitView,  // the product's values in the 64-bit view only
  kReadOnly,         // the cached file read-only
  kNoCachedFile,     // the cached file missing
  kHardLink,         // the log's name a second name of another file
  kOddLength,        // "Transforms" stored with one byte more than its text, and no NUL
  kSystemTemp,       // the temporary folder SYSTEM's, below the system folder
  kLongTemp,         // TMP of 260 characters, too long with its NUL: the log goes to kFallback
  kShortTemp,        // TMP the 8.3 short name of a folder with a long name
  kExtendedTemp,     // TMP behind "\\?\"
  kInheritedTemp,    // TMP as this program inherited it
};

struct Case {
  const char* name;
  const wchar_t* build = L"1.0.43.27";
  const wchar_t* code = kCode32;
  const wchar_t* before = L"*;";  // "Transforms", '*' standing for the cached file
  const wchar_t* after = L"";     // the REG_SZ "Transforms" where the log says REPLACED
  const char* log = "START GATE X86 REPLACED REMOVED";  // its messages, words of kWords
  Setup setup = kPlain;
};

// The messages each word stands for, split at '|', with a value of the case as Fill says.
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
    {"FAILED", "************Updated Transforms Register value Failed.************ \n"},
    {"NOUPD", "----- -->No updated on Transforms Register value --> value : \n{o}"},
    {"REMOVED", "----- --> Removed file : {p}"},
    {"NOTREMOVED", "Error --> Failed to remove file : {p}"},
    {"GATE1.0.43.27", "----- --> Starting update: TAVIX_RTM_1_0_FOR_SUITES = 1.0.43.27."},
    {"GATE1.0.43.24", "----- --> Starting update: TAVIX_RTM_1_0_FOR_KESTRAVANE  = 1.0.43.24."},
    {"GATE1.0.43.13", "----- --> Starting update: TAVIX_RTM_1_0_FOR_ZIRK = 1.0.43.13."},
};

constexpr char kGated[] = "START UPDATED";
constexpr char kRefused[] = "START GATE NOTOURS";
constexpr char kKept[] = "START GATE X86 NOUPD REMOVED";

// clang-format off
const Case kCases[] = {
    {.name = "TypicalRun"},
    {.name = "Product64", .code = kCode64, .before = L"A;*;B", .after = L"A;B",
     .log = "START GATE X64 REPLACED REMOVED"},
    {.name = "Build24", .build = L"1.0.43.24"},
    {.name = "Build13", .build = L"1.0.43.13"},
    {.name = "NearMissBuild", .build = L"1.0.43.270", .log = kGated},
    {.name = "LowerCaseCode", .code = L"{6d2e47b1-0000-1033-0002-5a9c20f3e184}", .log = kRefused},
    {.name = "ValueAP", .before = L"A;*", .after = L"A;"},
    {.name = "ValuePAP", .before = L"*;A;*", .after = L"A;"},
    {.name = "ValueAB", .before = L"A;B", .log = kKept},
    {.name = "ValueOfOddLength", .before = L"*;A", .after = L"A", .setup = kOddLength},
    {.name = "CachedFileReadOnly", .log = "START GATE X86 REPLACED NOTREMOVED", .setup = kReadOnly},
    {.name = "CachedFileMissing", .log = "START GATE X86 REPLACED NOTREMOVED", .setup = kNoCachedFile},
    {.name = "ProductKeyOnlyIn64BitView", .setup = kOnlyIn64BitView},
    {.name = "LogIsAHardLink", .setup = kHardLink},
    {.name = "SystemTemporaryFolder", .setup = kSystemTemp},
    {.name = "LongTemporaryFolder", .setup = kLongTemp},
    {.name = "ShortNamedTemporaryFolder", .setup = kShortTemp},
    {.name = "ExtendedLengthTemporaryFolder", .setup = kExtendedTemp},
    {.name = "InheritedTemporaryFolder", .setup = kInheritedTemp},
};
// clang-format on

bool Has(const char* words, const std::string& word) {
  return std::regex_search(words, std::regex("(^| )" + word + "( |$)"));
}
bool Is64(const Case& c) { return std::wstring(c.code) == kCode64; }
std::wstring Key(const Case& c) { return Is64(c) ? kInstaller64 : kInstaller32; }
std::wstring Cached(const Case& c) { return CachedFile(Is64(c) ? kCode64 : kCode32); }
const std::wstring kLongNamed = L"C:\\tavix\\A long temporary folder\\";
std::wstring Tmp(const Case& c) {  // TMP as the run gets it
  wchar_t shortName[MAX_PATH] = {};
  switch (c.setup) {
    case kSystemTemp:
      return SystemTemp();
    case kLongTemp:
      return kTemp + std::wstring(245, L'x') + L'\\';
    case kShortTemp:
      GetShortPathNameW(kLongNamed.c_str(), shortName, MAX_PATH);
      return shortName;
    case kExtendedTemp:
      return L"\\\\?\\" + kTemp;
    case kInheritedTemp:
      return g_inheritedTmp;
    default:
      return kTemp;
  }
}
std::wstring Temp(const Case& c) {  // where the log goes
  if (c.setup == kInheritedTemp) return g_inheritedTemp;
  if (c.setup == kShortTemp) return kLongNamed;
  if (c.setup == kSystemTemp) return SystemTemp();
  return c.setup == kLongTemp ? kFallback : kTemp;
}
std::wstring Expand(const Case& c, const wchar_t* value) {
  return std::regex_replace(value, std::wregex(L"\\*"), Cached(c));
}

// The message with its value, where it has one: {b}uild, {c}ode, {o}ld and {n}ew value, {p}ath.
std::string Fill(std::string message, const Case& c) {
  const std::map<char, std::wstring> values = {{'b', c.build},
                                               {'c', c.code},
                                               {'o', Expand(c, c.before)},
                                               {'n', Expand(c, c.after)},
                                               {'p', Cached(c)}};
  const std::size_t at = message.find('{');
  if (at != std::string::npos) message.replace(at, 3, U8(values.at(message[at + 1])));
  return message;
}

// The log of a case's run, each line stamped `time`: a line is the time, two blanks, the
// message and a line end, every LF stored as CR LF.
std::string ExpectedLog(const Case& c, const std::string& time = "##:##:##") {
  std::string log;
  std::istringstream words(c.log);
  std::string word;
  while (words >> word) {
    std::istringstream messages(kWords.at(word == "GATE" ? word + U8(c.build) : word));
    std::string message;
    while (std::getline(messages, message, '|')) log += time + "  " + Fill(message, c) + "\n";
  }
  return std::regex_replace(log, std::regex("\n"), "\r\n");
}

// Seeds the case's machine; the reason when this machine cannot hold it.
std::string Seed(const Case& c) {
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  const bool oneView = sizeof(void*) == 4 && !wow64;
  if (c.setup == kOnlyIn64BitView && oneView) return "needs two views; a 32-bit Windows has one";
  Reset();
  const REGSAM view = c.setup == kOnlyIn64BitView ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
  // The build with a NUL and more behind it: the text read ends at the first NUL.
  PutValue(HKEY_LOCAL_MACHINE, view, kProductKey, L"BuildVersion",
           c.build + std::wstring({L'\0', L'9'}));
  PutValue(HKEY_LOCAL_MACHINE, view, kProductKey, L"upiMasterID", c.code);
  // Where there are two views, the 32-bit one is read first: the other holds another build.
  if (!oneView && view == KEY_WOW64_32KEY) {
    PutValue(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, kProductKey, L"BuildVersion", L"1.0");
  }
  // Of another type than the REG_SZ the rewrite stores; of odd length with half an 'x' behind.
  const bool odd = c.setup == kOddLength;
  const std::wstring transforms = Expand(c, c.before) + (odd ? L"x" : L"");
  const DWORD bytes = static_cast<DWORD>(transforms.size() + 1) * 2 - (odd ? 3 : 0);
  PutValue(HKEY_CLASSES_ROOT, 0, Key(c), L"Transforms", transforms, REG_EXPAND_SZ, bytes);
  fs::create_directories(Temp(c));
  const std::wstring tmp = Tmp(c);
  const bool noShortName = tmp.empty() || tmp == kLongNamed;
  if (c.setup == kShortTemp && noShortName) return "the volume makes no short names";
  SetEnvironmentVariableW(L"TMP", tmp.empty() ? nullptr : tmp.c_str());
  PutFile(L"C:\\tavix\\kept.txt", "kept");  // the other name of a log that is a hard link
  if (c.setup == kHardLink) fs::create_hard_link(L"C:\\tavix\\kept.txt", kLog);
  if (c.setup != kNoCachedFile) PutFile(Cached(c), "transform");
  if (c.setup == kReadOnly) SetFileAttributesW(Cached(c).c_str(), FILE_ATTRIBUTE_READONLY);
  return std::string();
}

class RunTest : public testing::TestWithParam<Case> {};

// Tests one whole run: the exit code, the log's bytes, "Transforms", the cached file.
TEST_P(RunTest, Run) {
  const Case& c = GetParam();
  const std::string cannot = Seed(c);
  if (!cannot.empty()) GTEST_SKIP() << cannot;
  const DWORD exitCode = RunExe();
  EXPECT_EQ(exitCode, Has(c.log, "NOTOURS") ? 0xFFFFFFFFu : 0u) << "exit code";
  const std::optional<std::string> log = GetFile(Temp(c) + kLogName);
  ASSERT_TRUE(log.has_value()) << "no log in " << U8(Temp(c));
  if (c.setup == kHardLink) {
    EXPECT_EQ(*log, "kept") << "the other file at the log's name";
  } else {
    EXPECT_EQ(MaskTimes(*log), ExpectedLog(c));
  }
  const bool replaced = Has(c.log, "REPLACED");
  const Value transforms = GetValue(HKEY_CLASSES_ROOT, 0, Key(c), L"Transforms");
  const Value after = Value({REG_SZ, Expand(c, c.after) + L'\0'});
  EXPECT_EQ(transforms, replaced ? after : Value({REG_EXPAND_SZ, Expand(c, c.before) + L'\0'}));
  const bool kept = !Has(c.log, "REMOVED") && c.setup != kNoCachedFile;
  EXPECT_EQ(GetFile(Cached(c)).has_value(), kept) << "the cached file is there";
}

INSTANTIATE_TEST_SUITE_P(Machines, RunTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// The calls of the swept functions; the one at g_failAt fails without reaching Windows.
std::vector<std::string> g_calls;
std::size_t g_failAt = SIZE_MAX;

template <int N, typename F>
struct Swept;
template <int N, typename R, typename... A>
struct Swept<N, R(WINAPI*)(A...)> {
  static inline const char* name;
  static inline R failure;
  static R WINAPI Call(A... a) {
    g_calls.push_back(name);
    if (g_calls.size() - 1 == g_failAt) return failure;
    return reinterpret_cast<R(WINAPI*)(A...)>(g_originals.at(name))(a...);
  }
};
template <typename S, typename R>
std::shared_ptr<void> Sweeping(const char* name, R failure) {
  S::name = name;
  S::failure = failure;
  return std::make_shared<Bend<decltype(&S::Call)>>(name, &S::Call);
}
#define TAVIX_SWEPT(name, failure) Sweeping<Swept<__COUNTER__, decltype(&::name)>>(#name, failure)

// The calls of the clean-up itself; all others are the log's.
constexpr char kCleanUpCalls[] =
    "RegOpenKeyExW RegQueryValueExW RegCreateKeyExW RegSetValueExW GetSystemWindowsDirectoryW";
const Case kTypical = kCases[0];
const std::wstring kCached = Cached(kTypical);
// GetTempPathW fails here as for a TMP longer than the buffer holds; under Wine, which
// answers that with 0, LongTemporaryFolder sees the other failure.
const std::wstring kFallbackLog = kFallback + kLogName;
const Value kOldValue = Value({REG_EXPAND_SZ, kCached + L";" + L'\0'});
const Value kNewValue = Value({REG_SZ, {L'\0'}});

const std::optional<std::string> kEarlier = "earlier\r\n";

// The exit code of the typical run over an earlier log, with call `failAt` failing.
DWORD SweptRun(std::size_t failAt) {
  Seed(kTypical);
  PutFile(kLog, *kEarlier);
  fs::remove(kFallbackLog);
  const LONG denied = ERROR_ACCESS_DENIED;
  // clang-format off
  const std::shared_ptr<void> swept[] = {TAVIX_SWEPT(RegOpenKeyExW, denied),
      TAVIX_SWEPT(RegQueryValueExW, denied), TAVIX_SWEPT(RegCreateKeyExW, denied),
      TAVIX_SWEPT(RegSetValueExW, denied), TAVIX_SWEPT(GetTempPathW, DWORD{MAX_PATH + 1}),
      TAVIX_SWEPT(GetSystemWindowsDirectoryW, UINT{0}), TAVIX_SWEPT(GetFullPathNameW, DWORD{0}),
      TAVIX_SWEPT(GetLongPathNameW, DWORD{0}),
      TAVIX_SWEPT(CreateFileW, INVALID_HANDLE_VALUE), TAVIX_SWEPT(NtCreateFile, NTSTATUS{-1}),
      TAVIX_SWEPT(GetFileInformationByHandleEx, FALSE), TAVIX_SWEPT(GetFileType, DWORD{0}),
      TAVIX_SWEPT(CompareStringOrdinal, 0), TAVIX_SWEPT(ReOpenFile, INVALID_HANDLE_VALUE),
      TAVIX_SWEPT(SetEndOfFile, FALSE), TAVIX_SWEPT(SetFileInformationByHandle, FALSE),
      TAVIX_SWEPT(WriteFile, FALSE), TAVIX_SWEPT(OpenProcessToken, FALSE),
      TAVIX_SWEPT(GetTokenInformation, FALSE), TAVIX_SWEPT(WideCharToMultiByte, 0)};
  // clang-format on
  g_calls.clear();
  g_failAt = failAt;
  const int exitCode = RunCleanUp();
  g_failAt = SIZE_MAX;
  ResetRunLogForTesting();  // closes the log, as the end of the process does
  return static_cast<DWORD>(exitCode);
}

std::vector<std::string> Lines(const std::optional<std::string>& log) {
  std::vector<std::string> lines;
  std::istringstream in(MaskTimes(log.value_or("")));
  std::string line;
  while (std::getline(in, line)) lines.push_back(line.substr(0, line.size() - 1));
  return lines;
}
bool Says(const std::vector<std::string>& lines, const std::string& begin) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.rfind(begin, 0) == 0; });
}

// Tests the typical run over an earlier log with each call failing in turn: it ends with its exit
// code, keeps what is not its own, cleans up where only the log failed, and its log is the
// typical one where the log's folder is not found, else typical lines in order or lines that
// tell what failed, and never tells of what did not happen.
TEST(FaultSweepTest, EveryCallOfTheTypicalRunFailing) {
  EXPECT_EQ(U8(L"\u00e9\xD800"), "\xc3\xa9\xef\xbf\xbd") << "the log's UTF-8";
  const std::string at = "##:##:##  ";
  const std::vector<std::string> typical = Lines(ExpectedLog(kTypical));
  // What failing calls may leave: values unread or read in the other view, the path not found,
  // not removed, write failed, the cached file found below the fallback Windows folder.
  std::vector<std::string> told = Lines(ExpectedLog(
      {.name = "", .build = L"", .code = L"", .log = "UPDATED NOTOURS NOUPD NOTREMOVED FAILED"}));
  told.push_back(Lines(ExpectedLog({.name = "", .build = L"1.0", .log = "UPDATED"}))[0]);
  told.push_back(at + "----- --> Removed file : C:\\Windows\\Installer\\" + U8(kCode32) +
                 "\\VelmoranTavix.mst");
  const std::string unread =
      at + "ERROR --> This Product is not Velmoran Tavix 1.0, Product Code : ";
  const std::string written = at + "************Updated Transforms Register value Successfully.";
  const std::string notWritten = at + "************Updated Transforms Register value Failed.";
  std::vector<std::string> calls;
  {
    TAVIX_BEND(GetLocalTime, [](LPSYSTEMTIME time) WINAPI {
      TAVIX_REAL(GetLocalTime)(time);
      time->wHour = 9;
      time->wMinute = 5;
      time->wSecond = 7;
    });
    ASSERT_EQ(SweptRun(SIZE_MAX), 0u);
    calls = g_calls;
  }
  EXPECT_EQ(GetFile(kLog), ExpectedLog(kTypical, "09:05:07")) << "a run at 09:05:07";
  for (std::size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE("call " + std::to_string(i) + " failing, " + calls[i]);
    const DWORD exitCode = SweptRun(i);
    const bool logCall = !Has(kCleanUpCalls, calls[i]);
    const Value transforms = GetValue(HKEY_CLASSES_ROOT, 0, kInstaller32, L"Transforms");
    const bool cleaned = transforms == kNewValue;
    const bool removed = !GetFile(kCached).has_value();
    EXPECT_TRUE(cleaned || transforms == kOldValue) << "Transforms, old or new";
    EXPECT_FALSE(logCall && !cleaned) << "Transforms not rewritten, though only the log failed";
    EXPECT_FALSE(logCall && !removed) << "cached file not removed, though only the log failed";
    const bool folderUnknown = calls[i] == "GetTempPathW";
    const std::optional<std::string> log = GetFile(folderUnknown ? kFallbackLog : kLog);
    if (folderUnknown) {
      EXPECT_EQ(MaskTimes(log.value_or("")), ExpectedLog(kTypical)) << "the log in C:\\temp\\";
      EXPECT_EQ(GetFile(kLog), kEarlier) << "the earlier log, where the run did not look";
    }
    const bool silent = !log.has_value() || log->empty() || log == kEarlier;
    EXPECT_FALSE(silent && !logCall) << "no account of the run, though the log's calls went";
    const std::vector<std::string> lines = silent ? std::vector<std::string>() : Lines(log);
    auto next = typical.begin();  // typical lines may go missing, never change places
    for (const std::string& line : lines) {
      const auto found = std::find(next, typical.end(), line);
      const bool isTold = std::count(told.begin(), told.end(), line) > 0;
      EXPECT_TRUE(found != typical.end() || isTold) << "line: " << line;
      if (found != typical.end()) next = found + 1;
    }
    EXPECT_FALSE(Says(lines, written) && !cleaned) << "told the value was written";
    EXPECT_FALSE(Says(lines, notWritten) && cleaned) << "told the write failed";
    EXPECT_FALSE(Says(lines, at + "----- --> Removed file :") && !removed) << "told it removed";
    // -1 exactly where the product code could not be read; then nothing changes.
    const bool unknown = !lines.empty() && lines.back() == unread;
    EXPECT_EQ(exitCode, unknown ? 0xFFFFFFFFu : 0u) << "exit code";
    EXPECT_FALSE(unknown && (cleaned || removed)) << "an unknown product changed something";
  }
}

}  // namespace
}  // namespace tavix

// wine_tests.exe --exe=<exe>: refused where a product key exists (the tests write and remove them).
int wmain(int argc, wchar_t** argv) {
  using namespace tavix;
  testing::InitGoogleTest(&argc, argv);  // which leaves the one argument of its own
  if (argc == 2) g_exe = std::wstring(argv[1]).substr(std::wcslen(L"--exe="));
  g_inheritedTmp.resize(GetEnvironmentVariableW(L"TMP", nullptr, 0));
  GetEnvironmentVariableW(L"TMP", g_inheritedTmp.data(), static_cast<DWORD>(g_inheritedTmp.size()));
  if (!g_inheritedTmp.empty()) g_inheritedTmp.pop_back();  // its NUL
  g_inheritedTemp = TempPath();
  bool installed = false;
  for (const wchar_t* path : {kProductKey, kInstaller32, kInstaller64}) {
    const HKEY root = path == kProductKey ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT;
    for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      HKEY key = nullptr;
      if (RegOpenKeyExW(root, path, 0, KEY_READ | view, &key) == ERROR_SUCCESS) installed = true;
      if (key != nullptr) RegCloseKey(key);
    }
  }
  if (installed) {
    std::fprintf(stderr, "The product's keys exist here; the tests would change them.\n");
    return 2;
  }
  const bool madeFallback = fs::create_directory(kFallback);
  const int result = RUN_ALL_TESTS();
  Reset();
  if (madeFallback) fs::remove(kFallback);
  return result;
}
