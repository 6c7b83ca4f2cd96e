// Whole runs of the exe over a table of machines; the typical run in this process, as a standard
// user's registry answers it and with each of its calls to Windows failing in turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <vector>

#include "machine.h"

namespace tavix {
namespace {

// What a machine holds besides the product's values, and the run's TMP.
enum Setup {
  kPlain,
  kOnlyIn64BitView,  // the product's values in the 64-bit view only
  kReadOnly,         // the cached file read-only
  kNoCachedFile,     // no cached file
  kHardLink,         // the log's name a second name of another file, which holds kKeptBytes
  kOddLength,        // "Transforms" stored with one byte more than its text, and no NUL
  kTempOfSystem,     // TMP SYSTEM's temporary folder, below the system folder
  kTempTooLong,      // TMP of 260 characters, too long with its NUL: the log goes to kFallback
  kTempShortName,    // TMP the 8.3 short name of a folder with a long name
  kTempExtended,     // TMP kTemp behind "\\?\"
  kTempAsInherited,  // TMP as this program inherited it
};
constexpr char kKeptBytes[] = "kept";

struct Machine {
  const wchar_t* build = L"1.0.43.27";
  const wchar_t* code = kCode32;
  const wchar_t* transforms = L"*;";  // REG_EXPAND_SZ, '*' standing for the cached file's path
  Setup setup = kPlain;
};

enum FileAfter { kGone, kThere };
constexpr const wchar_t* kAsSeeded = nullptr;  // "Transforms" unchanged
constexpr const char* kNoLog = nullptr;        // none written: kKeptBytes stay at its name
constexpr DWORD kUnknownProduct = 0xFFFFFFFF;

struct Case {
  const char* name;
  Machine machine;
  const char* log;            // its messages, a word of kMessages each
  const wchar_t* transforms;  // "Transforms" after the run, REG_SZ as Machine spells it
  FileAfter cached;           // the cached file after the run
  DWORD exitCode;
  const char* reason;  // the fault the row is there to catch
};
void PrintTo(const Case& c, std::ostream* out) { *out << "the fault: " << c.reason; }

// One message each, with a value of the row where it has one: {b}uild, {c}ode, {o}ld and {n}ew
// "Transforms", {p}ath of the cached file.
const std::map<std::string, std::string> kMessages = {
    {"START", "Start --> Clean Up Velmoran Tavix transform files and register items."},
    {"GATE27", "----- --> Starting update: TAVIX_RTM_1_0_FOR_SUITES = 1.0.43.27."},
    {"GATE24", "----- --> Starting update: TAVIX_RTM_1_0_FOR_KESTRAVANE  = 1.0.43.24."},
    {"GATE13", "----- --> Starting update: TAVIX_RTM_1_0_FOR_ZIRK = 1.0.43.13."},
    {"UPDATED", "----- --> Velmoran Tavix has been updated. Current Build Version is : {b}"},
    {"X86", "----- --> Updating x86 version, Product Code : {c}"},
    {"X64", "----- --> Updating x64 version, Product Code : {c}"},
    {"UNKNOWN", "ERROR --> This Product is not Velmoran Tavix 1.0, Product Code : {c}"},
    {"OLD", "Replaced Transforms Register value --> old value : {o}\n"},
    {"NEW", "--------------------------------- --> New value : {n}\n"},
    {"WRITTEN", "************Updated Transforms Register value Successfully.************ \n"},
    {"FAILED", "************Updated Transforms Register value Failed.************ \n"},
    {"UNCHANGED", "----- -->No updated on Transforms Register value --> value : \n{o}"},
    {"REMOVED", "----- --> Removed file : {p}"},
    {"NOTREMOVED", "Error --> Failed to remove file : {p}"},
};

constexpr char kTypicalLog[] = "START GATE27 X86 OLD NEW WRITTEN REMOVED";
constexpr char kNotRemovedLog[] = "START GATE27 X86 OLD NEW WRITTEN NOTREMOVED";

// clang-format off
const Case kCases[] = {
    {"TypicalMachine", {}, kTypicalLog, L"", kGone, 0, "the typical run's lines, value or file"},
    {"Product64PathBetweenOthers", {.code = kCode64, .transforms = L"A;*;B"}, "START GATE27 X64 OLD NEW WRITTEN REMOVED", L"A;B", kGone, 0, "the 64-bit product's key or line, or the entries around the path"},
    {"Build1_0_43_24", {.build = L"1.0.43.24"}, "START GATE24 X86 OLD NEW WRITTEN REMOVED", L"", kGone, 0, "the second known build not known, or its line"},
    {"Build1_0_43_13", {.build = L"1.0.43.13"}, "START GATE13 X86 OLD NEW WRITTEN REMOVED", L"", kGone, 0, "the third known build not known, or its line"},
    {"BuildWithADigitMore", {.build = L"1.0.43.270"}, "START UPDATED", kAsSeeded, kThere, 0, "a build known by its first characters"},
    {"ProductCodeInLowerCase", {.code = L"{6d2e47b1-0000-1033-0002-5a9c20f3e184}"}, "START GATE27 UNKNOWN", kAsSeeded, kThere, kUnknownProduct, "a code known whatever its letter case; -1 not in all 32 bits"},
    {"PathLastWithoutSeparator", {.transforms = L"A;*"}, kTypicalLog, L"A;", kGone, 0, "the path without a ';' behind it left in"},
    {"PathFirstAndLast", {.transforms = L"*;A;*"}, kTypicalLog, L"A;", kGone, 0, "one of two occurrences left in"},
    {"PathAbsent", {.transforms = L"A;B"}, "START GATE27 X86 UNCHANGED REMOVED", kAsSeeded, kGone, 0, "a value without the path written, or the file kept for it"},
    {"ValueOfOddByteCount", {.transforms = L"*;A", .setup = kOddLength}, kTypicalLog, L"A", kGone, 0, "the odd byte, or a NUL beyond the data, read as text"},
    {"CachedFileReadOnly", {.setup = kReadOnly}, kNotRemovedLog, L"", kThere, 0, "a failed deletion told as done"},
    {"CachedFileMissing", {.setup = kNoCachedFile}, kNotRemovedLog, L"", kGone, 0, "a missing file told as removed"},
    {"ProductKeyOnlyIn64BitView", {.setup = kOnlyIn64BitView}, kTypicalLog, L"", kGone, 0, "the 64-bit view not tried after the 32-bit one"},
    {"LogNameAHardLink", {.setup = kHardLink}, kNoLog, L"", kGone, 0, "another file emptied and written through its second name"},
    {"TempOfSystem", {.setup = kTempOfSystem}, kTypicalLog, L"", kGone, 0, "WoW64's system folder taken for a link: no log as SYSTEM"},
    {"TempTooLong", {.setup = kTempTooLong}, kTypicalLog, L"", kGone, 0, "C:\\temp\\ not taken, or the folder read beyond the buffer"},
    {"TempShortName", {.setup = kTempShortName}, kTypicalLog, L"", kGone, 0, "a folder given by its 8.3 short name taken for a link"},
    {"TempExtendedLength", {.setup = kTempExtended}, kTypicalLog, L"", kGone, 0, "a folder given behind \\\\?\\ refused"},
    {"TempAsInherited", {.setup = kTempAsInherited}, kTypicalLog, L"", kGone, 0, "this machine's own temporary folder refused"},
};
// clang-format on

std::wstring Code(const Machine& m) { return std::wstring(m.code) == kCode64 ? kCode64 : kCode32; }
std::wstring Key(const Machine& m) { return Code(m) == kCode64 ? kInstaller64 : kInstaller32; }
std::wstring Cached(const Machine& m) { return CachedFile(Code(m)); }
std::wstring Expand(const Machine& m, const wchar_t* value) {  // each '*' the cached file's path
  if (value == nullptr) return std::wstring();
  return std::regex_replace(value, std::wregex(L"\\*"), Cached(m));
}
// The run's TMP, and the folder where its log goes.
std::pair<std::wstring, std::wstring> TempOf(const Machine& m) {
  const std::wstring longNamed = L"C:\\tavix\\A long temporary folder\\";
  if (m.setup == kTempShortName) {
    wchar_t shortNamed[MAX_PATH] = {};
    GetShortPathNameW(longNamed.c_str(), shortNamed, MAX_PATH);
    return {shortNamed, longNamed};
  }
  if (m.setup == kTempOfSystem) return {SystemTemp(), SystemTemp()};
  if (m.setup == kTempTooLong) return {kTemp + std::wstring(245, L'x') + L'\\', kFallback};
  if (m.setup == kTempExtended) return {L"\\\\?\\" + kTemp, kTemp};
  if (m.setup == kTempAsInherited) return {g_inheritedTmp, g_inheritedTemp};
  return {kTemp, kTemp};
}
Value Seeded(const Machine& m) { return Value({REG_EXPAND_SZ, Expand(m, m.transforms) + L'\0'}); }

// The log of a case's run: each line `time`, two blanks, the message and a LF stored as CR LF.
std::string ExpectedLog(const Case& c, const std::string& time = "##:##:##") {
  const Machine& m = c.machine;
  const std::map<char, std::wstring> values = {{'b', m.build},
                                               {'c', m.code},
                                               {'o', Expand(m, m.transforms)},
                                               {'n', Expand(m, c.transforms)},
                                               {'p', Cached(m)}};
  std::string log;
  std::istringstream words(c.log);
  std::string word;
  while (words >> word) {
    std::string message = kMessages.at(word);
    const std::size_t at = message.find('{');
    if (at != std::string::npos) message.replace(at, 3, U8(values.at(message[at + 1])));
    log += time + "  " + message + "\n";
  }
  return std::regex_replace(log, std::regex("\n"), "\r\n");
}

// Seeds the machine; the reason when this machine cannot hold it.
std::string Seed(const Machine& m) {
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  const bool oneView = sizeof(void*) == 4 && !wow64;
  if (m.setup == kOnlyIn64BitView && oneView) return "needs two views; a 32-bit Windows has one";
  Reset();
  const REGSAM view = m.setup == kOnlyIn64BitView ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
  // The build with a NUL and more behind it: the text read ends at the first NUL.
  PutValue(HKEY_LOCAL_MACHINE, view, kProductKey, L"BuildVersion",
           m.build + std::wstring({L'\0', L'9'}));
  PutValue(HKEY_LOCAL_MACHINE, view, kProductKey, L"upiMasterID", m.code);
  // Where there are two views, the 32-bit one is read first: the other holds another build.
  if (!oneView && view == KEY_WOW64_32KEY) {
    PutValue(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, kProductKey, L"BuildVersion", L"1.0");
  }
  // Of another type than the REG_SZ the rewrite stores; of odd length with half an 'x' behind.
  const bool odd = m.setup == kOddLength;
  const std::wstring transforms = Expand(m, m.transforms) + (odd ? L"x" : L"");
  const DWORD bytes = static_cast<DWORD>(transforms.size() + 1) * 2 - (odd ? 3 : 0);
  PutValue(HKEY_CLASSES_ROOT, 0, Key(m), L"Transforms", transforms, REG_EXPAND_SZ, bytes);
  // The folder first: only a folder that exists has a short name.
  fs::create_directories(TempOf(m).second);
  const auto [tmp, folder] = TempOf(m);
  const bool noShortName = m.setup == kTempShortName && (tmp.empty() || tmp == folder);
  if (noShortName) return "the volume makes no short names";
  SetEnvironmentVariableW(L"TMP", tmp.empty() ? nullptr : tmp.c_str());
  PutFile(L"C:\\tavix\\kept.txt", kKeptBytes);
  if (m.setup == kHardLink) fs::create_hard_link(L"C:\\tavix\\kept.txt", kLog);
  if (m.setup != kNoCachedFile) PutFile(Cached(m), "transform");
  if (m.setup == kReadOnly) SetFileAttributesW(Cached(m).c_str(), FILE_ATTRIBUTE_READONLY);
  return std::string();
}

class RunTest : public testing::TestWithParam<Case> {};

// Tests one whole run: the exit code, the log's bytes, "Transforms", the cached file.
TEST_P(RunTest, Run) {
  const Case& c = GetParam();
  const Machine& m = c.machine;
  const std::string cannot = Seed(m);
  if (!cannot.empty()) GTEST_SKIP() << cannot;
  EXPECT_EQ(RunExe(), c.exitCode) << "exit code";
  const std::wstring folder = TempOf(m).second;
  const std::optional<std::string> log = GetFile(folder + kLogName);
  ASSERT_TRUE(log.has_value()) << "no log in " << U8(folder);
  EXPECT_EQ(MaskTimes(*log), c.log == kNoLog ? kKeptBytes : ExpectedLog(c)) << "the log";
  const Value written = Value({REG_SZ, Expand(m, c.transforms) + L'\0'});
  const Value after = c.transforms == kAsSeeded ? Seeded(m) : written;
  EXPECT_EQ(GetValue(Key(m), L"Transforms"), after) << "Transforms";
  EXPECT_EQ(GetFile(Cached(m)).has_value(), c.cached == kThere) << "the cached file is there";
}

INSTANTIATE_TEST_SUITE_P(Machines, RunTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// As for a standard user, any open below the run's roots that asks a right to write is refused.
constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE |
                                WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
LONG WINAPI OpenAsUser(HKEY key, LPCWSTR path, DWORD options, REGSAM access, PHKEY opened) {
  if ((access & kWriteRights) != 0) return ERROR_ACCESS_DENIED;
  return TAVIX_REAL(RegOpenKeyExW)(key, path, options, access, opened);
}
LONG WINAPI CreateAsUser(HKEY key, LPCWSTR path, DWORD reserved, LPWSTR kind, DWORD options,
                         REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY created,
                         LPDWORD disposition) {
  if ((access & kWriteRights) != 0) return ERROR_ACCESS_DENIED;
  return TAVIX_REAL(RegCreateKeyExW)(key, path, reserved, kind, options, access, security, created,
                                     disposition);
}

// Tests the typical run at 09:05:07 where the registry answers as for a standard user: the build
// and the product code are read (no read asks a right to write), the write fails and says so.
TEST(StandardUserTest, TypicalMachine) {
  const Case c = {"", {}, "START GATE27 X86 OLD NEW FAILED REMOVED", L"", kGone, 0, ""};
  Seed(c.machine);
  TAVIX_BEND(RegOpenKeyExW, OpenAsUser);
  TAVIX_BEND(RegCreateKeyExW, CreateAsUser);
  TAVIX_BEND(GetLocalTime, [](LPSYSTEMTIME time) WINAPI {
    TAVIX_REAL(GetLocalTime)(time);
    time->wHour = 9;
    time->wMinute = 5;
    time->wSecond = 7;
  });
  EXPECT_EQ(RunCleanUp(), 0) << "exit code";
  ResetRunLogForTesting();  // closes the log, as the end of the process does
  EXPECT_EQ(GetFile(kLog), ExpectedLog(c, "09:05:07")) << "the log";
  EXPECT_EQ(GetValue(kInstaller32, L"Transforms"), Seeded(c.machine)) << "Transforms";
}

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
  static std::shared_ptr<void> Bent(const char* bentName, R bentFailure) {
    name = bentName;
    failure = bentFailure;
    return std::make_shared<Bend<decltype(&Call)>>(name, &Call);
  }
};
#define TAVIX_SWEPT(name, failure) Swept<__COUNTER__, decltype(&::name)>::Bent(#name, failure)

// The calls of the clean-up itself; all others are the log's.
const std::string kCleanUpCalls[] = {"RegOpenKeyExW", "RegQueryValueExW", "RegCreateKeyExW",
                                     "RegSetValueExW", "GetSystemWindowsDirectoryW"};
const Case kTypical = kCases[0];
const std::wstring kCached = Cached(kTypical.machine);

const std::optional<std::string> kEarlier = "earlier\r\n";

// The exit code of the typical run over an earlier log, with call `failAt` failing.
DWORD SweptRun(std::size_t failAt) {
  Seed(kTypical.machine);
  PutFile(kLog, *kEarlier);
  constexpr LONG denied = ERROR_ACCESS_DENIED;
  // clang-format off
  const std::shared_ptr<void> swept[] = {
      TAVIX_SWEPT(RegOpenKeyExW, denied), TAVIX_SWEPT(RegQueryValueExW, denied),
      TAVIX_SWEPT(RegCreateKeyExW, denied), TAVIX_SWEPT(RegSetValueExW, denied),
      TAVIX_SWEPT(GetTempPathW, DWORD{MAX_PATH + 1}), TAVIX_SWEPT(GetLongPathNameW, DWORD{0}),
      TAVIX_SWEPT(GetSystemWindowsDirectoryW, UINT{0}), TAVIX_SWEPT(GetFullPathNameW, DWORD{0}),
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
// code, keeps what is not its own, cleans up where only the log failed, and its log holds typical
// lines in order or lines that tell what failed, and never tells of what did not happen.
TEST(FaultSweepTest, EveryCallOfTheTypicalRunFailing) {
  EXPECT_EQ(U8(L"\u00e9\xD800"), "\xc3\xa9\xef\xbf\xbd") << "the log's UTF-8";
  const std::string at = "##:##:##  ";
  const std::string unread =
      at + "ERROR --> This Product is not Velmoran Tavix 1.0, Product Code : ";
  const std::vector<std::string> typical = Lines(ExpectedLog(kTypical));
  // Besides typical lines: values unread or read in the other view, the path not found, the file
  // not removed, the write failed, the cached file found below the fallback Windows folder.
  const std::vector<std::string> told = {
      at + "----- --> Velmoran Tavix has been updated. Current Build Version is : ",
      at + "----- --> Velmoran Tavix has been updated. Current Build Version is : 1.0",
      unread,
      at + "----- -->No updated on Transforms Register value --> value : ",
      U8(kCached) + ";",
      "",
      at + "Error --> Failed to remove file : " + U8(kCached),
      at + "************Updated Transforms Register value Failed.************ ",
      at + "----- --> Removed file : C:\\Windows\\Installer\\" + U8(kCode32) +
          "\\VelmoranTavix.mst",
  };
  const std::string written = at + "************Updated Transforms Register value Successfully.";
  const std::string notWritten = at + "************Updated Transforms Register value Failed.";
  ASSERT_EQ(SweptRun(SIZE_MAX), 0u) << "the typical run";
  const std::vector<std::string> calls = g_calls;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE("call " + std::to_string(i) + " failing, " + calls[i]);
    const DWORD exitCode = SweptRun(i);
    const bool logCall = std::ranges::count(kCleanUpCalls, calls[i]) == 0;
    const Value transforms = GetValue(kInstaller32, L"Transforms");
    const bool cleaned = transforms == Value({REG_SZ, {L'\0'}});
    const bool removed = !GetFile(kCached).has_value();
    EXPECT_TRUE(cleaned || transforms == Seeded(kTypical.machine)) << "Transforms, old or new";
    EXPECT_FALSE(logCall && !cleaned) << "Transforms not rewritten, though only the log failed";
    EXPECT_FALSE(logCall && !removed) << "cached file not removed, though only the log failed";
    const std::optional<std::string> log = GetFile(kLog);
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
    // -1 exactly where the product code could not be read.
    const bool unknown = !lines.empty() && lines.back() == unread;
    EXPECT_EQ(exitCode, unknown ? kUnknownProduct : 0u) << "exit code";
  }
}

}  // namespace
}  // namespace tavix

// wine_tests.exe --exe=<exe>: refused where the product is installed, whose keys the tests write.
int wmain(int argc, wchar_t** argv) {
  using namespace tavix;
  testing::InitGoogleTest(&argc, argv);  // which leaves the one argument of its own
  if (argc == 2) g_exe = std::wstring(argv[1]).substr(std::wcslen(L"--exe="));
  const wchar_t* tmp = _wgetenv(L"TMP");
  g_inheritedTmp = tmp != nullptr ? tmp : L"";
  g_inheritedTemp = (fs::temp_directory_path() / L"").wstring();  // GetTempPathW's answer
  for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_READ | view, &key) == ERROR_SUCCESS) {
      RegCloseKey(key);
      std::fprintf(stderr, "The product is installed here; the tests would change its keys.\n");
      return 2;
    }
  }
  const bool madeFallback = fs::create_directory(kFallback);
  const int result = RUN_ALL_TESTS();
  Reset();
  if (madeFallback) fs::remove(kFallback);
  return result;
}
