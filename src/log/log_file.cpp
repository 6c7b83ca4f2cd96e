#include "log/log_file.h"

#include <windows.h>
#include <winternl.h>

#include "log/folder_walk.h"
#include "log/open_at.h"

namespace tavix {
namespace {

constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kShareAll = kShareReadWrite | FILE_SHARE_DELETE;

// Whether `entry`'s file system names it `expected`, letter case aside. True
// when either name is unknown: Windows shows every link on the way as a
// reparse point, so the names only add a check for a file system that
// follows a link without showing one (Wine follows Linux links so) but names
// where it led; where names are not given, a run must not lose its log for
// it.
bool NamedAs(HANDLE entry, const std::wstring& expected) {
  const std::wstring name = NameOf(entry, false);
  return name.empty() || expected.empty() || SameName(name, expected);
}

// Whether the open handles `a` and `b` are one file: one volume, one index.
bool SameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION one{};
  BY_HANDLE_FILE_INFORMATION other{};
  if (!GetFileInformationByHandle(a, &one)) return false;
  if (!GetFileInformationByHandle(b, &other)) return false;
  return one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
         one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}

// A handle to write the open `entry` through, when the entry passes the
// checks at the log's name and is `expected` by name; empty otherwise.
ScopedHandle Kept(const ScopedHandle& entry, const std::wstring& expected) {
  if (GetFileType(entry.get()) != FILE_TYPE_DISK) return ScopedHandle();
  // The link count alone: GetFileInformationByHandle would also ask the
  // volume for its serial number, which under Wine takes a round trip to
  // another process on every run.
  FILE_STANDARD_INFO standard{};
  if (!GetFileInformationByHandleEx(entry.get(), FileStandardInfo, &standard, sizeof standard)) {
    return ScopedHandle();
  }
  if (standard.NumberOfLinks != 1) return ScopedHandle();
  ULONG tag = 0;
  if (!TagOf(entry.get(), tag)) return ScopedHandle();
  if (IsReparseTagNameSurrogate(tag)) return ScopedHandle();
  if (!NamedAs(entry.get(), expected)) return ScopedHandle();
  // Sharing delete, as the first handle may hold DELETE. A reparse point that
  // is not a link belongs to a filter (cloud files, deduplication,
  // compression) that must see the writes, so it is opened through that
  // filter; as that open follows whatever stands there by then, it is kept
  // only if it reached the file checked. Any other open follows nothing.
  ScopedHandle kept(ReOpenFile(entry.get(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, kShareAll,
                               tag == 0 ? FILE_FLAG_OPEN_REPARSE_POINT : 0));
  if (tag == 0) return kept;
  return SameFile(entry.get(), kept.get()) ? std::move(kept) : ScopedHandle();
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
  const std::wstring full = FullPathOf(path);
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
  bool emptied = created;
  if (kept.valid() && !created) emptied = SetEndOfFile(kept.get()) != FALSE;
  if (kept.valid() && emptied) {
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
  atEnd.Offset = 0xFFFFFFFF;
  atEnd.OffsetHigh = 0xFFFFFFFF;
  DWORD written = 0;
  const BOOL wrote =
      WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, &atEnd);
  if (!wrote || written != bytes.size()) failed_ = true;
}

}  // namespace tavix
