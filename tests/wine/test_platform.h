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

// A call that is to fail answers as its API does on failure, without reaching Windows.
#define TAVIX_PASS(Type, Name, Failure, Params, Args) \
  Type Name Params override {                         \
    if (Begin(#Name)) return Failure;                 \
    return Win32Platform::Name Args;                  \
  }

class TestPlatform : public Win32Platform {
 public:
  struct Call {  // key, subkey and access of the opens and creates
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
    closedARoot |= IsPredefinedKey(key);
    openKeys -= !IsPredefinedKey(key);
    const LONG result = Win32Platform::RegCloseKey(key);
    return Begin("RegCloseKey", key) ? kErrorInvalidHandle : result;
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
             (HKEY key, const char16_t* name, DWORD* reserved, DWORD* type, BYTE* data,
              DWORD* cbData),
             (key, name, reserved, type, data, cbData))
  TAVIX_PASS(LONG, RegSetValueExW, kErrorAccessDenied,
             (HKEY key, const char16_t* name, DWORD reserved, DWORD type, const BYTE* data,
              DWORD cbData),
             (key, name, reserved, type, data, cbData))
  TAVIX_PASS(LONG, RegDeleteValueW, kErrorAccessDenied, (HKEY key, const char16_t* name),
             (key, name))
  TAVIX_PASS(LONG, RegDeleteKeyW, kErrorAccessDenied, (HKEY key, const char16_t* name), (key, name))
  TAVIX_PASS(DWORD, GetTempPathW, 0, (DWORD length, char16_t* buffer), (length, buffer))
  TAVIX_PASS(UINT, GetSystemWindowsDirectoryW, 0, (char16_t* buffer, UINT size), (buffer, size))
  TAVIX_PASS(int, _waccess, -1, (const char16_t* path, int mode), (path, mode))
  TAVIX_PASS(int, _wremove, -1, (const char16_t* path), (path))
  TAVIX_PASS(HANDLE, CreateFileW, InvalidHandleValue(),
             (const char16_t* name, DWORD access, DWORD share, const void* security,
              DWORD disposition, DWORD flags, HANDLE templateFile),
             (name, access, share, security, disposition, flags, templateFile))
  TAVIX_PASS(DWORD, GetFileType, 0, (HANDLE file), (file))
  TAVIX_PASS(BOOL, GetFileInformationByHandle, 0, (HANDLE file, FileInformation* information),
             (file, information))
  TAVIX_PASS(BOOL, SetEndOfFile, 0, (HANDLE file), (file))
  TAVIX_PASS(BOOL, SetFileInformationByHandle, 0,
             (HANDLE file, DWORD infoClass, void* info, DWORD size), (file, infoClass, info, size))
  TAVIX_PASS(BOOL, WriteFile, 0,
             (HANDLE file, const void* buffer, DWORD size, DWORD* written, void* overlapped),
             (file, buffer, size, written, overlapped))
  TAVIX_PASS(DWORD, GetFinalPathNameByHandleW, 0,
             (HANDLE file, char16_t* path, DWORD size, DWORD flags), (file, path, size, flags))
  TAVIX_PASS(DWORD, GetFullPathNameW, 0,
             (const char16_t* name, DWORD length, char16_t* buffer, char16_t** filePart),
             (name, length, buffer, filePart))
  TAVIX_PASS(DWORD, GetLongPathNameW, 0, (const char16_t* shortPath, char16_t* path, DWORD length),
             (shortPath, path, length))
  TAVIX_PASS(int, CompareStringOrdinal, 0,
             (const char16_t* one, int count1, const char16_t* two, int count2, BOOL ignoreCase),
             (one, count1, two, count2, ignoreCase))

  TAVIX_PASS(HANDLE, GetCurrentProcess, nullptr, (), ())
  TAVIX_PASS(BOOL, OpenProcessToken, 0, (HANDLE process, DWORD access, HANDLE* token),
             (process, access, token))
  TAVIX_PASS(BOOL, GetTokenInformation, 0,
             (HANDLE token, DWORD infoClass, void* info, DWORD length, DWORD* returned),
             (token, infoClass, info, length, returned))
  TAVIX_PASS(BOOL, GetKernelObjectSecurity, 0,
             (HANDLE object, DWORD wanted, void* descriptor, DWORD length, DWORD* needed),
             (object, wanted, descriptor, length, needed))

 private:
  Platform* replaced_;
  // Records the call; true when it is to fail.
  bool Begin(const char* function, HKEY key = nullptr, const char16_t* text = nullptr,
             REGSAM sam = 0) {
    calls.push_back({function, reinterpret_cast<std::uintptr_t>(key), text ? text : u"", sam});
    return fails && fails(calls.size() - 1);
  }
  LONG Opened(LONG result, HKEY* key) {
    openKeys += result == kErrorSuccess && !IsPredefinedKey(*key);
    return result;
  }
};

#undef TAVIX_PASS

}  // namespace tavix

#endif  // TAVIX_TESTS_WINE_TEST_PLATFORM_H_
