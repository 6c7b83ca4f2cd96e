#include "log/run_log.h"

#include <stdarg.h>
#include <stdio.h>
#include <wchar.h>
#include <windows.h>

#include <vector>

namespace tavix {
namespace {

RunLog* g_runLog = nullptr;

constexpr wchar_t kRunLogFileName[] = L"VelmoranTavix_TransformsCleanUp.log";

}  // namespace

std::wstring FormatWideString(const wchar_t* format, ...) {
  std::wstring result;
  if (format == nullptr) return result;
  va_list args;
  va_start(args, format);
  va_list countArgs;
  va_copy(countArgs, args);
  const int needed = _vscwprintf(format, countArgs);
  va_end(countArgs);
  if (needed > 0) {
    const std::size_t size = static_cast<std::size_t>(needed) + 1;
    std::vector<wchar_t> buffer(size, L'\0');
    if (_vsnwprintf_s(buffer.data(), size, size, format, args) > 0) result = buffer.data();
  }
  va_end(args);
  return result;
}

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int length = static_cast<int>(text.size());
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string bytes(static_cast<std::size_t>(size), '\0');
  const int written =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &bytes[0], size, nullptr, nullptr);
  bytes.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return bytes;
}

RunLog::RunLog(const std::wstring& path)
    : memoryText_(new std::wstring()), filePath_(new std::wstring(path)) {
  toFile_ = true;
  timeStamps_ = true;
  fileStream_.reset(new LogFile(*filePath_));
}

void RunLog::WriteLogLine(const std::wstring& message) {
  std::wstring line;
  if (timeStamps_ && !message.empty()) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    line = FormatWideString(L"%02d:%02d:%02d", now.wHour, now.wMinute, now.wSecond);
    line += L"  ";
  }
  line += message;
  line += L'\n';
  if (!toFile_) {
    *memoryText_ += line;
    return;
  }
  std::string bytes;
  for (const char c : WideToUtf8(line)) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  fileStream_->Write(bytes);
}

RunLog* GetRunLog(const std::wstring& folder) {
  if (g_runLog != nullptr) return g_runLog;
  std::wstring path = folder;
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'/';
  path += kRunLogFileName;
  g_runLog = new RunLog(path);
  return g_runLog;
}

void ResetRunLogForTesting() {
  delete g_runLog;
  g_runLog = nullptr;
}

}  // namespace tavix
