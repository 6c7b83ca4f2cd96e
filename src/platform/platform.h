// The one seam between the portable core and the operating system.
//
// Every call the clean-up makes into Windows goes through `Platform`, with the
// Windows argument lists and result codes, so that the real implementation is
// a thin pass-through and the simulated one can be checked against it. Wide
// text is UTF-16 in `char16_t` everywhere; only the Win32 implementation sees
// `wchar_t`.
#ifndef TAVIX_PLATFORM_PLATFORM_H_
#define TAVIX_PLATFORM_PLATFORM_H_

#include <cstddef>
#include <cstdint>

namespace tavix {

using LONG = std::int32_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using REGSAM = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;

// An open registry key. Opaque: the value is the Windows handle itself.
struct RegKeyTag;
using HKEY = RegKeyTag*;

// An open file, folder, token or process. Opaque: the value is the Windows
// handle itself.
struct FileTag;
using HANDLE = FileTag*;
using BOOL = std::int32_t;
inline HANDLE InvalidHandleValue() { return reinterpret_cast<HANDLE>(~std::uintptr_t{0}); }

// The predefined roots carry the values Windows gives them, (HKEY)(LONG)id:
// sign-extended on 64-bit, so the real implementation passes them through
// untouched.
constexpr std::uintptr_t PredefinedKeyValue(std::uint32_t id) {
  return static_cast<std::uintptr_t>(static_cast<std::intptr_t>(static_cast<std::int32_t>(id)));
}
inline HKEY PredefinedKey(std::uint32_t id) {
  return reinterpret_cast<HKEY>(PredefinedKeyValue(id));
}
inline HKEY HkeyClassesRoot() { return PredefinedKey(0x80000000u); }
inline HKEY HkeyCurrentUser() { return PredefinedKey(0x80000001u); }
inline HKEY HkeyLocalMachine() { return PredefinedKey(0x80000002u); }
inline HKEY HkeyUsers() { return PredefinedKey(0x80000003u); }
// True for any handle in the predefined range; such handles are never closed.
bool IsPredefinedKey(HKEY key);

constexpr LONG kErrorSuccess = 0;
constexpr LONG kErrorFileNotFound = 2;
constexpr LONG kErrorAccessDenied = 5;
constexpr LONG kErrorInvalidHandle = 6;
constexpr LONG kErrorInvalidParameter = 87;
constexpr LONG kErrorBadPathname = 161;
constexpr LONG kErrorMoreData = 234;

constexpr REGSAM kKeyQueryValue = 0x0001;
constexpr REGSAM kKeySetValue = 0x0002;
constexpr REGSAM kKeyCreateSubKey = 0x0004;
constexpr REGSAM kKeyEnumerateSubKeys = 0x0008;
constexpr REGSAM kKeyNotify = 0x0010;
constexpr REGSAM kKeyWow64_64Key = 0x0100;
constexpr REGSAM kKeyWow64_32Key = 0x0200;
constexpr REGSAM kReadControl = 0x00020000;
constexpr REGSAM kKeyRead = 0x20019;
constexpr REGSAM kKeyWrite = 0x20006;

constexpr DWORD kGenericWrite = 0x40000000;
constexpr DWORD kDelete = 0x00010000;
constexpr DWORD kFileTraverse = 0x0020;
constexpr DWORD kFileReadAttributes = 0x0080;
constexpr DWORD kFileShareRead = 0x1;
constexpr DWORD kFileShareWrite = 0x2;
constexpr DWORD kCreateNew = 1;
constexpr DWORD kOpenExisting = 3;
constexpr DWORD kFileAttributeNormal = 0x80;
constexpr DWORD kFileAttributeReparsePoint = 0x400;
constexpr DWORD kFileFlagOpenReparsePoint = 0x00200000;
constexpr DWORD kFileFlagBackupSemantics = 0x02000000;
constexpr DWORD kFileDispositionInfo = 4;  // FILE_INFO_BY_HANDLE_CLASS
constexpr DWORD kFileTypeDisk = 1;
constexpr DWORD kFileTypeChar = 2;
constexpr int kCstrEqual = 2;

constexpr DWORD kTokenQuery = 0x0008;
constexpr DWORD kTokenUser = 1;  // TOKEN_INFORMATION_CLASS
constexpr DWORD kTokenElevation = 20;
constexpr DWORD kOwnerSecurityInformation = 0x1;

constexpr DWORD kRegOptionNonVolatile = 0;
constexpr DWORD kRegNone = 0;
constexpr DWORD kRegSz = 1;
constexpr DWORD kRegExpandSz = 2;
constexpr DWORD kRegBinary = 3;
constexpr DWORD kRegDword = 4;
constexpr DWORD kRegMultiSz = 7;

// SYSTEMTIME, field for field.
struct SystemTime {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};

// BY_HANDLE_FILE_INFORMATION, field for field.
struct FileInformation {
  DWORD dwFileAttributes;
  DWORD ftCreationTime[2];
  DWORD ftLastAccessTime[2];
  DWORD ftLastWriteTime[2];
  DWORD dwVolumeSerialNumber;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD nNumberOfLinks;
  DWORD nFileIndexHigh;
  DWORD nFileIndexLow;
};

// OVERLAPPED, field for field.
struct Overlapped {
  std::uintptr_t Internal;
  std::uintptr_t InternalHigh;
  DWORD Offset;
  DWORD OffsetHigh;
  HANDLE hEvent;
};

// TOKEN_USER, field for field: the SID it points to lies in the same buffer.
struct TokenUserInformation {
  const void* Sid;
  DWORD Attributes;
};

// FILE_DISPOSITION_INFO, field for field.
struct FileDispositionInformation {
  BYTE DeleteFile;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Registry API. Results are Win32 error codes; only kErrorSuccess is success.
  virtual LONG RegOpenKeyExW(HKEY key, const char16_t* subKey, DWORD options, REGSAM samDesired,
                             HKEY* result) = 0;
  virtual LONG RegQueryValueExW(HKEY key, const char16_t* valueName, DWORD* reserved, DWORD* type,
                                BYTE* data, DWORD* cbData) = 0;
  // `securityAttributes` is always null here; the type stays opaque.
  virtual LONG RegCreateKeyExW(HKEY key, const char16_t* subKey, DWORD reserved, char16_t* keyClass,
                               DWORD options, REGSAM samDesired, const void* securityAttributes,
                               HKEY* result, DWORD* disposition) = 0;
  virtual LONG RegSetValueExW(HKEY key, const char16_t* valueName, DWORD reserved, DWORD type,
                              const BYTE* data, DWORD cbData) = 0;
  virtual LONG RegDeleteValueW(HKEY key, const char16_t* valueName) = 0;
  virtual LONG RegDeleteKeyW(HKEY key, const char16_t* subKey) = 0;
  virtual LONG RegCloseKey(HKEY key) = 0;

