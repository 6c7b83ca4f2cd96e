#include "platform/win32_platform.h"

#include <io.h>
#include <share.h>
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
FILE* F(FileStream stream) { return reinterpret_cast<FILE*>(stream); }

static_assert(sizeof(SystemTime) == sizeof(SYSTEMTIME), "SYSTEMTIME layout");

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

FileStream Win32Platform::_wfsopen(const char16_t* path) {
  // Binary: the log translates its own line ends, so that every build
  // writes the same bytes.
  return reinterpret_cast<FileStream>(::_wfsopen(W(path), L"wb", _SH_DENYNO));
}

std::size_t Win32Platform::fwrite(const void* data, std::size_t size, FileStream stream) {
  return ::fwrite(data, 1, size, F(stream));
}

int Win32Platform::fflush(FileStream stream) { return ::fflush(F(stream)); }

int Win32Platform::fclose(FileStream stream) { return ::fclose(F(stream)); }

}  // namespace tavix
