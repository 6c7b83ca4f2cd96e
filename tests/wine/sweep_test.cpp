// The typical run in this process with each of its calls into Windows
// failing in turn, and answers of Windows that no whole run can stage.
#include <aclapi.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

#include "app/transform_file.h"
#include "bend.h"
#include "machine.h"
#include "registry/registry_read.h"

namespace tavix {
namespace {

namespace fs = std::filesystem;

// The calls of the swept functions, in order; the one at `g_failAt`
// answers with its function's failure, without reaching Windows.
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

// Every call of the typical run that can fail, with the answer it fails with.
std::vector<std::shared_ptr<void>> SweepAll() {
  const LONG denied = ERROR_ACCESS_DENIED;
  const DWORD none = 0;
  return {TAVIX_SWEPT(RegOpenKeyExW, denied),
          TAVIX_SWEPT(RegQueryValueExW, denied),
          TAVIX_SWEPT(RegCreateKeyExW, denied),
          TAVIX_SWEPT(RegSetValueExW, denied),
          TAVIX_SWEPT(GetTempPathW, none),
          TAVIX_SWEPT(GetSystemWindowsDirectoryW, UINT{0}),
          TAVIX_SWEPT(_waccess, -1),
          TAVIX_SWEPT(_wremove, -1),
          TAVIX_SWEPT(CreateFileW, INVALID_HANDLE_VALUE),
          TAVIX_SWEPT(GetFileType, none),
          TAVIX_SWEPT(GetFileInformationByHandle, FALSE),
          TAVIX_SWEPT(SetEndOfFile, FALSE),
          TAVIX_SWEPT(SetFileInformationByHandle, FALSE),
          TAVIX_SWEPT(WriteFile, FALSE),
          TAVIX_SWEPT(GetFinalPathNameByHandleW, none),
          TAVIX_SWEPT(GetFullPathNameW, none),
          TAVIX_SWEPT(GetLongPathNameW, none),
          TAVIX_SWEPT(CompareStringOrdinal, 0),
          TAVIX_SWEPT(OpenProcessToken, FALSE),
          TAVIX_SWEPT(GetTokenInformation, FALSE),
          TAVIX_SWEPT(GetSecurityInfo, DWORD{ERROR_ACCESS_DENIED}),
          TAVIX_SWEPT(WideCharToMultiByte, 0)};
}

const std::wstring kFolder = L"C:\\windows\\Installer\\" + kCode32;
const std::wstring kCached = kFolder + L"\\VelmoranTavix.mst",
                   kFallbackLog = L"C:\\temp\\" + kLog.substr(14);

// The log's fallback folder while it lives, removed again if made for it.
struct Fallback {
  const bool made = fs::create_directory(L"C:\\temp");
  ~Fallback() {
    fs::remove(kFallbackLog);
    if (made) fs::remove(L"C:\\temp");
  }
};

// The run with call `failAt` failing (none by default): its exit code.
DWORD SweptRun(std::size_t failAt = SIZE_MAX) {
  Reset();
  PutValue(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, kProductKey, L"BuildVersion", L"1.0.43.27");
  PutValue(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, kProductKey, L"upiMasterID", kCode32);
  PutValue(HKEY_CLASSES_ROOT, 0, kInstaller32, L"Transforms", kCached + L";", REG_EXPAND_SZ);
  for (const std::wstring& file : {kCached, kFolder + L"\\other.mst", kTemp + L"other.log"})
    PutFile(file, "bytes");
  fs::remove(kFallbackLog);
  const auto swept = SweepAll();
  g_calls.clear();
  g_failAt = failAt;
  const DWORD exitCode = RunInProcess(kTemp);
  g_failAt = SIZE_MAX;
  return exitCode;
}

std::vector<std::string> Lines(const std::optional<std::string>& log) {
  std::vector<std::string> lines;
  std::istringstream in(log ? MaskTimes(*log) : "");
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.size() - 1));
  return lines;
}

