#include "log/log_file.h"

#include <aclapi.h>
#include <windows.h>

#include <memory>
#include <vector>

namespace tavix {
namespace {

constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

// The text a path call writes into a buffer it is given. The call answers
// with the length written, or with the size it needs, which the next try
// gets; 0 (failure) and a second "too small" give the empty text.
template <typename Call>
std::wstring PathText(Call call) {
  std::vector<wchar_t> buffer(300);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) break;
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.assign(length, L'\0');
  }
  return std::wstring();
}

// The final path of an open entry as Windows names files elsewhere: without
// the "\\?\" or "\\?\UNC\" in front. Empty on failure.
std::wstring FinalPath(const ScopedHandle& entry) {
  if (!entry.valid()) return std::wstring();
  std::wstring path = PathText([&](wchar_t* buffer, DWORD size) {
    return GetFinalPathNameByHandleW(entry.get(), buffer, size, 0);
  });
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    path.replace(0, 8, L"\\\\");
  } else if (path.rfind(L"\\\\?\\", 0) == 0) {
    path.erase(0, 4);
  }
  return path;
}

// Letter case aside, as Windows itself looks names up.
bool SamePath(const std::wstring& one, const std::wstring& other) {
  return !one.empty() &&
         CompareStringOrdinal(one.data(), static_cast<int>(one.size()), other.data(),
                              static_cast<int>(other.size()), TRUE) == CSTR_EQUAL;
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  return !folder.empty() && folder.back() == L'\\' ? folder + name : folder + L'\\' + name;
}

// A folder on the way, opened as itself (a link at its end is not followed)
// or following everything. Without FILE_SHARE_DELETE, and with FILE_TRAVERSE,
// an access that takes part in sharing, so that while the handle is open no
// one can rename or delete the entry and put something else at its name;
// READ_CONTROL to read a link's owner.
ScopedHandle OpenFolder(const std::wstring& path, bool asItself) {
  return ScopedHandle(CreateFileW(
      path.c_str(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL, kShareReadWrite, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | (asItself ? FILE_FLAG_OPEN_REPARSE_POINT : 0),
      nullptr));
}

// Whether the run has more rights than the user's other processes: an
// elevated token, or SYSTEM. A token that cannot be read counts as elevated,
// the stricter of the two.
bool RunIsElevated() {
  ScopedHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return true;
  TOKEN_ELEVATION elevation{1};
  DWORD size = 0;
  if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) ||
      elevation.TokenIsElevated != 0) {
    return true;
  }
  // SYSTEM counts whether or not its token says it is elevated.
  union {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } user{};
  return !GetTokenInformation(token.get(), TokenUser, &user, sizeof user, &size) ||
         IsWellKnownSid(user.user.User.Sid, WinLocalSystemSid);
}

// Whether `entry` is owned by Administrators, SYSTEM or TrustedInstaller:
// owners that no one with fewer rights than an elevated run can give a link.
bool OwnedByAdministration(HANDLE entry) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(entry, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                      nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const std::unique_ptr<void, decltype(&LocalFree)> held(descriptor, LocalFree);
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID trustedInstaller = nullptr;
  const bool trusted =
      AllocateAndInitializeSid(&nt, 6, SECURITY_SERVICE_ID_BASE_RID, 956008885, 3418522649,
                               1831038044, 1853292631, 2271478464, 0, 0, &trustedInstaller) &&
      EqualSid(owner, trustedInstaller);
  if (trustedInstaller != nullptr) FreeSid(trustedInstaller);
  return trusted || IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
         IsWellKnownSid(owner, WinLocalSystemSid);
}

// The length of a full path's volume part with its backslash: "C:\" or
// "\\server\share\"; 0 for any other form.
std::size_t RootLength(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return 3;
  if (path.rfind(L"\\\\", 0) != 0 || path.rfind(L"\\\\?\\", 0) == 0 ||
      path.rfind(L"\\\\.\\", 0) == 0) {
    return 0;
  }
  const std::size_t share = path.find(L'\\', 2);
  const std::size_t end = share == std::wstring::npos ? share : path.find(L'\\', share + 1);
  return end == std::wstring::npos ? 0 : end + 1;
}

