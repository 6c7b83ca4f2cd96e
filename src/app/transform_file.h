// The cached transform file in the Windows Installer folder.
#ifndef TAVIX_APP_TRANSFORM_FILE_H_
#define TAVIX_APP_TRANSFORM_FILE_H_

#include <string>

namespace tavix {

// <Windows folder>\Installer\<product code>\VelmoranTavix.mst, with
// "C:\Windows" when the Windows folder cannot be had. Empty for an empty
// product code, without asking for the Windows folder.
std::wstring BuildTransformFilePath(std::wstring productCode);

// Deletes the file if it exists and logs the outcome in one line. True when
// the file was deleted.
bool RemoveTransformFile(std::wstring path);

}  // namespace tavix

#endif  // TAVIX_APP_TRANSFORM_FILE_H_
