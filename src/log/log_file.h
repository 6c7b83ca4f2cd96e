// The run log's file, opened so that nothing is ever created, emptied or
// written through a link: the log is made by a fixed name in a folder that
// others may be able to write, by a process that often runs elevated.
#ifndef TAVIX_LOG_LOG_FILE_H_
#define TAVIX_LOG_LOG_FILE_H_

#include <string>

#include "log/scoped_handle.h"

namespace tavix {

// Owns the log's file. Opening it first checks the folder. A run that is not
// elevated takes the folder wherever it leads. An elevated run (or one as
// SYSTEM) follows the drive letter, which may be mapped to a folder, and a
// junction or folder link on the way only when its owner is Administrators,
// SYSTEM or TrustedInstaller; it refuses any other link, and any folder that
// is not where its path says. The file is then created only as a new plain
// file, or else the entry at the name is opened without following a link. It
// is kept only if it is a disk file that is not a reparse point, not one of
// several hard links, and whose final path is the checked folder's final path
// and the file's name (letter case aside); only then is it emptied. A file
// this open created and refused is removed again; any other refused entry is
// left as it was. A refused or failed open, and a file whose write failed
// once, take no more bytes.
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
