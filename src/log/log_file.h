// The run log's file, opened so that nothing is ever written through a link
// planted at its name: the log is made by a fixed name in a folder that
// others may be able to write, by a process that often runs elevated.
#ifndef TAVIX_LOG_LOG_FILE_H_
#define TAVIX_LOG_LOG_FILE_H_

#include <string>

#include "platform/platform.h"

namespace tavix {

// Owns the log's file. Opening it creates the file if it is missing, checks
// that the name is a plain disk file of its own (not a reparse point such as
// a symbolic link, not one of several hard links, and at the very path asked
// for, so no folder on the way is redirected), and only then empties it. A
// file that fails a check is closed untouched; like a file that cannot be
// opened, and like a file whose write failed once, it takes no more bytes.
class LogFile {
 public:
  explicit LogFile(const std::u16string& path);
  ~LogFile();
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // Hands `bytes` to the operating system, unless the file failed.
  void Write(const std::string& bytes);
  bool failed() const { return file_ == InvalidHandleValue() || failed_; }

 private:
  HANDLE file_;
  bool failed_ = false;
};

}  // namespace tavix

#endif  // TAVIX_LOG_LOG_FILE_H_
