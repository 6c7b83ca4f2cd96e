#include "log/folder_walk.h"

#include <windows.h>
#include <winternl.h>

#include "log/elevation.h"
#include "log/open_at.h"

namespace tavix {
namespace {

constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
// FILE_TRAVERSE, unlike the attribute rights, takes part in sharing: while a
// folder is held with it and without FILE_SHARE_DELETE, no one can rename or
// delete the folder and give its name to another entry.
constexpr ACCESS_MASK kFolderAccess = FILE_TRAVERSE | FILE_READ_ATTRIBUTES;

// The length of a full path's volume part with its backslash: "C:\",
// "\\server\share\", or either behind "\\?\" or "\\.\" ("\\?\UNC\server\share\"
// for a share), or "\\?\Volume{GUID}\"; 0 for any other form.
std::size_t RootLength(const std::wstring& path) {
  const bool prefixed = path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0;
  std::size_t start = 0;
  int names = 1;  // the drive or volume; a share is its server and its name
  if (prefixed && SameName(path.substr(4, 4), L"UNC\\")) {
    start = 8;
    names = 2;
  } else if (prefixed) {
    start = 4;
  } else if (path.rfind(L"\\\\", 0) == 0) {
    start = 2;
    names = 2;
  } else if (path.size() < 3 || path[1] != L':' || path[2] != L'\\') {
    return 0;
  }
  std::size_t end = start;
  for (int name = 0; name < names; ++name) {
    const std::size_t separator = path.find(L'\\', end);
    if (separator == std::wstring::npos || separator == end) return 0;
    end = separator + 1;
  }
  return end;
}

// `path` as `convert` (GetFullPathNameW's or GetLongPathNameW's form of
// call) gives it, of any length; empty when the call fails.
template <typename Convert>
std::wstring Converted(const std::wstring& path, Convert convert) {
  std::wstring converted(MAX_PATH, L'\0');
  DWORD length = convert(path.c_str(), converted.data(), MAX_PATH);
  if (length >= MAX_PATH) {
    converted.assign(length, L'\0');
    length = convert(path.c_str(), converted.data(), length);
  }
  converted.resize(length < converted.size() ? length : 0);
  return converted;
}

// The folder `path` (ending in '\') with each 8.3 short name it holds
// expanded, as the file system names the folders; `path` itself where that
// fails. A long name leaves no doubt which entry a name check means.
std::wstring LongFormOf(const std::wstring& path) {
  std::wstring converted = Converted(
      path, [](LPCWSTR from, LPWSTR to, DWORD size) { return GetLongPathNameW(from, to, size); });
  if (converted.empty()) return path;
  if (converted.back() != L'\\') converted += L'\\';
  return converted;
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
  return Converted(path, [](LPCWSTR from, LPWSTR to, DWORD size) {
    return GetFullPathNameW(from, size, to, nullptr);
  });
}

Folder OpenFolder(const std::wstring& given) {
  const std::wstring path = LongFormOf(given);
  const std::size_t rootLength = RootLength(path);
  if (rootLength == 0) return Folder();
  Folder folder;
  std::wstring walked = path.substr(0, rootLength);
  folder.pins.emplace_back(CreateFileW(walked.c_str(), FILE_TRAVERSE, kShareReadWrite, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder.pins.back().valid()) return Folder();
  const std::wstring below = path.substr(rootLength);  // each name with its '\'
  if (!below.empty() && !RunIsElevated()) {
    const std::wstring rest = below.substr(0, below.size() - 1);
    folder.pins.push_back(OpenAt(folder.pins.back().get(), rest, FILE_TRAVERSE, kShareReadWrite,
                                 FILE_OPEN, FILE_DIRECTORY_FILE));
    if (!folder.pins.back().valid()) return Folder();
    folder.name = NameOf(folder.pins.back().get(), true);
    return folder;
  }
  folder.name = NameOf(folder.pins.back().get(), true);
  std::size_t start = 0;
  for (std::size_t end = below.find(L'\\'); end != std::wstring::npos;
       end = below.find(L'\\', start)) {
    const std::wstring name = below.substr(start, end - start);
    start = end + 1;
    const HANDLE parent = folder.pins.back().get();
    folder.pins.push_back(OpenAt(parent, name, kFolderAccess, kShareReadWrite, FILE_OPEN,
                                 FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT));
    if (!folder.pins.back().valid()) return Folder();
    const HANDLE opened = folder.pins.back().get();
    ULONG tag = 0;
    if (!TagOf(opened, tag) || IsReparseTagNameSurrogate(tag)) return Folder();
    walked += name + L'\\';
    const std::wstring reached = NameOf(opened, true);
    if (!Reached(folder.name, name, reached, walked)) return Folder();
    folder.name = reached;
  }
  return folder;
}

}  // namespace tavix
