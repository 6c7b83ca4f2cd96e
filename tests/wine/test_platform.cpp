#include "test_platform.h"

#include <algorithm>

namespace tavix {

// A call that fails answers as its API does on failure, without reaching Windows.
#define TAVIX_PASS(Type, Name, Failure, Params, Record, Args) \
  Type TestPlatform::Name Params {                            \
    if (Begin Record) return Failure;                         \
    return Win32Platform::Name Args;                          \
  }

TestPlatform::TestPlatform() : replaced_(SetCurrentPlatform(this)) {}
TestPlatform::~TestPlatform() { SetCurrentPlatform(replaced_); }

std::size_t TestPlatform::Count(const std::string& function) const {
  return std::count_if(calls.begin(), calls.end(),
                       [&](const Call& call) { return call.function == function; });
}

bool TestPlatform::Begin(const char* function, HKEY key, const char16_t* text, REGSAM sam) {
  calls.push_back({function, reinterpret_cast<std::uintptr_t>(key), text ? text : u"", sam});
  return fails && fails(calls.size() - 1);
}

LONG TestPlatform::Opened(LONG result, HKEY* key) {
  openKeys += result == kErrorSuccess && !IsPredefinedKey(*key);
  return result;
}

LONG TestPlatform::RegOpenKeyExW(HKEY key, const char16_t* subKey, DWORD options, REGSAM sam,
                                 HKEY* result) {
  if (Begin("RegOpenKeyExW", key, subKey, sam)) return kErrorAccessDenied;
  return Opened(Win32Platform::RegOpenKeyExW(key, subKey, options, sam, result), result);
}

LONG TestPlatform::RegCreateKeyExW(HKEY key, const char16_t* subKey, DWORD reserved,
                                   char16_t* keyClass, DWORD options, REGSAM sam,
                                   const void* security, HKEY* result, DWORD* disposition) {
  if (Begin("RegCreateKeyExW", key, subKey, sam)) return kErrorAccessDenied;
  return Opened(Win32Platform::RegCreateKeyExW(key, subKey, reserved, keyClass, options, sam,
                                               security, result, disposition),
                result);
}

LONG TestPlatform::RegCloseKey(HKEY key) {
  closedARoot |= IsPredefinedKey(key);
  openKeys -= !IsPredefinedKey(key);
  if (Begin("RegCloseKey", key)) return kErrorInvalidHandle;
  return Win32Platform::RegCloseKey(key);
}

void TestPlatform::GetLocalTime(SystemTime* time) {
  Begin("GetLocalTime");
  Win32Platform::GetLocalTime(time);
}

TAVIX_PASS(LONG, RegQueryValueExW, kErrorAccessDenied,
           (HKEY key, const char16_t* name, DWORD* reserved, DWORD* type, BYTE* data,
            DWORD* cbData),
           ("RegQueryValueExW", key, name), (key, name, reserved, type, data, cbData))
TAVIX_PASS(LONG, RegSetValueExW, kErrorAccessDenied,
           (HKEY key, const char16_t* name, DWORD reserved, DWORD type, const BYTE* data,
            DWORD cbData),
           ("RegSetValueExW", key, name), (key, name, reserved, type, data, cbData))
TAVIX_PASS(LONG, RegDeleteValueW, kErrorAccessDenied, (HKEY key, const char16_t* name),
           ("RegDeleteValueW", key, name), (key, name))
TAVIX_PASS(LONG, RegDeleteKeyW, kErrorAccessDenied, (HKEY key, const char16_t* name),
           ("RegDeleteKeyW", key, name), (key, name))
TAVIX_PASS(DWORD, GetTempPathW, 0, (DWORD length, char16_t* buffer), ("GetTempPathW"),
           (length, buffer))
TAVIX_PASS(UINT, GetSystemWindowsDirectoryW, 0, (char16_t* buffer, UINT size),
           ("GetSystemWindowsDirectoryW"), (buffer, size))
TAVIX_PASS(int, _waccess, -1, (const char16_t* path, int mode), ("_waccess"), (path, mode))
TAVIX_PASS(int, _wremove, -1, (const char16_t* path), ("_wremove"), (path))
TAVIX_PASS(HANDLE, CreateFileW, InvalidHandleValue(),
           (const char16_t* name, DWORD access, DWORD share, const void* security,
            DWORD disposition, DWORD flags, HANDLE templateFile),
           ("CreateFileW"), (name, access, share, security, disposition, flags, templateFile))
TAVIX_PASS(DWORD, GetFileType, 0, (HANDLE file), ("GetFileType"), (file))
TAVIX_PASS(BOOL, GetFileInformationByHandle, 0, (HANDLE file, FileInformation* information),
           ("GetFileInformationByHandle"), (file, information))
TAVIX_PASS(BOOL, SetEndOfFile, 0, (HANDLE file), ("SetEndOfFile"), (file))
TAVIX_PASS(BOOL, SetFileInformationByHandle, 0,
           (HANDLE file, DWORD infoClass, void* info, DWORD size), ("SetFileInformationByHandle"),
           (file, infoClass, info, size))
TAVIX_PASS(BOOL, WriteFile, 0,
           (HANDLE file, const void* buffer, DWORD size, DWORD* written, void* overlapped),
           ("WriteFile"), (file, buffer, size, written, overlapped))
TAVIX_PASS(BOOL, CloseHandle, 0, (HANDLE object), ("CloseHandle"), (object))
TAVIX_PASS(DWORD, GetFinalPathNameByHandleW, 0,
           (HANDLE file, char16_t* path, DWORD size, DWORD flags), ("GetFinalPathNameByHandleW"),
           (file, path, size, flags))
TAVIX_PASS(DWORD, GetFullPathNameW, 0,
           (const char16_t* name, DWORD length, char16_t* buffer, char16_t** filePart),
           ("GetFullPathNameW"), (name, length, buffer, filePart))
TAVIX_PASS(DWORD, GetLongPathNameW, 0, (const char16_t* shortPath, char16_t* path, DWORD length),
           ("GetLongPathNameW"), (shortPath, path, length))
TAVIX_PASS(int, CompareStringOrdinal, 0,
           (const char16_t* one, int count1, const char16_t* two, int count2, BOOL ignoreCase),
           ("CompareStringOrdinal"), (one, count1, two, count2, ignoreCase))
TAVIX_PASS(HANDLE, GetCurrentProcess, nullptr, (), ("GetCurrentProcess"), ())
TAVIX_PASS(BOOL, OpenProcessToken, 0, (HANDLE process, DWORD access, HANDLE* token),
           ("OpenProcessToken"), (process, access, token))
TAVIX_PASS(BOOL, GetTokenInformation, 0,
           (HANDLE token, DWORD infoClass, void* info, DWORD length, DWORD* returned),
           ("GetTokenInformation"), (token, infoClass, info, length, returned))
TAVIX_PASS(BOOL, GetKernelObjectSecurity, 0,
           (HANDLE object, DWORD wanted, void* descriptor, DWORD length, DWORD* needed),
           ("GetKernelObjectSecurity"), (object, wanted, descriptor, length, needed))

}  // namespace tavix
