#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "machine.h"

namespace tavix {
namespace {

// The system's names are spelt out here, not taken from its headers, so that
// a slip in one of its constants shows.
constexpr char16_t C32[] = u"{6D2E47B1-0000-1033-0002-5A9C20F3E184}";
constexpr char16_t C64[] = u"{6D2E47B1-0000-1033-0102-5A9C20F3E184}";
constexpr char16_t kMissingTemp[] = u"C:\\tavix\\missing\\";
constexpr char16_t kKeptFile[] = u"C:\\tavix\\kept.txt";

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
// new Transforms text. The exit code is -1 where the log says NOTOURS; the
// cached file is gone where it says REMOVED.
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

}  // namespace

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

const Case& FindCase(const std::string& name) {
  return *std::find_if(kCases.begin(), kCases.end(), [&](const Case& c) { return name == c.name; });
}

bool Seed(const Case& c) {
  const bool view64 = Has(c.setup, "view64"), both = Has(c.setup, "both");
  const bool symlink = Has(c.setup, "symlink"), split = Has(c.setup, "split");
  const std::u16string log = kTemp + std::u16string(kLogName);
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
    PutString(HkeyClassesRoot(), installerView, InstallerKey(c), u"ProductName", u"Velmoran Tavix");
    // Of another string type, to show that the rewrite stores REG_SZ.
    if (c.before) {
      PutString(HkeyClassesRoot(), installerView, InstallerKey(c), u"Transforms",
                Expand(c, c.before), kRegExpandSz);
    }
  }
  if (split) {  // on Windows, and for 32-bit programs on Wine, both views share this key
    PutString(HkeyClassesRoot(), kKeyWow64_64Key, InstallerKey(c), u"Transforms",
              Expand(c, kOther64), kRegExpandSz);
    if (ShowValue(HkeyClassesRoot(), kKeyWow64_32Key, InstallerKey(c), u"Transforms") ==
        ShowValue(HkeyClassesRoot(), kKeyWow64_64Key, InstallerKey(c), u"Transforms"))
      return false;
  }
  std::filesystem::create_directories(std::filesystem::path(kTemp));
  if (Has(c.setup, "oldlog")) PutFile(log, std::string(5000, '#'));
  if (Has(c.setup, "hardlink")) {
    PutFile(kKeptFile, "kept");
    std::filesystem::create_hard_link(std::filesystem::path(kKeptFile), std::filesystem::path(log));
  }
  if (!Has(c.setup, "nofile")) PutFile(CachedPath(c), "transform", Has(c.setup, "readonly"));
  return true;
}

Expected Expect(const Case& c, const std::u16string& removedPath) {
  Expected e{Has(c.log, "NOTOURS") ? 0xFFFFFFFFu : 0u, kTemp, std::nullopt, std::nullopt,
             !Has(c.log, "REMOVED") && !Has(c.setup, "nofile")};
  if (Has(c.setup, "hardlink") || Has(c.setup, "symlink")) {
    e.log = "kept";  // the file behind the link, as it was
  } else if (!Has(c.setup, "notemp")) {
    e.log = ExpectedLog(c, removedPath.empty() ? CachedPath(c) : removedPath);
  }
  if (Has(c.log, "REPLACED")) {
    e.transforms = RegValue{kRegSz, Utf16Bytes(Expand(c, c.newValue) + u'\0')};
  } else if (c.before && !Has(c.setup, "nokey")) {
    e.transforms = RegValue{kRegExpandSz, Utf16Bytes(Expand(c, c.before) + u'\0')};
  }
  return e;
}

void Check(const Case& c, std::uint32_t exitCode, const Expected& e) {
  EXPECT_EQ(exitCode, e.exitCode);
  std::optional<std::string> log = GetFile(e.logFolder + kLogName);
  if (log) log = MaskTimeStamps(*log);
  EXPECT_EQ(log, e.log);
  const bool split = Has(c.setup, "split");
  EXPECT_EQ(
      ShowValue(HkeyClassesRoot(), split ? kKeyWow64_32Key : 0, InstallerKey(c), u"Transforms"),
      ShowValue(e.transforms));
  if (split) {  // the copy not read keeps every byte
    EXPECT_EQ(ShowValue(HkeyClassesRoot(), kKeyWow64_64Key, InstallerKey(c), u"Transforms"),
              ShowValue(RegValue{kRegExpandSz, Utf16Bytes(Expand(c, kOther64) + u'\0')}));
  }
  EXPECT_EQ(GetFile(CachedPath(c)).has_value(), e.fileAfter);
}

namespace {

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

}  // namespace
}  // namespace tavix
