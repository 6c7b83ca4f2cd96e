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
  FileStream _wfsopen(const char16_t* path) override;
  std::size_t fwrite(const void* data, std::size_t size, FileStream stream) override;
  int fflush(FileStream stream) override;
  int fclose(FileStream stream) override;
};

}  // namespace tavix

#endif  // TAVIX_PLATFORM_WIN32_PLATFORM_H_
