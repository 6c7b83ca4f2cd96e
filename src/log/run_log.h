// The run log: the one process-wide account of what a run did.
//
// Each line is the local time of day ("HH:MM:SS"), two blanks and the message,
// written as UTF-8 without a byte-order mark; every LF is stored as CR LF. An
// empty message is a bare line end. Every line reaches the operating system
// as it is written. Logging never fails towards its callers.
#ifndef TAVIX_LOG_RUN_LOG_H_
#define TAVIX_LOG_RUN_LOG_H_

#include <memory>
#include <string>

#include "log/log_file.h"

namespace tavix {

class RunLog {
 public:
  // Opens (creates or empties) the file at `path`, unless its checks refuse
  // it (see LogFile). A failed or refused open is silent.
  explicit RunLog(const std::wstring& path);
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Writes one line: time stamp and two blanks (for a non-empty message),
  // the message unchanged, and a line end.
  void WriteLogLine(const std::wstring& message);

 private:
  std::unique_ptr<std::wstring> memoryText_;
  std::unique_ptr<std::wstring> filePath_;
  bool toFile_ = false;
  std::unique_ptr<LogFile> fileStream_;
  bool timeStamps_ = false;
};

// Returns the process-wide log, never null. The first call creates it in
// `folder` (the current directory when empty); later calls ignore `folder`.
// The log is never destroyed and its file stays open until the process ends.
RunLog* GetRunLog(const std::wstring& folder = std::wstring());

// Destroys the process-wide log, closing its file as the end of the process
// does, so that the next GetRunLog creates a new one.
void ResetRunLogForTesting();

// printf-style formatting with the C runtime's wide rules; never cut. A null
// format, or output of no characters, gives the empty string.
std::wstring FormatWideString(const wchar_t* format, ...);

// UTF-8 form of `text`, an unpaired surrogate becoming U+FFFD.
std::string WideToUtf8(const std::wstring& text);

}  // namespace tavix

#endif  // TAVIX_LOG_RUN_LOG_H_
