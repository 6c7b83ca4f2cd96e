// The real platform with every call recorded, where any call can be made to
// fail: the tests' way to stage what Windows rarely does, on the real API.
// A test bends one answer by overriding that method (and calling through).
#ifndef TAVIX_TESTS_WINE_TEST_PLATFORM_H_
#define TAVIX_TESTS_WINE_TEST_PLATFORM_H_

#include <functional>
#include <string>
#include <vector>

#include "platform/win32_platform.h"

namespace tavix {

class TestPlatform : public Win32Platform {
 public:
  struct Call {
    std::string function;
    std::uintptr_t key;   // registry calls: the key handle argument
    std::u16string text;  // registry calls: the subkey or value name
    REGSAM sam;           // opens and creates: the access asked for
  };
  // Installs itself as the current platform, and puts back the one it
  // replaced when it goes.
  TestPlatform();
  ~TestPlatform() override;

  std::vector<Call> calls;
  // Asked before each call with its index in `calls`: true makes the call
  // fail (as its API fails) without reaching Windows.
  std::function<bool(std::size_t index)> fails;
  std::ptrdiff_t openKeys = 0;  // key handles opened and not closed since
  bool closedARoot = false;     // a predefined root reached RegCloseKey
  std::size_t Count(const std::string& function) const;

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

 private:
  Platform* replaced_;
  // Records the call; true when it is to fail.
  bool Begin(const char* function, HKEY key = nullptr, const char16_t* text = nullptr,
             REGSAM sam = 0);
  LONG Opened(LONG result, HKEY* key);
};

}  // namespace tavix

#endif  // TAVIX_TESTS_WINE_TEST_PLATFORM_H_