// Tests that whichever call of the typical run fails, the run ends soundly:
// exit code 0, or -1 only with the product code unread; no value but
// "Transforms" changes, and that one holds its old or its new text; no file
// but the cached one goes; a log the run made is not left empty; and the log
// holds the typical run's lines in order, and besides them only the
// documented failure lines.
TEST(FaultSweepTest, EveryCallOfTheTypicalRunFailing) {
  const Fallback fallback;
  ASSERT_EQ(SweptRun(), 0u);
  const std::vector<std::string> typical = Lines(GetFile(kLog)), calls = g_calls;
  const std::string at = "##:##:##  ", path = U8(kCached);
  const std::string unread =
      at + "ERROR --> This Product is not Velmoran Tavix 1.0, Product Code : ";
  const std::set<std::string> documented = {
      at + "----- --> Velmoran Tavix has been updated. Current Build Version is : ",
      unread,
      at + "----- -->No updated on Transforms Register value --> value : ",
      path + ";",
      "",
      at + "************Updated Transforms Register value Failed.************ ",
      at + "Error --> Failed to remove file : " + path,
      at + "----- --> Removed file : C:\\Windows\\Installer\\" + U8(kCode32) +
          "\\VelmoranTavix.mst"};
  const Value before = std::pair(DWORD{REG_EXPAND_SZ}, kCached + L";" + L'\0');
  for (std::size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE("call " + std::to_string(i) + ": " + calls[i]);
    const DWORD exitCode = SweptRun(i);
    std::optional<std::string> log = GetFile(kLog);
    if (!log) log = GetFile(kFallbackLog);
    const std::vector<std::string> lines = Lines(log);
    const Value transforms = GetValue(HKEY_CLASSES_ROOT, 0, kInstaller32, L"Transforms");
    const bool unknown = exitCode == 0xFFFFFFFF;
    EXPECT_TRUE(exitCode == 0 || (unknown && lines.back() == unread)) << exitCode;
    EXPECT_TRUE(transforms == before || (!unknown && transforms == Value({REG_SZ, {L'\0'}})));
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, kProductKey, L"upiMasterID"),
              Value({REG_SZ, kCode32 + L'\0'}));
    EXPECT_TRUE(GetFile(kFolder + L"\\other.mst") && GetFile(kTemp + L"other.log"));
    EXPECT_TRUE(!unknown || GetFile(kCached));
    EXPECT_TRUE(!log || !log->empty() || calls[i] == "WriteFile") << "an empty log is left";
    auto next = typical.begin();  // typical lines may go missing, never change places
    for (const std::string& line : lines) {
      const auto found = std::find(next, typical.end(), line);
      if (found != typical.end()) {
        next = found + 1;
      } else {
        EXPECT_EQ(documented.count(line), 1u) << line;
      }
    }
  }
}

// Tests the folder queries' answers no run stages: 260 is success, a buffer
// filled without a NUL is read no further, more takes the fallback; and the
// time of day in front of a line.
TEST(BentAnswersTest, FolderQueriesAndTime) {
  static std::wstring folder, opened;
  static UINT result;
  static const auto answer = [](LPWSTR buffer, UINT size) {
    std::copy_n((folder + L'\0').begin(), std::min<std::size_t>(size, folder.size() + 1), buffer);
    return result;
  };
  TAVIX_BEND(GetSystemWindowsDirectoryW,
             [](LPWSTR b, UINT n) WINAPI -> UINT { return answer(b, n); });
  TAVIX_BEND(GetTempPathW, [](DWORD n, LPWSTR b) WINAPI -> DWORD { return answer(b, n); });
  TAVIX_BEND(GetLocalTime, [](LPSYSTEMTIME time) WINAPI { *time = {2026, 12, 1, 7, 9, 5, 7, 0}; });
  TAVIX_BEND(GetFullPathNameW, [](LPCWSTR path, DWORD n, LPWSTR b, LPWSTR* p) WINAPI -> DWORD {
    opened = path;
    return TAVIX_REAL(GetFullPathNameW)(path, n, b, p);
  });
  const Fallback fallback;
  const std::wstring t259(259, L'T'), file = L"\\Installer\\{C}\\VelmoranTavix.mst";
  for (const UINT answered : {260u, 261u}) {
    folder = t259 + L"T?", result = answered;
    EXPECT_EQ(BuildTransformFilePath(L"{C}"),
              (answered == 260 ? t259 + L"T" : L"C:\\Windows") + file);
    RunInProcess(L"unused");
    EXPECT_EQ(opened, (answered == 260 ? t259 + L"T/" : L"C:\\temp\\") + kLog.substr(14));
  }
  EXPECT_EQ(GetFile(kFallbackLog).value_or("").substr(0, 17), "09:05:07  Start -");
}

}  // namespace
}  // namespace tavix
