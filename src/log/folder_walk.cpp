#include "log/folder_walk.h"

#include <windows.h>
#include <winternl.h>
// After winternl.h, which it completes with REPARSE_DATA_BUFFER.
#include <ntdef.h>
#include <winioctl.h>

#include <cstring>

#include "log/link_trust.h"
#include "log/open_at.h"

namespace tavix {
namespace {

constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
// FILE_TRAVERSE, unlike the attribute and control rights, takes part in
// sharing: while a folder is held with it and without FILE_SHARE_DELETE, no
// one can rename or delete the folder and give its name to another entry.
// READ_CONTROL reads a link's owner and access list.
constexpr ACCESS_MASK kFolderAccess = FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL;
// Windows itself follows at most 63 reparse points on one path.
constexpr int kMostLinks = 63;

// The length of a full path's volume part with its backslash: "C:\",
// "\\server\share\" or "\\?\Volume{GUID}\"; 0 for any other form.
std::size_t RootLength(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return 3;
  constexpr std::size_t kVolumeLength = 49;
  if (path.rfind(L"\\\\?\\Volume{", 0) == 0) {
    const bool volume = path.size() >= kVolumeLength && path[47] == L'}' && path[48] == L'\\';
    return volume ? kVolumeLength : 0;
  }
  if (path.rfind(L"\\\\", 0) != 0 || path.rfind(L"\\\\?\\", 0) == 0 ||
      path.rfind(L"\\\\.\\", 0) == 0) {
    return 0;
  }
  const std::size_t share = path.find(L'\\', 2);
  if (share == std::wstring::npos) return 0;
  const std::size_t end = path.find(L'\\', share + 1);
  return end == std::wstring::npos ? 0 : end + 1;
}

// Where the open link `link` leads, as a full path ending in '\': its
// substitute name, a relative symbolic link's resolved against `parent`, the
// full path of the folder that holds the link. Empty when it cannot be read,
// or names no drive, share or volume.
std::wstring TargetOf(HANDLE link, const std::wstring& parent) {
  std::vector<DWORD> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE / sizeof(DWORD));
  DWORD size = 0;
  if (!DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                       MAXIMUM_REPARSE_DATA_BUFFER_SIZE, &size, nullptr)) {
    return std::wstring();
  }
  const auto* start = reinterpret_cast<const BYTE*>(buffer.data());
  const auto* data = reinterpret_cast<const REPARSE_DATA_BUFFER*>(buffer.data());
  const BYTE* names = nullptr;
  std::size_t offset = 0;
  std::size_t length = 0;
  bool relative = false;
  if (data->ReparseTag == IO_REPARSE_TAG_MOUNT_POINT) {
    const auto& mountPoint = data->MountPointReparseBuffer;
    names = reinterpret_cast<const BYTE*>(mountPoint.PathBuffer);
    offset = mountPoint.SubstituteNameOffset;
    length = mountPoint.SubstituteNameLength;
  } else if (data->ReparseTag == IO_REPARSE_TAG_SYMLINK) {
    const auto& symbolicLink = data->SymbolicLinkReparseBuffer;
    names = reinterpret_cast<const BYTE*>(symbolicLink.PathBuffer);
    offset = symbolicLink.SubstituteNameOffset;
    length = symbolicLink.SubstituteNameLength;
    relative = (symbolicLink.Flags & SYMLINK_FLAG_RELATIVE) != 0;
  } else {
    return std::wstring();
  }
  // The fields lie within the buffer, which is zero beyond what was read;
  // the name must lie within what was read.
  const std::size_t begin = static_cast<std::size_t>(names - start) + offset;
  if (size > buffer.size() * sizeof(DWORD) || begin + length > size) return std::wstring();
  std::wstring target(length / sizeof(wchar_t), L'\0');
  std::memcpy(target.data(), start + begin, target.size() * sizeof(wchar_t));

  std::wstring full;
  if (relative) {
    // One that starts at its volume's root is not followed.
    if (target.empty() || target[0] == L'\\') return std::wstring();
    full = FullPathOf(parent + target);
  } else if (target.rfind(L"\\??\\Volume{", 0) == 0) {
    full = L"\\\\?\\" + target.substr(4);
  } else if (target.rfind(L"\\??\\UNC\\", 0) == 0) {
    full = FullPathOf(L"\\\\" + target.substr(8));
  } else if (target.rfind(L"\\??\\", 0) == 0) {
    // The file system takes "." and ".." in a substitute name as names; as
    // the walk opens each name relative to its folder, they go first.
    full = FullPathOf(target.substr(4));
  }
  if (!full.empty() && full.back() != L'\\') full += L'\\';
  return full;
}

