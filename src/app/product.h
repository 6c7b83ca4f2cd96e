// The product this tool cleans up after: its codes, keys and file names.
#ifndef TAVIX_APP_PRODUCT_H_
#define TAVIX_APP_PRODUCT_H_

namespace tavix {

inline constexpr wchar_t kProductCode32[] = L"{6D2E47B1-0000-1033-0002-5A9C20F3E184}";
inline constexpr wchar_t kProductCode64[] = L"{6D2E47B1-0000-1033-0102-5A9C20F3E184}";

// Windows Installer's packed forms of the codes above, which name the
// products' keys below "Installer\Products\". Kept as constants, never
// computed at run time.
inline constexpr wchar_t kPackedCode32[] = L"1B74E2D6000033010020A5C9023F1E48";
inline constexpr wchar_t kPackedCode64[] = L"1B74E2D6000033011020A5C9023F1E48";

// Below HKEY_LOCAL_MACHINE.
inline constexpr wchar_t kProductSpecificKey[] =
    L"Software\\Velmoran\\Velmoran Tavix\\R1.0\\ProductSpecific";
inline constexpr wchar_t kBuildVersionValue[] = L"BuildVersion";
inline constexpr wchar_t kProductCodeValue[] = L"upiMasterID";

// Below HKEY_CLASSES_ROOT.
inline constexpr wchar_t kProductsKeyPrefix[] = L"Installer\\Products\\";
inline constexpr wchar_t kTransformsValue[] = L"Transforms";

}  // namespace tavix

#endif  // TAVIX_APP_PRODUCT_H_
