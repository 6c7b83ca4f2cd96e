#include "app/transforms_value.h"

#include <windows.h>

#include "app/product.h"
#include "app/replace_all.h"
#include "log/run_log.h"
#include "registry/registry_read.h"
#include "registry/registry_write.h"

namespace tavix {

bool RewriteTransformsValue(std::wstring productCode, std::wstring transformPath) {
  if (productCode.empty() || transformPath.empty()) return false;

  const wchar_t* packedCode = nullptr;
  if (productCode == kProductCode32) {
    packedCode = kPackedCode32;
  } else if (productCode == kProductCode64) {
    packedCode = kPackedCode64;
  }
  RunLog* log = GetRunLog();
  if (packedCode == nullptr) {
    log->WriteLogLine(
        L"----- -->No updated on Transforms Register value --> Product Code and "
        L"Transforms file : \n");
    log->WriteLogLine(L"--------------------------------- --> Product Code : " + productCode +
                      L", Transforms file : " + transformPath + L" \n");
    return false;
  }

  const std::wstring keyPath = std::wstring(kProductsKeyPrefix) + packedCode;
  // The key may exist in both registry views, each with a value of its own:
  // the new text replaces the copy it was made from, so the write goes to the
  // view the read found it in and no other copy changes.
  REGSAM view = 0;
  const std::wstring oldValue =
      ReadRegistryString(keyPath.c_str(), HKEY_CLASSES_ROOT, kTransformsValue, &view);
  std::wstring newValue = oldValue;
  const std::ptrdiff_t withSeparator = ReplaceAll(newValue, transformPath + L";", L"");
  const std::ptrdiff_t alone = ReplaceAll(newValue, transformPath, L"");

  if (withSeparator > 0 || alone > 0) {
    log->WriteLogLine(L"Replaced Transforms Register value --> old value : " + oldValue + L"\n");
    log->WriteLogLine(L"--------------------------------- --> New value : " + newValue + L"\n");
    const bool written =
        WriteRegistryString(keyPath.c_str(), kTransformsValue, newValue.c_str(), view);
    log->WriteLogLine(
        written ? L"************Updated Transforms Register value Successfully.************ \n"
                : L"************Updated Transforms Register value Failed.************ \n");
    return true;
  }
  log->WriteLogLine(L"----- -->No updated on Transforms Register value --> value : \n" + oldValue);
  return true;
}

}  // namespace tavix