// Whether the folder that the walk opened as `walked` (its full path as
// walked), and that its file system names `reached`, is where WoW64 leads a
// 32-bit program that opens the system folder: the system folder's 32-bit
// twin. The one redirection below a volume that Windows makes of its own.
bool RedirectedByWindows(const std::wstring& walked, const std::wstring& reached) {
  wchar_t system[MAX_PATH + 1] = {};
  wchar_t twin[MAX_PATH + 1] = {};
  const UINT systemLength = GetSystemDirectoryW(system, MAX_PATH);
  const UINT twinLength = GetSystemWow64DirectoryW(twin, MAX_PATH);
  if (systemLength == 0 || systemLength >= MAX_PATH || twinLength < 3 || twinLength >= MAX_PATH) {
    return false;
  }
  // Both on one volume, the twin named on it without its drive: "\Windows\SysWOW64\".
  const std::wstring twinName = std::wstring(twin + 2, twinLength - 2) + L'\\';
  return SameName(walked, std::wstring(system, systemLength) + L'\\') &&
         SameName(reached, twinName);
}

// Whether the folder opened as `name` below the folder that its file system
// names `parentName`, and named `reached` itself, is that folder's entry of
// that name. Where either name is unknown, nothing is refused for it.
bool Reached(const std::wstring& parentName, const std::wstring& name, const std::wstring& reached,
             const std::wstring& walked) {
  if (parentName.empty() || reached.empty()) return true;
  if (SameName(reached, parentName + name + L'\\')) return true;
  return RedirectedByWindows(walked, reached);
}

}  // namespace

std::wstring FullPathOf(const std::wstring& path) {
  std::wstring full(MAX_PATH, L'\0');
  DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full.data(), nullptr);
  if (length >= MAX_PATH) {
    full.assign(length, L'\0');
    length = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
  }
  full.resize(length < full.size() ? length : 0);
  return full;
}

Folder OpenFolder(const std::wstring& path) {
  Folder folder;
  std::wstring way = path;  // what is left to walk, from its volume
  for (int links = 0; links <= kMostLinks; ++links) {
    const std::size_t rootLength = RootLength(way);
    if (rootLength == 0) return Folder();
    std::wstring walked = way.substr(0, rootLength);
    folder.pins.emplace_back(CreateFileW(walked.c_str(), FILE_TRAVERSE, kShareReadWrite, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder.pins.back().valid()) return Folder();
    const std::wstring below = way.substr(rootLength);  // each name with its '\'
    if (links == 0 && !below.empty() && !RunIsElevated()) {
      // Whoever could plant a link here already has the run's rights.
      const std::wstring rest = below.substr(0, below.size() - 1);
      folder.pins.push_back(OpenAt(folder.pins.back().get(), rest, FILE_TRAVERSE, kShareReadWrite,
                                   FILE_OPEN, FILE_DIRECTORY_FILE));
      if (!folder.pins.back().valid()) return Folder();
      folder.name = NameOf(folder.pins.back().get(), true);
      return folder;
    }
    folder.name = NameOf(folder.pins.back().get(), true);
    std::wstring next;  // where a link on the way leads, and the rest of the way
    std::size_t start = 0;
    std::size_t end = below.find(L'\\');
    while (end != std::wstring::npos && next.empty()) {
      const std::wstring name = below.substr(start, end - start);
      const HANDLE parent = folder.pins.back().get();
      folder.pins.push_back(OpenAt(parent, name, kFolderAccess, kShareReadWrite, FILE_OPEN,
                                   FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT));
      if (!folder.pins.back().valid()) return Folder();
      const HANDLE opened = folder.pins.back().get();
      ULONG tag = 0;
      if (!TagOf(opened, tag)) return Folder();
      if (IsReparseTagNameSurrogate(tag)) {
        // The link stays open, so no one can re-point it meanwhile.
        if (!OnlyAdministrationCanChange(opened)) return Folder();
        next = TargetOf(opened, walked);
        if (next.empty()) return Folder();
        next += below.substr(end + 1);
      } else {
        walked += name + L'\\';
        const std::wstring reached = NameOf(opened, true);
        if (!Reached(folder.name, name, reached, walked)) return Folder();
        folder.name = reached;
      }
      start = end + 1;
      end = below.find(L'\\', start);
    }
    if (next.empty()) return folder;
    way = next;
  }
  return Folder();  // a loop, or a longer chain than Windows follows
}

}  // namespace tavix
