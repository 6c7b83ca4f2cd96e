#include "app/transform_file.h"

#include "log/run_log.h"
#include "platform/platform.h"

namespace tavix {
namespace {

constexpr UINT kFolderBufferUnits = 260;

}  // namespace

std::u16string BuildTransformFilePath(std::u16string productCode) {
  if (productCode.empty()) return std::u16string();
  const std::u16string tail = productCode + u"\\VelmoranTavix.mst";

  // One unit beyond what the call may fill, so the folder text is bounded
  // even when the buffer comes back full without a NUL.
  char16_t folder[kFolderBufferUnits + 1] = {};
  const UINT result = CurrentPlatform().GetSystemWindowsDirectoryW(folder, kFolderBufferUnits);
  if (result == 0 || result > kFolderBufferUnits) {
    return u"C:\\Windows\\Installer\\" + tail;
  }
  return std::u16string(folder) + u"\\Installer\\" + tail;
}

bool RemoveTransformFile(std::u16string path) {
  Platform& platform = CurrentPlatform();
  const bool removed =
      platform._waccess(path.c_str(), 0) != -1 && platform._wremove(path.c_str()) == 0;
  GetRunLog()->WriteLogLine(removed ? u"----- --> Removed file : " + path
                                    : u"Error --> Failed to remove file : " + path);
  return removed;
}

}  // namespace tavix
