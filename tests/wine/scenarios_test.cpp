// Whole runs: the exe under test on a table of machines, and the typical run
// in this process with each of its platform calls failing in turn.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "machine.h"
#include "registry/scoped_reg_key.h"

namespace tavix {
namespace {

namespace fs = std::filesystem;

struct Case {
  const char* name;
  // Words: view64 (the product's values in the 64-bit view only), both (a
  // later build in the 64-bit view too), split (the Installer key in the
  // 32-bit view, another "Transforms" in the 64-bit view), nokey (no
  // Installer key), nofile (no cached file), readonly (the cached file),
  // notemp (no temporary folder, so no log), oldlog (an earlier run's log),
  // hardlink, symlink (the log's name is a link to a file that must keep its
  // bytes), args (a command line).
  const char* setup;
  const char16_t* build;   // "BuildVersion"; null: none
  const char16_t* code;    // "upiMasterID"; null: none
  const char16_t* before;  // "Transforms", '*' for the cached file's path; null: none
  // The log in words (kWords); a word ending in '=' shows an empty value.
  // The exit code is -1 after NOTOURS, else 0; the cached file is gone after
  // REMOVED, else still there.
  const char* log;
  // The new "Transforms" text, stored as REG_SZ where the log says REPLACED;
  // elsewhere the value stays as it was.
  const char16_t* newValue = nullptr;
};
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

struct Expected {
  std::uint32_t exitCode;
  std::u16string logFolder;
  std::optional<std::string> log;  // time stamps masked
  std::string transforms;          // as ShowValue shows it
  bool fileAfter;
};

// The system's names are spelt out here, not taken from its headers, so that
// a slip in one of its constants shows.
constexpr char16_t C32[] = u"{6D2E47B1-0000-1033-0002-5A9C20F3E184}";
constexpr char16_t C64[] = u"{6D2E47B1-0000-1033-0102-5A9C20F3E184}";
constexpr char16_t kMissingTemp[] = u"C:\\tavix\\missing\\", kKeptFile[] = u"C:\\tavix\\kept.txt";

// The messages each word stands for, split at '|'; {x} stands for a value
// of the case.
const std::map<std::string, std::string> kWords = {
    {"START", "Start --> Clean Up Velmoran Tavix transform files and register items."},
    {"UPDATED", "----- --> Velmoran Tavix has been updated. Current Build Version is : {build}"},
    {"X86", "----- --> Updating x86 version, Product Code : {code}"},
    {"X64", "----- --> Updating x64 version, Product Code : {code}"},
    {"NOTOURS", "ERROR --> This Product is not Velmoran Tavix 1.0, Product Code : {code}"},
    {"REPLACED",
     "Replaced Transforms Register value --> old value : {before}\n"
     "|--------------------------------- --> New value : {new}\n"
     "|************Updated Transforms Register value {Successfully}.************ \n"},
    {"NOUPD", "----- -->No updated on Transforms Register value --> value : \n{before}"},
    {"REMOVED", "----- --> Removed file : {path}"},
    {"NOTREMOVED", "Error --> Failed to remove file : {path}"},
    {"GATE1.0.43.27", "----- --> Starting update: TAVIX_RTM_1_0_FOR_SUITES = 1.0.43.27."},
    {"GATE1.0.43.24", "----- --> Starting update: TAVIX_RTM_1_0_FOR_KESTRAVANE  = 1.0.43.24."},
    {"GATE1.0.43.13", "----- --> Starting update: TAVIX_RTM_1_0_FOR_ZIRK = 1.0.43.13."},
};

bool Has(const char* words, const std::string& word) {  // the word, with or without '='
  return std::regex_search(words, std::regex("(^| )" + word + "=?( |$)"));
}

bool Is64(const Case& c) { return c.code && std::u16string(c.code) == C64; }

std::u16string CachedPath(const Case& c) {
  return u"C:\\windows\\Installer\\" + std::u16string(Is64(c) ? C64 : C32) + u"\\VelmoranTavix.mst";
}

std::u16string InstallerKey(const Case& c) { return Is64(c) ? kInstaller64 : kInstaller32; }

std::u16string Expand(const Case& c, const char16_t* value) {
  std::u16string text;
  for (const char16_t* p = value; p && *p; ++p)
    text += *p == u'*' ? CachedPath(c) : std::u16string(1, *p);
  return text;
}

std::string Shown(const Case& c, DWORD type, const char16_t* value) {
  return ShowValue(RegValue{type, Utf16Bytes(Expand(c, value) + u'\0')});
}

// Each message is one line: time stamp, two blanks, the message, a line
// end; every LF is stored as CR LF.
std::string ExpectedLog(const Case& c, const std::u16string& removedPath) {
  std::string log;
  std::istringstream words(c.log);
  for (std::string word; words >> word;) {
    const bool empty = word.back() == '=';
    if (empty) word.pop_back();
    std::string text = kWords.at(word == "GATE"     ? word + U8(c.build)
                                 : word == "FAILED" ? "REPLACED"
                                                    : word);
    for (const auto& [name, value] : std::map<std::string, std::string>{
             {"{build}", U8(Expand(c, c.build))},
             {"{code}", U8(Expand(c, c.code))},
             {"{before}", U8(Expand(c, c.before))},
             {"{new}", U8(Expand(c, c.newValue))},
             {"{path}", U8(removedPath)},
             {"{Successfully}", word == "FAILED" ? "Failed" : "Successfully"}}) {
      const std::size_t at = text.find(name);
      if (at != std::string::npos) text.replace(at, name.size(), empty ? "" : value);
    }
    std::istringstream messages(text);
    for (std::string message; std::getline(messages, message, '|');) {
      for (const char ch : "##:##:##  " + message + "\n")
        log += ch == '\n' ? "\r\n" : std::string(1, ch);
    }
  }
  return log;
}

constexpr char16_t B27[] = u"1.0.43.27";
constexpr char kFull[] = "START GATE X86 REPLACED REMOVED";
constexpr char kKept[] = "START GATE X86 NOUPD REMOVED";
constexpr char kGated[] = "START UPDATED";
constexpr char kRefused[] = "START GATE NOTOURS";
constexpr char16_t kOther64[] = u"*;C:\\other.mst";  // the 64-bit copy where the setup says split
constexpr char16_t kUpper[] =
    u"C:\\WINDOWS\\INSTALLER\\{6D2E47B1-0000-1033-0002-5A9C20F3E184}\\VELMORANTAVIX.MST;";

// name, setup, BuildVersion, upiMasterID, Transforms before, log in words,
// new Transforms text.
const std::vector<Case> kCases = {
    {"TypicalRun", "", B27, C32, u"*;", kFull, u""},
    {"EarlierLogEmptied", "oldlog", B27, C32, u"*;", kFull, u""},
    {"Product64", "", B27, C64, u"A;*;B", "START GATE X64 REPLACED REMOVED", u"A;B"},
    {"Build24", "", u"1.0.43.24", C32, u"*;", kFull, u""},
    {"Build13", "", u"1.0.43.13", C32, u"*;", kFull, u""},
    {"LaterBuild", "", u"1.0.43.28", C32, u"*;", kGated},
    {"NearMissBuild", "", u"1.0.43.270", C32, u"*;", kGated},
    {"ShortBuild", "", u"1.0.43.2", C32, u"*;", kGated},
    {"BuildWithBlank", "", u"1.0.43.27 ", C32, u"*;", kGated},
    {"NonAsciiBuild", "", u"1.0.43.27\u00e9\u20ac\U0001F600", C32, u"*;", kGated},
    {"MissingBuild", "", nullptr, C32, u"*;", kGated},
    {"LowerCaseCode", "", B27, u"{6d2e47b1-0000-1033-0002-5a9c20f3e184}", u"*;", kRefused},
    {"BlankPaddedCode", "", B27, u" {6D2E47B1-0000-1033-0002-5A9C20F3E184}", u"*;", kRefused},
    {"MissingCode", "", B27, nullptr, u"*;", kRefused},
    {"ValueAPB", "", B27, C32, u"A;*;B", kFull, u"A;B"},
    {"ValueAP", "", B27, C32, u"A;*", kFull, u"A;"},
    {"ValuePAP", "", B27, C32, u"*;A;*", kFull, u"A;"},
    {"ValuePP", "", B27, C32, u"*;*;", kFull, u""},
    {"ValueP", "", B27, C32, u"*", kFull, u""},
    {"ValueLongerEntry", "", B27, C32, u"*.bak;B", kFull, u".bak;B"},
    {"ValueAB", "", B27, C32, u"A;B", kKept},
    {"ValueOtherCase", "", B27, C32, kUpper, kKept},
    {"ValueMissing", "", B27, C32, nullptr, kKept},
    {"InstallerKeyMissing", "nokey", B27, C32, nullptr, kKept},
    {"CachedFileMissing", "nofile", B27, C32, u"*;", "START GATE X86 REPLACED NOTREMOVED", u""},
    {"CachedFileReadOnly", "readonly", B27, C32, u"*;", "START GATE X86 REPLACED NOTREMOVED", u""},
    {"ProductKeyOnlyIn64BitView", "view64", B27, C32, u"*;", kFull, u""},
    {"ProductKeyInBothViews", "both", B27, C32, u"*;", kFull, u""},
    {"InstallerKeyInBothViews", "split", B27, C32, u"C:\\only32.mst;*", kFull, u"C:\\only32.mst;"},
    {"LogIsAHardLink", "hardlink", B27, C32, u"*;", kFull, u""},
    {"LogIsASymbolicLink", "symlink", B27, C32, u"*;", kFull, u""},
    {"TempFolderMissing", "notemp", B27, C32, u"*;", kFull, u""},
    {"ArgumentsIgnored", "args", B27, C32, u"*;", kFull, u""},
};

// False when this machine cannot hold the case.
bool Seed(const Case& c) {
  const bool view64 = Has(c.setup, "view64"), both = Has(c.setup, "both");
  const bool symlink = Has(c.setup, "symlink"), split = Has(c.setup, "split");
  const std::u16string log = kTemp + std::u16string(kLogName), key = InstallerKey(c);
  if (!TwoViews() && (view64 || both || split)) return false;
  // Wine makes no symbolic links: tests/wine/planted_links.sh plants one
  // from Linux and runs this case alone, on the files as it left them.
  if (symlink && !g_plantedLink) return false;
  Reset(!symlink);
  const REGSAM view = view64 ? kKeyWow64_64Key : kKeyWow64_32Key;
  if (c.build) PutString(HkeyLocalMachine(), view, kProductKey, u"BuildVersion", c.build);
  if (c.code) PutString(HkeyLocalMachine(), view, kProductKey, u"upiMasterID", c.code);
  if (both) PutString(HkeyLocalMachine(), kKeyWow64_64Key, kProductKey, u"BuildVersion", u"1.0.0");
  if (!Has(c.setup, "nokey")) {
    const REGSAM installerView = split ? kKeyWow64_32Key : 0;
    PutString(HkeyClassesRoot(), installerView, key, u"ProductName", u"Velmoran Tavix");
    // Of another string type, to show that the rewrite stores REG_SZ.
    if (c.before)
      PutString(HkeyClassesRoot(), installerView, key, u"Transforms", Expand(c, c.before),
                kRegExpandSz);
  }
  if (split) {  // on Windows, and for 32-bit programs on Wine, both views share this key
    PutString(HkeyClassesRoot(), kKeyWow64_64Key, key, u"Transforms", Expand(c, kOther64),
              kRegExpandSz);
    if (ShowValue(HkeyClassesRoot(), kKeyWow64_32Key, key, u"Transforms") ==
        ShowValue(HkeyClassesRoot(), kKeyWow64_64Key, key, u"Transforms"))
      return false;
  }
  fs::create_directories(fs::path(kTemp));
  if (Has(c.setup, "oldlog")) PutFile(log, std::string(5000, '#'));
  if (Has(c.setup, "hardlink")) {
    PutFile(kKeptFile, "kept");
    fs::create_hard_link(fs::path(kKeptFile), fs::path(log));
  }
  if (!Has(c.setup, "nofile")) PutFile(CachedPath(c), "transform", Has(c.setup, "readonly"));
  return true;
}

// What the case must leave; REMOVED and NOTREMOVED name `removedPath` if given.
Expected Expect(const Case& c, const std::u16string& removedPath = {}) {
  Expected e{Has(c.log, "NOTOURS") ? 0xFFFFFFFFu : 0u, kTemp, std::nullopt, "(none)",
             !Has(c.log, "REMOVED") && !Has(c.setup, "nofile")};
  if (Has(c.setup, "hardlink") || Has(c.setup, "symlink")) {
    e.log = "kept";  // the file behind the link, as it was
  } else if (!Has(c.setup, "notemp")) {
    e.log = ExpectedLog(c, removedPath.empty() ? CachedPath(c) : removedPath);
  }
  if (Has(c.log, "REPLACED")) {
    e.transforms = Shown(c, kRegSz, c.newValue);
  } else if (c.before && !Has(c.setup, "nokey")) {
    e.transforms = Shown(c, kRegExpandSz, c.before);
  }
  return e;
}

void Check(const Case& c, std::uint32_t exitCode, const Expected& e) {
  EXPECT_EQ(exitCode, e.exitCode);
  std::optional<std::string> log = GetFile(e.logFolder + kLogName);
  if (log) log = MaskTimeStamps(*log);
  EXPECT_EQ(log, e.log);
  const bool split = Has(c.setup, "split");
  const REGSAM view = split ? kKeyWow64_32Key : 0;
  EXPECT_EQ(ShowValue(HkeyClassesRoot(), view, InstallerKey(c), u"Transforms"), e.transforms);
  if (split) {  // the copy not read keeps every byte
    EXPECT_EQ(ShowValue(HkeyClassesRoot(), kKeyWow64_64Key, InstallerKey(c), u"Transforms"),
              Shown(c, kRegExpandSz, kOther64));
  }
  EXPECT_EQ(GetFile(CachedPath(c)).has_value(), e.fileAfter);
}

class ScenarioTest : public ::testing::TestWithParam<Case> {};

// Tests one whole run: exit code, log bytes, "Transforms" value, cached file.
TEST_P(ScenarioTest, Run) {
  const Case& c = GetParam();
  if (!Seed(c)) GTEST_SKIP() << "needs two registry views, or a link planted from Linux";
  Check(c,
        RunOnce(Has(c.setup, "notemp") ? kMissingTemp : kTemp,
                Has(c.setup, "args") ? u"/quiet --help \"C:\\some path\\x.mst\" -1" : u""),
        Expect(c));
}

INSTANTIATE_TEST_SUITE_P(Table, ScenarioTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });

// What failing call `i` of the typical run must change: a failed registry
// open or query fails its read (a view probe only when no later view holds
// the key), a failed write is logged as such, a failed folder query takes
// the fallback. Before the first line the log file is made (and dropped again
// when a check of it fails), then opened again, checked and emptied: a failure
// leaves no file, or an empty one; closing a handle, or reading the token
// (unread, the run counts as elevated) changes nothing. A failed write to it
// loses that line and all after it.
Expected Effect(const std::vector<TestPlatform::Call>& calls, std::size_t i) {
  Case c = kCases[0];
  const std::string& f = calls[i].function;
  auto registry = [&](std::size_t j) { return calls[j].function.rfind("Reg", 0) == 0; };
  std::size_t block = 0, lines = 0;  // runs of registry calls and log lines up to call i
  for (std::size_t j = 0; j <= i; ++j) {
    block += registry(j) && (j == 0 || !registry(j - 1));
    lines += calls[j].function == "GetLocalTime";
  }
  if (f == "GetSystemWindowsDirectoryW") {
    c.log = "START GATE X86 NOUPD REMOVED";  // the fallback path differs in letter case
    return Expect(c, u"C:\\Windows\\Installer\\" + std::u16string(c.code) + u"\\VelmoranTavix.mst");
  }
  if (f == "_waccess" || f == "_wremove") c.log = "START GATE X86 REPLACED NOTREMOVED";
  bool later = false;  // a later view holds what this view probe looked for
  for (const REGSAM view : {kKeyWow64_64Key, REGSAM{0}}) {
    ScopedRegKey key;
    later |=
        f == "RegOpenKeyExW" && calls[i].text.find(u'\\') != std::u16string::npos &&
        (calls[i].sam & 0x300) > view &&
        CurrentPlatform().RegOpenKeyExW(reinterpret_cast<HKEY>(calls[i].key), calls[i].text.c_str(),
                                        0, kKeyRead | view, key.Receive()) == kErrorSuccess;
  }
  if (registry(i) && f != "RegCloseKey" && !later) {
    const char* logs[] = {"",
                          "START UPDATED=", "START GATE NOTOURS=", "START GATE X86 NOUPD= REMOVED",
                          "START GATE X86 FAILED REMOVED"};
    c.log = logs[block];
  }
  Expected e = Expect(c);
  if (f == "GetTempPathW") e.logFolder = u"C:\\temp\\";
  std::size_t reopen = 0;  // the log's last open before its first line
  for (std::size_t j = 0; calls[j].function != "GetLocalTime"; ++j)
    reopen = calls[j].function == "CreateFileW" ? j : reopen;
  if (lines == 0 &&
      !std::regex_search(f, std::regex("GetTempPath|GetLocalTime|Close|Process|Token")))
    e.log = i >= reopen ? std::optional("") : std::nullopt;
  if (f == "WriteFile") {
    std::size_t at = std::string::npos;
    for (std::size_t n = 0; n < lines; ++n) at = e.log->find("##:##:##", at + 1);
    e.log->erase(at);
  }
  return e;
}

// Tests every call of the typical run failing in turn, in this process.
TEST(FaultSweepTest, EveryCallOfTheTypicalRun) {
  const fs::path fallback(u"C:\\temp\\");
  const bool madeFallback = fs::create_directory(fallback);
  std::vector<TestPlatform::Call> calls;
  {
    ASSERT_TRUE(Seed(kCases[0]));
    TestPlatform platform;
    RunOnce(kTemp, u"", true);
    calls = platform.calls;
  }
  // An elevated run follows no link on the way to its log but at the drive.
  for (const auto& call : calls) {
    if (call.function == "CreateFileW" && call.text.size() > 3) {
      EXPECT_NE(call.sam & kFileFlagOpenReparsePoint, 0u) << U8(call.text);
    }
  }
  for (std::size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE("call " + std::to_string(i) + ": " + calls[i].function);
    Seed(kCases[0]);
    fs::remove(fallback / kLogName);
    Expected e;
    {
      TestPlatform lookup;  // the registry as the run will find it
      e = Effect(calls, i);
    }
    TestPlatform platform;
    platform.fails = [i](std::size_t index) { return index == i; };
    Check(kCases[0], RunOnce(kTemp, u"", true), e);
    EXPECT_EQ(platform.openKeys, 0) << "key handles left open";
    EXPECT_FALSE(platform.closedARoot);
  }
  fs::remove(fallback / kLogName);
  if (madeFallback) fs::remove(fallback);
}

}  // namespace
}  // namespace tavix
