#include "log/run_log.h"

#include "log/text.h"

namespace tavix {
namespace {

RunLog* g_runLog = nullptr;

}  // namespace

const char16_t kRunLogFileName[] = u"VelmoranTavix_TransformsCleanUp.log";

std::string ToCrLf(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size() + 2);
  for (const char c : utf8) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

RunLog::RunLog(const std::u16string& path)
    : memoryText_(new std::u16string()), filePath_(new std::u16string(path)) {
  toFile_ = true;
  timeStamps_ = true;
  fileStream_.reset(new LogFile(*filePath_));
}

void RunLog::WriteLogLine(const std::u16string& message) {
  std::u16string line;
  if (timeStamps_ && !message.empty()) {
    SystemTime now{};
    CurrentPlatform().GetLocalTime(&now);
    line = FormatWideString(u"%02d:%02d:%02d", now.wHour, now.wMinute, now.wSecond);
    line += u"  ";
  }
  line += message;
  line += u'\n';
  if (toFile_) {
    fileStream_->Write(ToCrLf(WideToUtf8(line)));
  } else {
    *memoryText_ += line;
  }
}

RunLog* GetRunLog(const std::u16string& folder) {
  if (g_runLog != nullptr) return g_runLog;
  std::u16string path = folder;
  if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path += u'/';
  path += kRunLogFileName;
  g_runLog = new RunLog(path);
  return g_runLog;
}

void ResetRunLogForTesting() {
  delete g_runLog;
  g_runLog = nullptr;
}

}  // namespace tavix
