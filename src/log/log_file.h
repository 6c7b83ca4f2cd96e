// The run log's file, opened so that nothing is ever created, emptied or
// written through a link: the log is made by a fixed name in a folder that
// others may be able to write, by a process that often runs elevated.
#ifndef TAVIX_LOG_LOG_FILE_H_
#define TAVIX_LOG_LOG_FILE_H_

#include <string>

#include "log/scoped_handle.h"

namespace tavix {

// Owns the log's file, at the full path that `path` makes, in the folder
// that OpenFolder opens; the folder and everything on the way to it stay
// open until the log is open.
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
