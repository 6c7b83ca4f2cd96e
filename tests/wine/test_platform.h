// The real platform with every call recorded, where any call can be made to
// fail: the tests' way to stage what Windows rarely does, on the real API.
// A test bends one answer by overriding that method (and calling through).
#ifndef TAVIX_TESTS_WINE_TEST_PLATFORM_H_
#define TAVIX_TESTS_WINE_TEST_PLATFORM_H_

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32_platform.h"

namespace tavix {

// A call that is to fail answers as its API does on failure, without reaching
// Windows. The arguments keep the seam's order (platform/platform.h).
#define TAVIX_PASS(Type, Name, Failure, Params, Args) \
  Type Name Params override {                         \
    if (Begin(#Name)) return Failure;                 \
    return Win32Platform::Name Args;                  \
  }

class TestPlatform : public Win32Platform {
 public:
  struct Call {  // key, subkey and access of the opens and creates; name and flags of CreateFileW
    std::string function;
    std::uintptr_t key;
    std::u16string text;
    REGSAM sam;
  };
  // Installs itself as the current platform, and puts back the one it
  // replaced when it goes.
  TestPlatform() : replaced_(SetCurrentPlatform(this)) {}
  ~TestPlatform() override { SetCurrentPlatform(replaced_); }

  std::vector<Call> calls;
  // Asked before each call with its index in `calls`: true fails the call.
  std::function<bool(std::size_t index)> fails;
  std::ptrdiff_t openKeys = 0;  // key handles opened and not closed since
  bool closedARoot = false;     // a predefined root reached RegCloseKey
  std::size_t Count(const std::string& function) const {
    return std::count_if(calls.begin(), calls.end(),
                         [&](const Call& c) { return c.function == function; });
  }

  LONG RegOpenKeyExW(HKEY key, const char16_t* subKey, DWORD options, REGSAM sam,
                     HKEY* result) override {
    if (Begin("RegOpenKeyExW", key, subKey, sam)) return kErrorAccessDenied;
    return Opened(Win32Platform::RegOpenKeyExW(key, subKey, options, sam, result), result);
  }
  LONG RegCreateKeyExW(HKEY key, const char16_t* subKey, DWORD reserved, char16_t* keyClass,
                       DWORD options, REGSAM sam, const void* security, HKEY* result,
                       DWORD* disposition) override {
    if (Begin("RegCreateKeyExW", key, subKey, sam)) return kErrorAccessDenied;
    return Opened(Win32Platform::RegCreateKeyExW(key, subKey, reserved, keyClass, options, sam,
                                                 security, result, disposition),
                  result);
  }
  // A close that is to fail still closes, or the handle would outlive the test.
  LONG RegCloseKey(HKEY key) override {
    closedARoot |= IsRoot(key);
    openKeys -= !IsRoot(key);
    const LONG result = Win32Platform::RegCloseKey(key);
    return Begin("RegCloseKey", key) ? kErrorInvalidHandle : result;
  }
  // Records the name and, as its access, the flags.
  HANDLE CreateFileW(const char16_t* name, DWORD access, DWORD share, const void* security,
                     DWORD disposition, DWORD flags, HANDLE templateFile) override {
    if (Begin("CreateFileW", nullptr, name, flags)) return InvalidHandleValue();
    return Win32Platform::CreateFileW(name, access, share, security, disposition, flags,
                                      templateFile);
  }
  BOOL CloseHandle(HANDLE object) override {
    const BOOL result = Win32Platform::CloseHandle(object);
    return Begin("CloseHandle") ? 0 : result;
  }
  void GetLocalTime(SystemTime* time) override {
    Begin("GetLocalTime");
    Win32Platform::GetLocalTime(time);
  }
  TAVIX_PASS(LONG, RegQueryValueExW, kErrorAccessDenied,
             (HKEY k, const char16_t* n, DWORD* r, DWORD* t, BYTE* d, DWORD* c), (k, n, r, t, d, c))
  TAVIX_PASS(LONG, RegSetValueExW, kErrorAccessDenied,
             (HKEY k, const char16_t* n, DWORD r, DWORD t, const BYTE* d, DWORD c),
             (k, n, r, t, d, c))
  TAVIX_PASS(LONG, RegDeleteValueW, kErrorAccessDenied, (HKEY k, const char16_t* n), (k, n))
  TAVIX_PASS(LONG, RegDeleteKeyW, kErrorAccessDenied, (HKEY k, const char16_t* n), (k, n))
  TAVIX_PASS(DWORD, GetTempPathW, 0, (DWORD n, char16_t* b), (n, b))
  TAVIX_PASS(UINT, GetSystemWindowsDirectoryW, 0, (char16_t* b, UINT n), (b, n))
  TAVIX_PASS(int, _waccess, -1, (const char16_t* p, int m), (p, m))
  TAVIX_PASS(int, _wremove, -1, (const char16_t* p), (p))
  TAVIX_PASS(DWORD, GetFileType, 0, (HANDLE f), (f))
  TAVIX_PASS(BOOL, GetFileInformationByHandle, 0, (HANDLE f, FileInformation* i), (f, i))
  TAVIX_PASS(BOOL, SetEndOfFile, 0, (HANDLE f), (f))
  TAVIX_PASS(BOOL, SetFileInformationByHandle, 0, (HANDLE f, DWORD c, void* i, DWORD n),
             (f, c, i, n))
  TAVIX_PASS(BOOL, WriteFile, 0, (HANDLE f, const void* b, DWORD n, DWORD* w, void* o),
             (f, b, n, w, o))
  TAVIX_PASS(DWORD, GetFinalPathNameByHandleW, 0, (HANDLE f, char16_t* p, DWORD n, DWORD g),
             (f, p, n, g))
  TAVIX_PASS(DWORD, GetFullPathNameW, 0, (const char16_t* p, DWORD n, char16_t* b, char16_t** f),
             (p, n, b, f))
  TAVIX_PASS(DWORD, GetLongPathNameW, 0, (const char16_t* p, char16_t* b, DWORD n), (p, b, n))
  TAVIX_PASS(int, CompareStringOrdinal, 0,
             (const char16_t* a, int m, const char16_t* b, int n, BOOL i), (a, m, b, n, i))
  TAVIX_PASS(HANDLE, GetCurrentProcess, nullptr, (), ())
  TAVIX_PASS(BOOL, OpenProcessToken, 0, (HANDLE p, DWORD a, HANDLE* t), (p, a, t))
  TAVIX_PASS(BOOL, GetTokenInformation, 0, (HANDLE t, DWORD c, void* i, DWORD n, DWORD* r),
             (t, c, i, n, r))
  TAVIX_PASS(BOOL, GetKernelObjectSecurity, 0, (HANDLE o, DWORD w, void* d, DWORD n, DWORD* r),
             (o, w, d, n, r))

 private:
  Platform* replaced_;
  // Records the call; true when it is to fail.
  bool Begin(const char* function, HKEY key = nullptr, const char16_t* text = nullptr,
             REGSAM sam = 0) {
    calls.push_back({function, reinterpret_cast<std::uintptr_t>(key), text ? text : u"", sam});
    return fails && fails(calls.size() - 1);
  }
  LONG Opened(LONG result, HKEY* key) {
    openKeys += result == kErrorSuccess && !IsRoot(*key);
    return result;
  }
  // HKEY_CLASSES_ROOT to HKEY_CURRENT_USER_LOCAL_SETTINGS, sign-extended.
  static bool IsRoot(HKEY key) {
    const std::intptr_t value = reinterpret_cast<std::intptr_t>(key);
    return value >= INT32_MIN && value <= INT32_MIN + 7;
  }
};

#undef TAVIX_PASS

}  // namespace tavix

#endif  // TAVIX_TESTS_WINE_TEST_PLATFORM_H_
