#include "app/driver.h"

#include <windows.h>

#include <string>

#include "app/build_gate.h"
#include "app/product.h"
#include "app/transform_file.h"
#include "app/transforms_value.h"
#include "log/run_log.h"

namespace tavix {
namespace {

std::wstring TemporaryFolder() {
  // One unit beyond what the call may fill keeps the read bounded even if the
  // buffer comes back full without a NUL.
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD result = GetTempPathW(MAX_PATH, buffer);
  if (result == 0 || result > MAX_PATH) return L"C:\\temp\\";
  return buffer;
}

}  // namespace

int RunCleanUp() {
  GetRunLog(TemporaryFolder());
  RunLog* log = GetRunLog();
  log->WriteLogLine(L"Start --> Clean Up Velmoran Tavix transform files and register items.");

  if (!CheckBuildVersion()) return kExitOk;

  const std::wstring productCode = ReadProductCode();
  if (productCode == kProductCode32) {
    log->WriteLogLine(L"----- --> Updating x86 version, Product Code : " + productCode);
  } else if (productCode == kProductCode64) {
    log->WriteLogLine(L"----- --> Updating x64 version, Product Code : " + productCode);
  } else {
    log->WriteLogLine(L"ERROR --> This Product is not Velmoran Tavix 1.0, Product Code : " +
                      productCode);
    return kExitUnknownProduct;
  }

  const std::wstring transformPath = BuildTransformFilePath(productCode);
  RewriteTransformsValue(productCode, transformPath);
  RemoveTransformFile(transformPath);
  return kExitOk;
}

}  // namespace tavix
