// A pass-through platform that records the registry calls made through it
// and counts the key handles they left open, on either backend.
#ifndef TAVIX_TESTS_REGISTRY_TRACKING_PLATFORM_H_
#define TAVIX_TESTS_REGISTRY_TRACKING_PLATFORM_H_

#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tavix {

class TrackingPlatform final : public Platform {
 public:
  struct Call {
    std::string function;
    HKEY key;
    std::u16string text;  // subkey or value name; "<null>" for null
    REGSAM sam;
    LONG result;
  };

  explicit TrackingPlatform(Platform& inner) : inner_(inner) {}

  const std::vector<Call>& calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  std::size_t Count(const std::string& function) const;
  // Handles opened or created through this platform and not yet closed.
  std::size_t OpenHandles() const { return open_.size(); }

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
  DWORD GetTempPathW(DWORD bufferLength, char16_t* buffer) override {
    return inner_.GetTempPathW(bufferLength, buffer);
  }
  UINT GetSystemWindowsDirectoryW(char16_t* buffer, UINT size) override {
    return inner_.GetSystemWindowsDirectoryW(buffer, size);
  }
  void GetLocalTime(SystemTime* time) override { inner_.GetLocalTime(time); }
  int _waccess(const char16_t* path, int mode) override { return inner_._waccess(path, mode); }
  int _wremove(const char16_t* path) override { return inner_._wremove(path); }
  FileStream _wfsopen(const char16_t* path) override { return inner_._wfsopen(path); }
  std::size_t fwrite(const void* data, std::size_t size, FileStream stream) override {
    return inner_.fwrite(data, size, stream);
  }
  int fflush(FileStream stream) override { return inner_.fflush(stream); }
  int fclose(FileStream stream) override { return inner_.fclose(stream); }

 private:
  LONG Record(const char* function, HKEY key, const char16_t* text, REGSAM sam, LONG result);
  void Opened(LONG result, HKEY* handle);

  Platform& inner_;
  std::vector<Call> calls_;
  std::multiset<HKEY> open_;
};

}  // namespace tavix

#endif  // TAVIX_TESTS_REGISTRY_TRACKING_PLATFORM_H_
