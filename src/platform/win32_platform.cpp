#include "platform/win32_platform.h"

#include <io.h>
#include <stddef.h>
#include <stdio.h>
#include <windows.h>

namespace tavix {
namespace {

// The one place where UTF-16 text changes its C++ type: on Windows wchar_t
// is the same 16-bit unit.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t must be UTF-16");

const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
wchar_t* W(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
::HKEY H(HKEY key) { return reinterpret_cast<::HKEY>(key); }
::PHKEY H(HKEY* key) { return reinterpret_cast<::PHKEY>(key); }
::HANDLE F(HANDLE file) { return reinterpret_cast<::HANDLE>(file); }

static_assert(sizeof(SystemTime) == sizeof(SYSTEMTIME), "SYSTEMTIME layout");
static_assert(sizeof(FileInformation) == sizeof(BY_HANDLE_FILE_INFORMATION), "file information");
static_assert(sizeof(Overlapped) == sizeof(OVERLAPPED) &&
                  offsetof(Overlapped, Offset) == offsetof(OVERLAPPED, Offset) &&
                  offsetof(Overlapped, hEvent) == offsetof(OVERLAPPED, hEvent),
              "OVERLAPPED layout");
static_assert(sizeof(TokenUserInformation) == sizeof(TOKEN_USER) &&
                  offsetof(TokenUserInformation, Sid) == offsetof(TOKEN_USER, User.Sid),
              "TOKEN_USER layout");
static_assert(sizeof(FileDispositionInformation) == sizeof(FILE_DISPOSITION_INFO),
              "FILE_DISPOSITION_INFO layout");
static_assert(kFileDispositionInfo == FileDispositionInfo && kTokenUser == TokenUser &&
                  kTokenElevation == TokenElevation,
              "information classes");

// The seam's roots must be the very handles windows.h names. GCC folds the
// casts in those macros inside an array bound, so a mismatch fails to build.
#define TAVIX_SAME_ROOT(root, id) \
  (reinterpret_cast<ULONG_PTR>(root) == PredefinedKeyValue(id) ? 1 : -1)
typedef char ClassesRootMatches[TAVIX_SAME_ROOT(HKEY_CLASSES_ROOT, 0x80000000u)];
typedef char CurrentUserMatches[TAVIX_SAME_ROOT(HKEY_CURRENT_USER, 0x80000001u)];
typedef char LocalMachineMatches[TAVIX_SAME_ROOT(HKEY_LOCAL_MACHINE, 0x80000002u)];
#undef TAVIX_SAME_ROOT

}  // namespace

LONG Win32Platform::RegOpenKeyExW(HKEY key, const char16_t* subKey, DWORD options,
                                  REGSAM samDesired, HKEY* result) {
  return ::RegOpenKeyExW(H(key), W(subKey), options, samDesired, H(result));
}

LONG Win32Platform::RegQueryValueExW(HKEY key, const char16_t* valueName, DWORD* reserved,
                                     DWORD* type, BYTE* data, DWORD* cbData) {
  return ::RegQueryValueExW(H(key), W(valueName), reinterpret_cast<LPDWORD>(reserved),
                            reinterpret_cast<LPDWORD>(type), data,
                            reinterpret_cast<LPDWORD>(cbData));
}

LONG Win32Platform::RegCreateKeyExW(HKEY key, const char16_t* subKey, DWORD reserved,
                                    char16_t* keyClass, DWORD options, REGSAM samDesired,
                                    const void* securityAttributes, HKEY* result,
                                    DWORD* disposition) {
  return ::RegCreateKeyExW(
      H(key), W(subKey), reserved, W(keyClass), options, samDesired,
      static_cast<LPSECURITY_ATTRIBUTES>(const_cast<void*>(securityAttributes)), H(result),
      reinterpret_cast<LPDWORD>(disposition));
}

LONG Win32Platform::RegSetValueExW(HKEY key, const char16_t* valueName, DWORD reserved, DWORD type,
                                   const BYTE* data, DWORD cbData) {
  return ::RegSetValueExW(H(key), W(valueName), reserved, type, data, cbData);
}

LONG Win32Platform::RegDeleteValueW(HKEY key, const char16_t* valueName) {
  return ::RegDeleteValueW(H(key), W(valueName));
}

LONG Win32Platform::RegDeleteKeyW(HKEY key, const char16_t* subKey) {
  return ::RegDeleteKeyW(H(key), W(subKey));
}

LONG Win32Platform::RegCloseKey(HKEY key) { return ::RegCloseKey(H(key)); }

DWORD Win32Platform::GetTempPathW(DWORD bufferLength, char16_t* buffer) {
  return ::GetTempPathW(bufferLength, W(buffer));
}

UINT Win32Platform::GetSystemWindowsDirectoryW(char16_t* buffer, UINT size) {
  return ::GetSystemWindowsDirectoryW(W(buffer), size);
}

void Win32Platform::GetLocalTime(SystemTime* time) {
  ::GetLocalTime(reinterpret_cast<SYSTEMTIME*>(time));
}

int Win32Platform::_waccess(const char16_t* path, int mode) { return ::_waccess(W(path), mode); }

int Win32Platform::_wremove(const char16_t* path) { return ::_wremove(W(path)); }

HANDLE Win32Platform::CreateFileW(const char16_t* fileName, DWORD desiredAccess, DWORD shareMode,
                                  const void* securityAttributes, DWORD creationDisposition,
                                  DWORD flagsAndAttributes, HANDLE templateFile) {
  return reinterpret_cast<HANDLE>(
      ::CreateFileW(W(fileName), desiredAccess, shareMode,
                    static_cast<LPSECURITY_ATTRIBUTES>(const_cast<void*>(securityAttributes)),
                    creationDisposition, flagsAndAttributes, F(templateFile)));
}

DWORD Win32Platform::GetFileType(HANDLE file) { return ::GetFileType(F(file)); }

BOOL Win32Platform::GetFileInformationByHandle(HANDLE file, FileInformation* information) {
  return ::GetFileInformationByHandle(F(file),
                                      reinterpret_cast<LPBY_HANDLE_FILE_INFORMATION>(information));
}

BOOL Win32Platform::SetEndOfFile(HANDLE file) { return ::SetEndOfFile(F(file)); }

BOOL Win32Platform::SetFileInformationByHandle(HANDLE file, DWORD fileInformationClass,
                                               void* fileInformation, DWORD bufferSize) {
  return ::SetFileInformationByHandle(F(file),
                                      static_cast<FILE_INFO_BY_HANDLE_CLASS>(fileInformationClass),
                                      fileInformation, bufferSize);
}

BOOL Win32Platform::WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite,
                              DWORD* bytesWritten, void* overlapped) {
  return ::WriteFile(F(file), buffer, bytesToWrite, reinterpret_cast<LPDWORD>(bytesWritten),
                     static_cast<LPOVERLAPPED>(overlapped));
}

BOOL Win32Platform::CloseHandle(HANDLE object) { return ::CloseHandle(F(object)); }

DWORD Win32Platform::GetFinalPathNameByHandleW(HANDLE file, char16_t* filePath, DWORD size,
                                               DWORD flags) {
  return ::GetFinalPathNameByHandleW(F(file), W(filePath), size, flags);
}

DWORD Win32Platform::GetFullPathNameW(const char16_t* fileName, DWORD bufferLength,
                                      char16_t* buffer, char16_t** filePart) {
  return ::GetFullPathNameW(W(fileName), bufferLength, W(buffer),
                            reinterpret_cast<LPWSTR*>(filePart));
}

DWORD Win32Platform::GetLongPathNameW(const char16_t* shortPath, char16_t* longPath,
                                      DWORD bufferLength) {
  return ::GetLongPathNameW(W(shortPath), W(longPath), bufferLength);
}

int Win32Platform::CompareStringOrdinal(const char16_t* string1, int count1,
                                        const char16_t* string2, int count2, BOOL ignoreCase) {
  return ::CompareStringOrdinal(W(string1), count1, W(string2), count2, ignoreCase);
}

HANDLE Win32Platform::GetCurrentProcess() {
  return reinterpret_cast<HANDLE>(::GetCurrentProcess());
}

BOOL Win32Platform::OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token) {
  return ::OpenProcessToken(F(process), desiredAccess, reinterpret_cast<PHANDLE>(token));
}

BOOL Win32Platform::GetTokenInformation(HANDLE token, DWORD informationClass, void* information,
                                        DWORD informationLength, DWORD* returnLength) {
  return ::GetTokenInformation(F(token), static_cast<TOKEN_INFORMATION_CLASS>(informationClass),
                               information, informationLength,
                               reinterpret_cast<PDWORD>(returnLength));
}

BOOL Win32Platform::GetKernelObjectSecurity(HANDLE object, DWORD requestedInformation,
                                            void* securityDescriptor, DWORD length,
                                            DWORD* lengthNeeded) {
  return ::GetKernelObjectSecurity(F(object), requestedInformation, securityDescriptor, length,
                                   reinterpret_cast<LPDWORD>(lengthNeeded));
}

}  // namespace tavix
