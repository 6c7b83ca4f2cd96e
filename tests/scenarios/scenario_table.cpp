#include <gtest/gtest.h>

#include "app/product.h"
#include "log/text.h"
#include "log_mask.h"
#include "scenario.h"

namespace tavix {

const char16_t kScenarioTempFolder[] = u"C:\\tavix-scenarios\\temp\\";
const char16_t kScenarioMissingFolder[] = u"C:\\tavix-scenarios\\missing\\";
const char16_t kScenarioWindowsFolder[] = u"C:\\windows";

std::u16string CachedFilePath(const std::u16string& productCode) {
  return std::u16string(kScenarioWindowsFolder) + u"\\Installer\\" + productCode +
         u"\\VelmoranTavix.mst";
}

namespace {

const std::string kStart =
    LogLine("Start --> Clean Up Velmoran Tavix transform files and register items.");
const std::string kSuites =
    LogLine("----- --> Starting update: TAVIX_RTM_1_0_FOR_SUITES = 1.0.43.27.");
const std::string kUpdated =
    "----- --> Velmoran Tavix has been updated. Current Build Version is : ";
const std::string kNotOurs = "ERROR --> This Product is not Velmoran Tavix 1.0, Product Code : ";
const std::string kSuccess =
    LogLine("************Updated Transforms Register value Successfully.************ ") + "\r\n";

std::string Edition(const std::u16string& code) {
  return LogLine((code == kProductCode32 ? "----- --> Updating x86 version, Product Code : "
                                         : "----- --> Updating x64 version, Product Code : ") +
                 WideToUtf8(code));
}
std::string Replaced(const std::u16string& before, const std::u16string& after) {
  return LogLine("Replaced Transforms Register value --> old value : " + WideToUtf8(before)) +
         "\r\n" +
         LogLine("--------------------------------- --> New value : " + WideToUtf8(after)) +
         "\r\n" + kSuccess;
}
std::string Unchanged(const std::u16string& value) {
  return LogLine("----- -->No updated on Transforms Register value --> value : ") +
         WideToUtf8(value) + "\r\n";
}
std::string Removed(const std::u16string& code) {
  return LogLine("----- --> Removed file : " + WideToUtf8(CachedFilePath(code)));
}
std::string NotRemoved(const std::u16string& code) {
  return LogLine("Error --> Failed to remove file : " + WideToUtf8(CachedFilePath(code)));
}

// A machine that needs the clean-up: the 32-bit product at the first build,
// its key in the 32-bit view, the value holding the path and a separator.
Scenario Typical(const std::string& name) {
  const std::u16string p = CachedFilePath(kProductCode32);
  Scenario s;
  s.name = name;
  s.productValues = {{kKeyWow64_32Key, u"BuildVersion", u"1.0.43.27"},
                     {kKeyWow64_32Key, u"upiMasterID", kProductCode32}};
  s.packedCode = kPackedCode32;
  s.transforms = p + u";";
  s.cachedFileCode = kProductCode32;
  s.exitCode = 0;
  s.log = kStart + kSuites + Edition(kProductCode32) + Replaced(p + u";", u"") +
          Removed(kProductCode32);
  s.transformsAfter = u"";
  s.cachedFileAfter = false;
  return s;
}

// The typical machine stopped at the gate, or refused for its product code:
// nothing is touched.
Scenario Untouched(const std::string& name, const std::string& log, std::int32_t exitCode) {
  Scenario s = Typical(name);
  s.log = log;
  s.exitCode = exitCode;
  s.transformsAfter = s.transforms;
  s.cachedFileAfter = true;
  return s;
}

}  // namespace

std::vector<Scenario> AllScenarios() {
  const std::u16string p = CachedFilePath(kProductCode32);
  const std::u16string p64 = CachedFilePath(kProductCode64);
  std::vector<Scenario> all;

  all.push_back(Typical("TypicalRun"));
  {
    Scenario s = Typical("EarlierLogEmptied");
    s.earlierLog = "12:00:00  a line of an earlier run\r\n\r\n";
    all.push_back(s);
  }
  {
    Scenario s = Typical("Product64");
    s.productValues = {{kKeyWow64_64Key, u"BuildVersion", u"1.0.43.27"},
                       {kKeyWow64_64Key, u"upiMasterID", kProductCode64}};
    s.packedCode = kPackedCode64;
    s.transforms = u"A;" + p64 + u";B";
    s.cachedFileCode = kProductCode64;
    s.log = kStart + kSuites + Edition(kProductCode64) + Replaced(*s.transforms, u"A;B") +
            Removed(kProductCode64);
    s.transformsAfter = u"A;B";
    all.push_back(s);
  }
  for (const auto& [version, line] :
       {std::pair{u"1.0.43.24",
                  "----- --> Starting update: TAVIX_RTM_1_0_FOR_KESTRAVANE  = 1.0.43.24."},
        {u"1.0.43.13", "----- --> Starting update: TAVIX_RTM_1_0_FOR_ZIRK = 1.0.43.13."}}) {
    Scenario s = Typical("Build" + WideToUtf8(version).substr(7));
    s.productValues[0].text = version;
    s.log = kStart + LogLine(line) + Edition(kProductCode32) + Replaced(p + u";", u"") +
            Removed(kProductCode32);
    all.push_back(s);
  }
  const struct {
    const char* name;
    std::optional<std::u16string> build;
  } gated[] = {
      {"UnknownBuild", u"1.0.43.28"},    {"NearMissBuild", u"1.0.43.270"},
      {"BuildWithBlank", u"1.0.43.27 "}, {"BuildWithLeadingBlank", u" 1.0.43.27"},
      {"ShortBuild", u"1.0.43.2"},       {"NonAsciiBuild", u"1.0.43.27\u00e9\u20ac\U0001F600"},
      {"MissingBuild", std::nullopt},
  };
  for (const auto& g : gated) {
    Scenario s =
        Untouched(g.name, kStart + LogLine(kUpdated + WideToUtf8(g.build.value_or(u""))), 0);
    if (g.build) {
      s.productValues[0].text = *g.build;
    } else {
      s.productValues.erase(s.productValues.begin());
    }
    all.push_back(s);
  }
  const struct {
    const char* name;
    std::optional<std::u16string> code;
  } refused[] = {
      {"LowerCaseCode", u"{6d2e47b1-0000-1033-0002-5a9c20f3e184}"},
      {"BlankPaddedCode", std::u16string(u" ") + kProductCode32},
      {"CodeWithoutBraces", u"6D2E47B1-0000-1033-0002-5A9C20F3E184"},
      {"MissingCode", std::nullopt},
  };
  for (const auto& r : refused) {
    Scenario s = Untouched(
        r.name, kStart + kSuites + LogLine(kNotOurs + WideToUtf8(r.code.value_or(u""))), -1);
    if (r.code) {
      s.productValues[1].text = *r.code;
    } else {
      s.productValues.pop_back();
    }
    all.push_back(s);
  }
  const std::u16string upper =
      u"C:\\WINDOWS\\INSTALLER\\" + std::u16string(kProductCode32) + u"\\VELMORANTAVIX.MST";
  const struct {
    const char* name;
    std::optional<std::u16string> before;
    std::optional<std::u16string> after;  // none: nothing written
  } values[] = {
      {"ValueAPB", u"A;" + p + u";B", u"A;B"},
      {"ValueAP", u"A;" + p, u"A;"},
      {"ValuePAP", p + u";A;" + p, u"A;"},
      {"ValuePP", p + u";" + p + u";", u""},
      {"ValueP", p, u""},
      {"ValueLongerEntry", p + u".bak;B", u".bak;B"},
      {"ValueAB", u"A;B", std::nullopt},
      {"ValueOtherCase", upper + u";", std::nullopt},
      {"ValueMissing", std::nullopt, std::nullopt},
  };
  for (const auto& v : values) {
    Scenario s = Typical(v.name);
    s.transforms = v.before;
    s.transformsAfter = v.after ? v.after : v.before;
    s.log = kStart + kSuites + Edition(kProductCode32) +
            (v.after ? Replaced(*v.before, *v.after) : Unchanged(v.before.value_or(u""))) +
            Removed(kProductCode32);
    all.push_back(s);
  }
  {
    Scenario s = Typical("InstallerKeyMissing");
    s.transformsKey = false;
    s.transforms.reset();
    s.transformsAfter.reset();
    s.log = kStart + kSuites + Edition(kProductCode32) + Unchanged(u"") + Removed(kProductCode32);
    all.push_back(s);
  }
  {
    Scenario s = Typical("CachedFileMissing");
    s.cachedFileCode.clear();
    s.log = kStart + kSuites + Edition(kProductCode32) + Replaced(p + u";", u"") +
            NotRemoved(kProductCode32);
    all.push_back(s);
  }
  {
    Scenario s = Typical("CachedFileReadOnly");
    s.cachedFileReadOnly = true;
    s.cachedFileAfter = true;
    s.log = kStart + kSuites + Edition(kProductCode32) + Replaced(p + u";", u"") +
            NotRemoved(kProductCode32);
    all.push_back(s);
  }
  {
    Scenario s = Typical("ProductKeyOnlyIn64BitView");
    for (ProductValue& v : s.productValues) v.view = kKeyWow64_64Key;
    all.push_back(s);
  }
  {
    Scenario s = Typical("ProductKeyInBothViews");
    s.productValues.push_back({kKeyWow64_64Key, u"BuildVersion", u"1.0.43.28"});
    all.push_back(s);
  }
  {
    Scenario s = Typical("TempFolderMissing");
    s.tempFolderExists = false;
    s.log.reset();
    all.push_back(s);
  }
  {
    Scenario s = Typical("ArgumentsIgnored");
    s.arguments = u"/quiet --help \"C:\\some path\\x.mst\" -1";
    all.push_back(s);
  }
  return all;
}

}  // namespace tavix
