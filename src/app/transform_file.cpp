#include "app/transform_file.h"

#include <io.h>
#include <stdio.h>
#include <windows.h>

#include "log/run_log.h"

namespace tavix {

std::wstring BuildTransformFilePath(std::wstring productCode) {
  if (productCode.empty()) return std::wstring();
  const std::wstring tail = productCode + L"\\VelmoranTavix.mst";

  // One unit beyond what the call may fill, so the folder text is bounded
  // even when the buffer comes back full without a NUL.
  wchar_t folder[MAX_PATH + 1] = {};
  const UINT result = GetSystemWindowsDirectoryW(folder, MAX_PATH);
  if (result == 0 || result > MAX_PATH) return L"C:\\Windows\\Installer\\" + tail;
  return std::wstring(folder) + L"\\Installer\\" + tail;
}

bool RemoveTransformFile(std::wstring path) {
  const bool removed = _waccess(path.c_str(), 0) != -1 && _wremove(path.c_str()) == 0;
  GetRunLog()->WriteLogLine(removed ? L"----- --> Removed file : " + path
                                    : L"Error --> Failed to remove file : " + path);
  return removed;
}

}  // namespace tavix
