// The run log's file, opened so that nothing is ever created, emptied or
// written through a link: the log is made by a fixed name in a folder that
// others may be able to write, by a process that often runs elevated.
#ifndef TAVIX_LOG_LOG_FILE_H_
#define TAVIX_LOG_LOG_FILE_H_

#include <string>

#include "log/scoped_handle.h"

namespace tavix {

// Owns the log's file. `path` is made a full path, of any length, whose volume
// is a drive ("C:\") or a share ("\\server\share\"); any other form is
// refused. Every name on the way is looked up once, relative to the folder
// before it, which stays open without delete sharing until the log is open,
// so that nothing on the way can be renamed or replaced meanwhile.
//
// A run that is not elevated opens its folder following every link. An
// elevated run (or one as SYSTEM) opens the volume following (a drive letter
// mapped to a folder is not a link), then each folder below it as itself. A
// link there (a reparse point whose tag is a name surrogate: junction,
// symbolic link, volume mount point) is followed only when its owner, and
// every entry of its access list that grants a right to write, delete, or
// change its access list or owner, is Administrators, SYSTEM or
// TrustedInstaller (CREATOR OWNER counting as the owner), and where it leads
// is held open like the rest of the way; any other link is refused. Other
// reparse points (cloud files, deduplication, compression) are plain folders
// and files.
//
// The log is created only as a new file, or else the entry at the name is
// opened without following a link. It is kept only if it is a disk file, not
// a link, not one of several hard links and, where the file system names its
// entries, named by the way taken to it (letter case aside).
// Only then is an earlier log emptied; a refused entry keeps every byte, and
// a file this open created and refused is deleted through its own handle. The
// kept file is written through a handle of that same open, never opened again
// by name. A refused or failed open, and a file whose write failed once, take
// no more bytes.
class LogFile {
 public:
  explicit LogFile(const std::wstring& path);
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // Hands `bytes` to the operating system in one write at the file's current
  // end, unless the file failed.
  void Write(const std::string& bytes);
  bool failed() const { return !file_.valid() || failed_; }

 private:
  ScopedHandle file_;
  bool failed_ = false;
};

}  // namespace tavix

#endif  // TAVIX_LOG_LOG_FILE_H_
