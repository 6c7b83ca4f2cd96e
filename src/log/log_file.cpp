#include "log/log_file.h"

#include <cstring>
#include <initializer_list>
#include <vector>

namespace tavix {
namespace {

constexpr DWORD kShareReadWrite = kFileShareRead | kFileShareWrite;

// The text a path call writes into a buffer it is given. The call answers
// with the length written, or with the size it needs, which the next try
// gets; 0 (failure) and a second "too small" give the empty text.
template <typename Call>
std::u16string PathText(Call call) {
  std::vector<char16_t> buffer(300);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) break;
    if (length < buffer.size()) return std::u16string(buffer.data(), length);
    buffer.assign(length, u'\0');
  }
  return std::u16string();
}

// The final path of an open entry as Windows names files elsewhere: without
// the "\\?\" or "\\?\UNC\" in front. Empty on failure.
std::u16string FinalPath(const ScopedHandle& entry) {
  if (!entry.valid()) return std::u16string();
  std::u16string path = PathText([&](char16_t* buffer, DWORD size) {
    return CurrentPlatform().GetFinalPathNameByHandleW(entry.get(), buffer, size, 0);
  });
  if (path.rfind(u"\\\\?\\UNC\\", 0) == 0) {
    path.replace(0, 8, u"\\\\");
  } else if (path.rfind(u"\\\\?\\", 0) == 0) {
    path.erase(0, 4);
  }
  return path;
}

// Letter case aside, as Windows itself looks names up.
bool SamePath(const std::u16string& one, const std::u16string& other) {
  return !one.empty() && CurrentPlatform().CompareStringOrdinal(
                             one.data(), static_cast<int>(one.size()), other.data(),
                             static_cast<int>(other.size()), 1) == kCstrEqual;
}

std::u16string Join(const std::u16string& folder, const std::u16string& name) {
  return !folder.empty() && folder.back() == u'\\' ? folder + name : folder + u'\\' + name;
}

// A folder on the way, opened as itself (a link at its end is not followed)
// or following everything. Without FILE_SHARE_DELETE, and with FILE_TRAVERSE,
// an access that takes part in sharing, so that while the handle is open no
// one can rename or delete the entry and put something else at its name;
// READ_CONTROL to read a link's owner.
ScopedHandle OpenFolder(const std::u16string& path, bool asItself) {
  return ScopedHandle(CurrentPlatform().CreateFileW(
      path.c_str(), kFileTraverse | kFileReadAttributes | kReadControl, kShareReadWrite, nullptr,
      kOpenExisting, kFileFlagBackupSemantics | (asItself ? kFileFlagOpenReparsePoint : 0),
      nullptr));
}

// Whether the `size` bytes at `sid` hold the SID S-1-5-<subAuthorities>.
bool IsNtSid(const BYTE* sid, std::size_t size, std::initializer_list<DWORD> subAuthorities) {
  static const BYTE kNtAuthority[6] = {0, 0, 0, 0, 0, 5};
  if (size < 8 + 4 * subAuthorities.size() || sid[0] != 1 || sid[1] != subAuthorities.size()) {
    return false;
  }
  for (int i = 0; i < 6; ++i) {
    if (sid[2 + i] != kNtAuthority[i]) return false;
  }
  const BYTE* stored = sid + 8;
  for (const DWORD expected : subAuthorities) {
    const DWORD value = stored[0] | stored[1] << 8 | stored[2] << 16 | DWORD{stored[3]} << 24;
    if (value != expected) return false;
    stored += 4;
  }
  return true;
}

// Whether the run has more rights than the user's other processes: an
// elevated token, or SYSTEM. A token that cannot be read counts as elevated,
// the stricter of the two.
bool RunIsElevated() {
  Platform& platform = CurrentPlatform();
  HANDLE opened = InvalidHandleValue();
  if (!platform.OpenProcessToken(platform.GetCurrentProcess(), kTokenQuery, &opened)) return true;
  const ScopedHandle token(opened);
  DWORD elevated = 1, size = 0;
  if (!platform.GetTokenInformation(token.get(), kTokenElevation, &elevated, sizeof elevated,
                                    &size) ||
      elevated != 0) {
    return true;
  }
  // SYSTEM counts whether or not its token says it is elevated.
  alignas(void*) BYTE user[128] = {};
  if (!platform.GetTokenInformation(token.get(), kTokenUser, user, sizeof user, &size)) {
    return true;
  }
  TokenUserInformation information{};
  std::memcpy(&information, user, sizeof information);
  const std::uintptr_t offset =
      reinterpret_cast<std::uintptr_t>(information.Sid) - reinterpret_cast<std::uintptr_t>(user);
  return offset >= sizeof user || IsNtSid(user + offset, sizeof user - offset, {18});
}

// Whether `entry` is owned by Administrators, SYSTEM or TrustedInstaller:
// owners that no one with fewer rights than an elevated run can give a link.
bool OwnedByAdministration(HANDLE entry) {
  alignas(DWORD) BYTE descriptor[256] = {};
  DWORD needed = 0;
  if (!CurrentPlatform().GetKernelObjectSecurity(entry, kOwnerSecurityInformation, descriptor,
                                                 sizeof descriptor, &needed)) {
    return false;
  }
  // A self-relative descriptor gives its owner as an offset, at byte 4.
  const DWORD offset =
      descriptor[4] | descriptor[5] << 8 | descriptor[6] << 16 | DWORD{descriptor[7]} << 24;
  if (offset < 8 || offset >= sizeof descriptor) return false;
  const BYTE* owner = descriptor + offset;
  const std::size_t size = sizeof descriptor - offset;
  return IsNtSid(owner, size, {32, 544}) || IsNtSid(owner, size, {18}) ||
         IsNtSid(owner, size, {80, 956008885, 3418522649, 1831038044, 1853292631, 2271478464});
}