  // Folders: the character count written (without the NUL), 0 on failure,
  // or the size needed (with the NUL) when the buffer is too small.
  virtual DWORD GetTempPathW(DWORD bufferLength, char16_t* buffer) = 0;
  virtual UINT GetSystemWindowsDirectoryW(char16_t* buffer, UINT size) = 0;

  virtual void GetLocalTime(SystemTime* time) = 0;

  // C runtime file services on wide paths: 0 on success, -1 on failure.
  virtual int _waccess(const char16_t* path, int mode) = 0;
  virtual int _wremove(const char16_t* path) = 0;

  // The log file. CreateFileW gives InvalidHandleValue() on failure; the
  // BOOL calls nonzero on success.
  virtual HANDLE CreateFileW(const char16_t* fileName, DWORD desiredAccess, DWORD shareMode,
                             const void* securityAttributes, DWORD creationDisposition,
                             DWORD flagsAndAttributes, HANDLE templateFile) = 0;
  virtual DWORD GetFileType(HANDLE file) = 0;
  virtual BOOL GetFileInformationByHandle(HANDLE file, FileInformation* information) = 0;
  virtual BOOL SetEndOfFile(HANDLE file) = 0;
  virtual BOOL SetFileInformationByHandle(HANDLE file, DWORD fileInformationClass,
                                          void* fileInformation, DWORD bufferSize) = 0;
  virtual BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
                         void* overlapped) = 0;
  virtual BOOL CloseHandle(HANDLE object) = 0;

  // Paths, as the folder calls answer: the length written without the NUL,
  // the size needed with the NUL when the buffer is too small, 0 on failure.
  virtual DWORD GetFinalPathNameByHandleW(HANDLE file, char16_t* filePath, DWORD size,
                                          DWORD flags) = 0;
  virtual DWORD GetFullPathNameW(const char16_t* fileName, DWORD bufferLength, char16_t* buffer,
                                 char16_t** filePart) = 0;
  virtual DWORD GetLongPathNameW(const char16_t* shortPath, char16_t* longPath,
                                 DWORD bufferLength) = 0;
  // kCstrEqual when the two texts are equal; 0 on failure.
  virtual int CompareStringOrdinal(const char16_t* string1, int count1, const char16_t* string2,
                                   int count2, BOOL ignoreCase) = 0;

  // The run's rights and an object's owner; the BOOL calls nonzero on success.
  // GetCurrentProcess gives a pseudo handle, which is never closed.
  virtual HANDLE GetCurrentProcess() = 0;
  virtual BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token) = 0;
  virtual BOOL GetTokenInformation(HANDLE token, DWORD informationClass, void* information,
                                   DWORD informationLength, DWORD* returnLength) = 0;
  // Writes a self-relative security descriptor.
  virtual BOOL GetKernelObjectSecurity(HANDLE object, DWORD requestedInformation,
                                       void* securityDescriptor, DWORD length,
                                       DWORD* lengthNeeded) = 0;
};

// The platform the core runs on. Set once by the entry point (or a test)
// before any other call; the core reaches the operating system only here.
// SetCurrentPlatform returns the platform it replaces.
Platform& CurrentPlatform();
Platform* SetCurrentPlatform(Platform* platform);

}  // namespace tavix

#endif  // TAVIX_PLATFORM_PLATFORM_H_
