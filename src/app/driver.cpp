#include "app/driver.h"

#include <string>

#include "app/build_gate.h"
#include "app/product.h"
#include "app/transform_file.h"
#include "app/transforms_value.h"
#include "log/run_log.h"
#include "platform/platform.h"

namespace tavix {
namespace {

constexpr DWORD kTempBufferUnits = 260;

std::u16string TemporaryFolder() {
  // One unit beyond what the call may fill keeps the read bounded even if the
  // buffer comes back full without a NUL.
  char16_t buffer[kTempBufferUnits + 1] = {};
  const DWORD result = CurrentPlatform().GetTempPathW(kTempBufferUnits, buffer);
  if (result == 0 || result > kTempBufferUnits) return u"C:\\temp\\";
  return buffer;
}

}  // namespace

int RunCleanUp() {
  GetRunLog(TemporaryFolder());
  RunLog* log = GetRunLog();
  log->WriteLogLine(u"Start --> Clean Up Velmoran Tavix transform files and register items.");

  if (!CheckBuildVersion()) return kExitOk;

  const std::u16string productCode = ReadProductCode();
  if (productCode == kProductCode32) {
    log->WriteLogLine(u"----- --> Updating x86 version, Product Code : " + productCode);
  } else if (productCode == kProductCode64) {
    log->WriteLogLine(u"----- --> Updating x64 version, Product Code : " + productCode);
  } else {
    log->WriteLogLine(u"ERROR --> This Product is not Velmoran Tavix 1.0, Product Code : " +
                      productCode);
    return kExitUnknownProduct;
  }

  const std::u16string transformPath = BuildTransformFilePath(productCode);
  RewriteTransformsValue(productCode, transformPath);
  RemoveTransformFile(transformPath);
  return kExitOk;
}

}  // namespace tavix