// The length of a full path's volume part with its backslash: "C:\" or
// "\\server\share\"; 0 for any other form.
std::size_t RootLength(const std::u16string& path) {
  if (path.size() >= 3 && path[1] == u':' && path[2] == u'\\') return 3;
  if (path.rfind(u"\\\\", 0) != 0 || path.rfind(u"\\\\?\\", 0) == 0 ||
      path.rfind(u"\\\\.\\", 0) == 0) {
    return 0;
  }
  const std::size_t share = path.find(u'\\', 2);
  const std::size_t end = share == std::u16string::npos ? share : path.find(u'\\', share + 1);
  return end == std::u16string::npos ? 0 : end + 1;
}

// The final path of the full path `folder`, or the empty text when the way
// there is refused. An elevated run walks it from the volume down: the drive
// letter (which may be mapped to a folder) is followed; every entry below is
// opened as itself and kept open in `pins`, so that nothing on the way can be
// swapped while the walk goes on; a reparse point is followed only when its
// owner is trusted; any other entry must be where the walk expects it, since
// a redirection that shows no reparse point cannot be told from a swap.
std::u16string CheckedFolder(const std::u16string& folder, std::vector<ScopedHandle>& pins) {
  if (!RunIsElevated()) return FinalPath(OpenFolder(folder, false));
  // The walk compares names, so short names are expanded first.
  const std::u16string path = PathText([&](char16_t* buffer, DWORD size) {
    return CurrentPlatform().GetLongPathNameW(folder.c_str(), buffer, size);
  });
  std::size_t start = RootLength(path);
  if (start == 0) return std::u16string();
  std::u16string final = FinalPath(OpenFolder(path.substr(0, start), false));
  while (start < path.size() && !final.empty()) {
    std::size_t end = path.find(u'\\', start);
    if (end == std::u16string::npos) end = path.size();
    const std::u16string prefix = path.substr(0, end);
    const std::u16string expected = Join(final, path.substr(start, end - start));
    start = end + 1;
    pins.push_back(OpenFolder(prefix, true));
    FileInformation information{};
    if (!pins.back().valid() ||
        !CurrentPlatform().GetFileInformationByHandle(pins.back().get(), &information)) {
      return std::u16string();
    }
    if ((information.dwFileAttributes & kFileAttributeReparsePoint) == 0) {
      final = FinalPath(pins.back());
      if (!SamePath(final, expected)) return std::u16string();
    } else if (OwnedByAdministration(pins.back().get())) {
      final = FinalPath(OpenFolder(prefix, false));
    } else {
      return std::u16string();
    }
  }
  return final;
}

// Whether the open `file` is a plain disk file of its own whose final path is
// `expected`.
bool IsPlainFileAt(const ScopedHandle& file, const std::u16string& expected) {
  Platform& platform = CurrentPlatform();
  FileInformation information{};
  return file.valid() && platform.GetFileType(file.get()) == kFileTypeDisk &&
         platform.GetFileInformationByHandle(file.get(), &information) &&
         (information.dwFileAttributes & kFileAttributeReparsePoint) == 0 &&
         information.nNumberOfLinks == 1 && SamePath(FinalPath(file), expected);
}

}  // namespace

LogFile::LogFile(const std::u16string& path) {
  Platform& platform = CurrentPlatform();
  // "/" and a relative path may reach here; the walk needs the full path.
  const std::u16string full = PathText([&](char16_t* buffer, DWORD size) {
    return platform.GetFullPathNameW(path.c_str(), size, buffer, nullptr);
  });
  const std::size_t slash = full.rfind(u'\\');
  if (slash == std::u16string::npos) return;
  std::vector<ScopedHandle> pins;
  const std::u16string folder = CheckedFolder(full.substr(0, slash + 1), pins);
  if (folder.empty()) return;
  const std::u16string expected = Join(folder, full.substr(slash + 1));
  // Creation fails when anything at all stands at the name, a dangling link
  // included. DELETE access is asked for only here, to remove a file that
  // fails its checks through its own handle rather than by a name that may
  // have been swapped; the log is then opened again without it, since a
  // handle holding DELETE would keep a second run from opening the log.
  ScopedHandle created(
      platform.CreateFileW(full.c_str(), kDelete | kFileReadAttributes, kShareReadWrite, nullptr,
                           kCreateNew, kFileAttributeNormal | kFileFlagOpenReparsePoint, nullptr));
  if (created.valid() && !IsPlainFileAt(created, expected)) {
    FileDispositionInformation remove{1};
    platform.SetFileInformationByHandle(created.get(), kFileDispositionInfo, &remove,
                                        sizeof remove);
    return;
  }
  created.reset();
  ScopedHandle file(platform.CreateFileW(
      full.c_str(), kGenericWrite | kFileReadAttributes, kShareReadWrite, nullptr, kOpenExisting,
      kFileAttributeNormal | kFileFlagOpenReparsePoint, nullptr));
  // Emptied only after the checks, so that a refused file keeps its bytes.
  if (IsPlainFileAt(file, expected) && platform.SetEndOfFile(file.get())) {
    file_ = std::move(file);
  }
}

void LogFile::Write(const std::string& bytes) {
  if (failed()) return;
  // This offset means the end of the file at the moment of the write: a
  // second run writing the same log adds its lines instead of overwriting.
  Overlapped atEnd{};
  atEnd.Offset = atEnd.OffsetHigh = 0xFFFFFFFF;
  DWORD written = 0;
  if (!CurrentPlatform().WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                   &written, &atEnd) ||
      written != bytes.size()) {
    failed_ = true;
  }
}

}  // namespace tavix
