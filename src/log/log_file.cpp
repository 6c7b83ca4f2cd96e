#include "log/log_file.h"

#include <vector>

namespace tavix {
namespace {

// The text a path call writes into a buffer it is given. The call answers
// with the length written, or with the size it needs, which the next try
// gets; 0 (failure) and a second "too small" give the empty text.
template <typename Call>
std::u16string PathText(Call call) {
  std::vector<char16_t> buffer(300);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) break;
    if (length < buffer.size()) return std::u16string(buffer.data(), length);
    buffer.assign(length, u'\0');
  }
  return std::u16string();
}

// Whether the open `file` is a plain disk file of its own whose final path
// is `path`, compared as Windows names files: absolute, long names, without
// the "\\?\" prefix, letter case ignored.
bool IsPlainFileAt(HANDLE file, const std::u16string& path) {
  Platform& platform = CurrentPlatform();
  FileInformation information{};
  if (platform.GetFileType(file) != kFileTypeDisk ||
      !platform.GetFileInformationByHandle(file, &information) ||
      (information.dwFileAttributes & kFileAttributeReparsePoint) != 0 ||
      information.nNumberOfLinks != 1) {
    return false;
  }
  // GetTempPathW may answer with short names, and "/" or a relative path may
  // reach here; the final path is absolute and long, with "\\?\" in front.
  const std::u16string full = PathText([&](char16_t* buffer, DWORD size) {
    return platform.GetFullPathNameW(path.c_str(), size, buffer, nullptr);
  });
  const std::u16string asked = PathText([&](char16_t* buffer, DWORD size) {
    return platform.GetLongPathNameW(full.c_str(), buffer, size);
  });
  std::u16string final = PathText([&](char16_t* buffer, DWORD size) {
    return platform.GetFinalPathNameByHandleW(file, buffer, size, 0);
  });
  if (final.rfind(u"\\\\?\\UNC\\", 0) == 0) {
    final.replace(0, 8, u"\\\\");
  } else if (final.rfind(u"\\\\?\\", 0) == 0) {
    final.erase(0, 4);
  }
  return !asked.empty() &&
         platform.CompareStringOrdinal(asked.data(), static_cast<int>(asked.size()), final.data(),
                                       static_cast<int>(final.size()), 1) == kCstrEqual;
}

}  // namespace

LogFile::LogFile(const std::u16string& path)
    : file_(CurrentPlatform().CreateFileW(
          path.c_str(), kGenericWrite | kFileReadAttributes, kFileShareRead | kFileShareWrite,
          nullptr, kOpenAlways, kFileAttributeNormal | kFileFlagOpenReparsePoint, nullptr)) {
  // Opened without emptying it and without following a link at its name, so
  // that a file that fails a check is left as it was.
  if (file_ != InvalidHandleValue() &&
      !(IsPlainFileAt(file_, path) && CurrentPlatform().SetEndOfFile(file_))) {
    CurrentPlatform().CloseHandle(file_);
    file_ = InvalidHandleValue();
  }
}

LogFile::~LogFile() {
  if (file_ != InvalidHandleValue()) CurrentPlatform().CloseHandle(file_);
}

void LogFile::Write(const std::string& bytes) {
  if (failed()) return;
  DWORD written = 0;
  if (!CurrentPlatform().WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                   nullptr) ||
      written != bytes.size()) {
    failed_ = true;
  }
}

}  // namespace tavix