// The final path of the full path `folder`, or the empty text when the way
// there is refused. An elevated run walks it from the volume down: the drive
// letter (which may be mapped to a folder) is followed; every entry below is
// opened as itself and kept open in `pins`, so that nothing on the way can be
// swapped while the walk goes on; a reparse point is followed only when its
// owner is trusted; any other entry must be where the walk expects it, since
// a redirection that shows no reparse point cannot be told from a swap.
std::wstring CheckedFolder(const std::wstring& folder, std::vector<ScopedHandle>& pins) {
  if (!RunIsElevated()) return FinalPath(OpenFolder(folder, false));
  // The walk compares names, so short names are expanded first.
  const std::wstring path = PathText(
      [&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(folder.c_str(), buffer, size); });
  std::size_t start = RootLength(path);
  if (start == 0) return std::wstring();
  std::wstring final = FinalPath(OpenFolder(path.substr(0, start), false));
  while (start < path.size() && !final.empty()) {
    std::size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    const std::wstring prefix = path.substr(0, end);
    const std::wstring expected = Join(final, path.substr(start, end - start));
    start = end + 1;
    pins.push_back(OpenFolder(prefix, true));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!pins.back().valid() || !GetFileInformationByHandle(pins.back().get(), &information)) {
      return std::wstring();
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      final = FinalPath(pins.back());
      if (!SamePath(final, expected)) return std::wstring();
    } else if (OwnedByAdministration(pins.back().get())) {
      final = FinalPath(OpenFolder(prefix, false));
    } else {
      return std::wstring();
    }
  }
  return final;
}

// Whether the open `file` is a plain disk file of its own whose final path is
// `expected`.
bool IsPlainFileAt(const ScopedHandle& file, const std::wstring& expected) {
  BY_HANDLE_FILE_INFORMATION information{};
  return file.valid() && GetFileType(file.get()) == FILE_TYPE_DISK &&
         GetFileInformationByHandle(file.get(), &information) &&
         (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
         information.nNumberOfLinks == 1 && SamePath(FinalPath(file), expected);
}

}  // namespace

LogFile::LogFile(const std::wstring& path) {
  // "/" and a relative path may reach here; the walk needs the full path.
  const std::wstring full = PathText([&](wchar_t* buffer, DWORD size) {
    return GetFullPathNameW(path.c_str(), size, buffer, nullptr);
  });
  const std::size_t slash = full.rfind(L'\\');
  if (slash == std::wstring::npos) return;
  std::vector<ScopedHandle> pins;
  const std::wstring folder = CheckedFolder(full.substr(0, slash + 1), pins);
  if (folder.empty()) return;
  const std::wstring expected = Join(folder, full.substr(slash + 1));
  // Creation fails when anything at all stands at the name, a dangling link
  // included. DELETE access is asked for only here, to remove a file that
  // fails its checks through its own handle rather than by a name that may
  // have been swapped; the log is then opened again without it, since a
  // handle holding DELETE would keep a second run from opening the log.
  ScopedHandle created(CreateFileW(full.c_str(), DELETE | FILE_READ_ATTRIBUTES, kShareReadWrite,
                                   nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (created.valid() && !IsPlainFileAt(created, expected)) {
    FILE_DISPOSITION_INFO remove{TRUE};
    SetFileInformationByHandle(created.get(), FileDispositionInfo, &remove, sizeof remove);
    return;
  }
  created.reset();
  ScopedHandle file(CreateFileW(full.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, kShareReadWrite,
                                nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  // Emptied only after the checks, so that a refused file keeps its bytes.
  if (IsPlainFileAt(file, expected) && SetEndOfFile(file.get())) file_ = std::move(file);
}

void LogFile::Write(const std::string& bytes) {
  if (failed()) return;
  // This offset means the end of the file at the moment of the write: a
  // second run writing the same log adds its lines instead of overwriting.
  OVERLAPPED atEnd{};
  atEnd.Offset = atEnd.OffsetHigh = 0xFFFFFFFF;
  DWORD written = 0;
  if (!WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, &atEnd) ||
      written != bytes.size()) {
    failed_ = true;
  }
}

}  // namespace tavix
