// The real platform: straight pass-through to Win32 and the C runtime.
#ifndef TAVIX_PLATFORM_WIN32_PLATFORM_H_
#define TAVIX_PLATFORM_WIN32_PLATFORM_H_

#include "platform/platform.h"

namespace tavix {

class Win32Platform : public Platform {
 public:
  LONG RegOpenKeyExW(HKEY key, const char16_t* subKey, DWORD options, REGSAM samDesired,
                     HKEY* result) override;
  LONG RegQueryValueExW(HKEY key, const char16_t* valueName, DWORD* reserved, DWORD* type,
                        BYTE* data, DWORD* cbData) override;
  LONG RegCreateKeyExW(HKEY key, const char16_t* subKey, DWORD reserved, char16_t* keyClass,
                       DWORD options, REGSAM samDesired, const void* securityAttributes,
                       HKEY* result, DWORD* disposition) override;
  LONG RegSetValueExW(HKEY key, const char16_t* valueName, DWORD reserved, DWORD type,
                      const BYTE* data, DWORD cbData) override;
  LONG RegDeleteValueW(HKEY key, const char16_t* valueName) override;
  LONG RegDeleteKeyW(HKEY key, const char16_t* subKey) override;
  LONG RegCloseKey(HKEY key) override;
  DWORD GetTempPathW(DWORD bufferLength, char16_t* buffer) override;
  UINT GetSystemWindowsDirectoryW(char16_t* buffer, UINT size) override;
  void GetLocalTime(SystemTime* time) override;
  int _waccess(const char16_t* path, int mode) override;
  int _wremove(const char16_t* path) override;
  HANDLE CreateFileW(const char16_t* fileName, DWORD desiredAccess, DWORD shareMode,
                     const void* securityAttributes, DWORD creationDisposition,
                     DWORD flagsAndAttributes, HANDLE templateFile) override;
  DWORD GetFileType(HANDLE file) override;
  BOOL GetFileInformationByHandle(HANDLE file, FileInformation* information) override;
  BOOL SetEndOfFile(HANDLE file) override;
  BOOL SetFileInformationByHandle(HANDLE file, DWORD fileInformationClass, void* fileInformation,
                                  DWORD bufferSize) override;
  BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
                 void* overlapped) override;
  BOOL CloseHandle(HANDLE object) override;
  DWORD GetFinalPathNameByHandleW(HANDLE file, char16_t* filePath, DWORD size,
                                  DWORD flags) override;
  DWORD GetFullPathNameW(const char16_t* fileName, DWORD bufferLength, char16_t* buffer,
                         char16_t** filePart) override;
  DWORD GetLongPathNameW(const char16_t* shortPath, char16_t* longPath,
                         DWORD bufferLength) override;
  int CompareStringOrdinal(const char16_t* string1, int count1, const char16_t* string2, int count2,
                           BOOL ignoreCase) override;
  HANDLE GetCurrentProcess() override;
  BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token) override;
  BOOL GetTokenInformation(HANDLE token, DWORD informationClass, void* information,
                           DWORD informationLength, DWORD* returnLength) override;
  BOOL GetKernelObjectSecurity(HANDLE object, DWORD requestedInformation, void* securityDescriptor,
                               DWORD length, DWORD* lengthNeeded) override;
};

}  // namespace tavix

#endif  // TAVIX_PLATFORM_WIN32_PLATFORM_H_
