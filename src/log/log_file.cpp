#include "log/log_file.h"

#include <aclapi.h>
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace tavix {
namespace {

constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kShareAll = kShareReadWrite | FILE_SHARE_DELETE;
// FILE_TRAVERSE, unlike the attribute and control rights, takes part in
// sharing: while a folder is held with it and without FILE_SHARE_DELETE, no
// one can rename or delete the folder and give its name to another entry.
// READ_CONTROL reads a link's owner and access list.
constexpr ACCESS_MASK kFolderAccess = FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL;

// Opens `name` (one or more names joined by '\') relative to the open folder
// `folder`. Empty when the open fails.
ScopedHandle OpenAt(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
                    ULONG disposition, ULONG options) {
  if (name.size() > UNICODE_STRING_MAX_CHARS) return ScopedHandle();
  UNICODE_STRING text;
  text.Length = text.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  text.Buffer = const_cast<PWSTR>(name.c_str());
  OBJECT_ATTRIBUTES attributes{};
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK status{};
  HANDLE opened = nullptr;
  // SYNCHRONIZE and synchronous I/O, as CreateFileW gives, so that the Win32
  // calls on the handle wait for their answers.
  if (!NT_SUCCESS(NtCreateFile(&opened, access | SYNCHRONIZE, &attributes, &status, nullptr,
                               FILE_ATTRIBUTE_NORMAL, share, disposition,
                               options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0))) {
    return ScopedHandle();
  }
  return ScopedHandle(opened);
}

// The reparse tag of an open entry, 0 for none; false when it cannot be read.
bool TagOf(HANDLE entry, ULONG& tag) {
  FILE_ATTRIBUTE_TAG_INFO information{};
  if (!GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &information,
                                    sizeof information)) {
    return false;
  }
  // The tag means something only where the attribute says so.
  tag = (information.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? information.ReparseTag : 0;
  return true;
}

// The path of an open entry on its volume as its file system names it
// ("\tavix\temp\" for a folder, with the backslash), or empty where it
// names none. No volume name is asked for: that needs the mount manager,
// which does not know every volume.
std::wstring NameOf(HANDLE entry, bool folder) {
  // Room for the longest name Windows has, 32767 characters.
  constexpr std::size_t kBytes = 65536;
  std::vector<DWORD> buffer((sizeof(FILE_NAME_INFO) + kBytes) / sizeof(DWORD));
  auto* information = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
  if (!GetFileInformationByHandleEx(entry, FileNameInfo, information,
                                    static_cast<DWORD>(buffer.size() * sizeof(DWORD)))) {
    return std::wstring();
  }
  std::wstring name(information->FileName,
                    std::min<std::size_t>(information->FileNameLength, kBytes) / sizeof(wchar_t));
  if (folder && !name.empty() && name.back() != L'\\') name += L'\\';
  return name;
}

// Whether `entry`'s file system names it `expected`, letter case aside, as
// Windows itself looks names up. True when either name is unknown: Windows
// shows every link on the way as a reparse point, so the names only add a
// check for a file system that follows a link without showing one (Wine
// follows Linux links so) but names where it led; where names are not given,
// a run must not lose its log for it.
bool NamedAs(HANDLE entry, const std::wstring& expected) {
  const std::wstring name = NameOf(entry, false);
  return name.empty() || expected.empty() ||
         CompareStringOrdinal(name.data(), static_cast<int>(name.size()), expected.data(),
                              static_cast<int>(expected.size()), TRUE) == CSTR_EQUAL;
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

// Whether only Administrators, SYSTEM and TrustedInstaller can change the
// open link `link`. Owning a link is not enough: an administrator's junction
// in a user's folder usually inherits the user's full control, and
// re-pointing it keeps its owner. The owner counts too, since an owner may
// always rewrite the access list.
bool OnlyAdministrationCanChange(HANDLE link) {
  PSID owner = nullptr;
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(link, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                      &owner, nullptr, &list, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const std::unique_ptr<void, decltype(&LocalFree)> heldDescriptor(descriptor, LocalFree);
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID trustedInstaller = nullptr;
  if (!AllocateAndInitializeSid(&nt, 6, SECURITY_SERVICE_ID_BASE_RID, 956008885, 3418522649,
                                1831038044, 1853292631, 2271478464, 0, 0, &trustedInstaller)) {
    return false;
  }
  const std::unique_ptr<void, decltype(&FreeSid)> heldSid(trustedInstaller, FreeSid);
  const auto trusted = [&](PSID sid) {
    return IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
           IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinCreatorOwnerSid) ||
           EqualSid(sid, trustedInstaller);
  };
  // No access list at all grants everyone everything. A valid list is one
  // whose entries and their SIDs lie within it, so reading them stays in
  // bounds.
  if (owner == nullptr || !trusted(owner) || list == nullptr || !IsValidAcl(list)) return false;
  constexpr ACCESS_MASK kChanges = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                   FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                   WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
  for (DWORD index = 0; index < list->AceCount; ++index) {
    ACCESS_ALLOWED_ACE* entry = nullptr;
    if (!GetAce(list, index, reinterpret_cast<void**>(&entry))) return false;
    // A denial grants nothing, nor does an entry that is only handed down to
    // new entries inside.
    if (entry->Header.AceType == ACCESS_DENIED_ACE_TYPE ||
        (entry->Header.AceFlags & INHERIT_ONLY_ACE) != 0 || (entry->Mask & kChanges) == 0) {
      continue;
    }
    // Other kinds of entry keep their SID elsewhere; as rare as they are on
    // files, one that grants a change refuses the link rather than be read.
    if ((entry->Header.AceType != ACCESS_ALLOWED_ACE_TYPE &&
         entry->Header.AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE) ||
        !trusted(&entry->SidStart)) {
      return false;
    }
  }
  return true;
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

// The log's folder, open, and every folder and link opened on the way to it,
// open as well (the last one is the folder; none when the way is refused);
// with its path on its volume as the file system names it, or empty.
struct Folder {
  std::vector<ScopedHandle> pins;
  std::wstring name;
};

// Opens the full path `path` (ending in '\') as LogFile describes.
Folder OpenFolder(const std::wstring& path) {
  Folder folder;
  const std::size_t rootLength = RootLength(path);
  if (rootLength == 0) return folder;
  folder.pins.emplace_back(CreateFileW(path.substr(0, rootLength).c_str(), FILE_TRAVERSE,
                                       kShareReadWrite, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder.pins.back().valid()) return Folder();
  const std::wstring below = path.substr(rootLength);  // each name with its '\'
  if (!below.empty() && !RunIsElevated()) {
    // Whoever could plant a link here already has the run's rights.
    folder.pins.push_back(OpenAt(folder.pins.back().get(), below.substr(0, below.size() - 1),
                                 FILE_TRAVERSE, kShareReadWrite, FILE_OPEN, FILE_DIRECTORY_FILE));
    if (!folder.pins.back().valid()) return Folder();
    folder.name = NameOf(folder.pins.back().get(), true);
    return folder;
  }
  folder.name = NameOf(folder.pins.back().get(), true);
  for (std::size_t start = 0, end = 0; (end = below.find(L'\\', start)) != std::wstring::npos;
       start = end + 1) {
    const std::wstring name = below.substr(start, end - start);
    const HANDLE parent = folder.pins.back().get();
    folder.pins.push_back(OpenAt(parent, name, kFolderAccess, kShareReadWrite, FILE_OPEN,
                                 FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT));
    ULONG tag = 0;
    if (!folder.pins.back().valid() || !TagOf(folder.pins.back().get(), tag)) return Folder();
    if (!IsReparseTagNameSurrogate(tag)) {
      if (!folder.name.empty()) folder.name += name + L'\\';
      continue;
    }
    if (!OnlyAdministrationCanChange(folder.pins.back().get())) return Folder();
    // The link stays open, so it cannot be swapped before this open follows
    // it; where it leads is held like every folder on the way.
    folder.pins.push_back(
        OpenAt(parent, name, kFolderAccess, kShareReadWrite, FILE_OPEN, FILE_DIRECTORY_FILE));
    if (!folder.pins.back().valid()) return Folder();
    folder.name = NameOf(folder.pins.back().get(), true);
  }
  return folder;
}

// A handle to write the open `entry` through, when the entry passes the
// checks at the log's name and is `expected` by name; empty otherwise.
ScopedHandle Kept(const ScopedHandle& entry, const std::wstring& expected) {
  BY_HANDLE_FILE_INFORMATION information{};
  ULONG tag = 0;
  if (GetFileType(entry.get()) != FILE_TYPE_DISK ||
      !GetFileInformationByHandle(entry.get(), &information) || information.nNumberOfLinks != 1 ||
      !TagOf(entry.get(), tag) || IsReparseTagNameSurrogate(tag) ||
      !NamedAs(entry.get(), expected)) {
    return ScopedHandle();
  }
  // Sharing delete, as the first handle may hold DELETE. A reparse point that
  // is not a link belongs to a filter (cloud files, deduplication,
  // compression) that must see the writes, so it is opened through that
  // filter; as that open follows whatever stands there by then, it is kept
  // only if it reached the file checked. Any other open follows nothing.
  ScopedHandle kept(ReOpenFile(entry.get(), GENERIC_WRITE, kShareAll,
                               tag == 0 ? FILE_FLAG_OPEN_REPARSE_POINT : 0));
  BY_HANDLE_FILE_INFORMATION reached{};
  if (tag != 0 && (!GetFileInformationByHandle(kept.get(), &reached) ||
                   reached.dwVolumeSerialNumber != information.dwVolumeSerialNumber ||
                   reached.nFileIndexHigh != information.nFileIndexHigh ||
                   reached.nFileIndexLow != information.nFileIndexLow)) {
    return ScopedHandle();
  }
  return kept;
}

// Deletes the open `file`, which this run created and refused, through its
// handle: by its name it might be another entry by now. Windows refuses to
// delete a read-only file, and someone may have made it so since; then the
// attribute goes first. Should Windows refuse even so, the empty file stays
// and the run goes on without a log, as for any refusal: every other way to
// the file goes by its name, and the file holds no one's bytes.
void Remove(HANDLE file) {
  FILE_DISPOSITION_INFO remove{TRUE};
  if (SetFileInformationByHandle(file, FileDispositionInfo, &remove, sizeof remove)) return;
  FILE_BASIC_INFO attributes{};
  attributes.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  if (SetFileInformationByHandle(file, FileBasicInfo, &attributes, sizeof attributes)) {
    SetFileInformationByHandle(file, FileDispositionInfo, &remove, sizeof remove);
  }
}

}  // namespace

LogFile::LogFile(const std::wstring& path) {
  // "/" and a relative path may reach here; the walk needs the full path,
  // which may be longer than MAX_PATH.
  std::wstring full(MAX_PATH, L'\0');
  DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, &full[0], nullptr);
  if (length >= MAX_PATH) {
    full.assign(length, L'\0');
    length = GetFullPathNameW(path.c_str(), length, &full[0], nullptr);
  }
  full.resize(length < full.size() ? length : 0);
  const std::size_t slash = full.rfind(L'\\');
  if (slash == std::wstring::npos || slash + 1 == full.size()) return;
  const std::wstring name = full.substr(slash + 1);
  const Folder folder = OpenFolder(full.substr(0, slash + 1));
  if (folder.pins.empty()) return;
  const HANDLE at = folder.pins.back().get();
  const std::wstring expected = folder.name.empty() ? folder.name : folder.name + name;
  constexpr ULONG kFile = FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT;
  // Creation fails when anything at all stands at the name, a dangling link
  // included. DELETE (and the attributes) to remove a refused file again;
  // no delete sharing, so no one can rename it meanwhile.
  ScopedHandle entry = OpenAt(at, name, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                              kShareReadWrite, FILE_CREATE, kFile);
  const bool created = entry.valid();
  if (!created) entry = OpenAt(at, name, FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, kFile);
  if (!entry.valid()) return;
  ScopedHandle kept = Kept(entry, expected);
  // Emptied only after the checks, so that a refused file keeps its bytes.
  if (kept.valid() && (created || SetEndOfFile(kept.get()))) {
    file_ = std::move(kept);
  } else if (created) {
    Remove(entry.get());
  }
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
