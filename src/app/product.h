// The product this tool cleans up after: its codes, keys and file names.
#ifndef TAVIX_APP_PRODUCT_H_
#define TAVIX_APP_PRODUCT_H_

namespace tavix {

inline constexpr char16_t kProductCode32[] = u"{6D2E47B1-0000-1033-0002-5A9C20F3E184}";
inline constexpr char16_t kProductCode64[] = u"{6D2E47B1-0000-1033-0102-5A9C20F3E184}";

// Windows Installer's packed forms of the codes above, which name the
// products' keys below "Installer\Products\". Kept as constants, never
// computed at run time.
inline constexpr char16_t kPackedCode32[] = u"1B74E2D6000033010020A5C9023F1E48";
inline constexpr char16_t kPackedCode64[] = u"1B74E2D6000033011020A5C9023F1E48";

// Below HKEY_LOCAL_MACHINE.
inline constexpr char16_t kProductSpecificKey[] =
    u"Software\\Velmoran\\Velmoran Tavix\\R1.0\\ProductSpecific";
inline constexpr char16_t kBuildVersionValue[] = u"BuildVersion";
inline constexpr char16_t kProductCodeValue[] = u"upiMasterID";

// Below HKEY_CLASSES_ROOT.
inline constexpr char16_t kProductsKeyPrefix[] = u"Installer\\Products\\";
inline constexpr char16_t kTransformsValue[] = u"Transforms";

}  // namespace tavix

#endif  // TAVIX_APP_PRODUCT_H_
