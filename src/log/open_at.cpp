#include "log/open_at.h"

#include <winternl.h>

#include <algorithm>
#include <vector>

namespace tavix {

ScopedHandle OpenAt(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
                    ULONG disposition, ULONG options) {
  if (name.size() > UNICODE_STRING_MAX_CHARS) return ScopedHandle();
  const USHORT bytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  UNICODE_STRING text{bytes, bytes, const_cast<PWSTR>(name.c_str())};
  OBJECT_ATTRIBUTES attributes{};
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK status{};
  HANDLE opened = nullptr;
  // SYNCHRONIZE and synchronous I/O, so that the Win32 calls on the handle
  // wait for their answers.
  const NTSTATUS result = NtCreateFile(&opened, access | SYNCHRONIZE, &attributes, &status, nullptr,
                                       FILE_ATTRIBUTE_NORMAL, share, disposition,
                                       options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (!NT_SUCCESS(result)) return ScopedHandle();
  return ScopedHandle(opened);
}

bool TagOf(HANDLE entry, ULONG& tag) {
  FILE_ATTRIBUTE_TAG_INFO information{};
  if (GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &information, sizeof information)) {
    // The tag means something only where the attribute says so.
    const bool reparsePoint = (information.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    tag = reparsePoint ? information.ReparseTag : 0;
    return true;
  }
  // FAT and exFAT do not answer the tag query (ERROR_INVALID_PARAMETER): they
  // have no reparse points, which the attributes every file system answers
  // then show. A reparse point whose tag cannot be read stays unknown.
  FILE_BASIC_INFO basic{};
  if (!GetFileInformationByHandleEx(entry, FileBasicInfo, &basic, sizeof basic)) return false;
  tag = 0;
  return (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

std::wstring NameOf(HANDLE entry, bool folder) {
  // Room for the longest name Windows has, 32767 characters. No volume name
  // is asked for: that needs the mount manager, which does not know every
  // volume.
  constexpr std::size_t kBytes = 65536;
  std::vector<DWORD> buffer((sizeof(FILE_NAME_INFO) + kBytes) / sizeof(DWORD));
  auto* information = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
  const DWORD size = static_cast<DWORD>(buffer.size() * sizeof(DWORD));
  if (!GetFileInformationByHandleEx(entry, FileNameInfo, information, size)) {
    return std::wstring();
  }
  const std::size_t length = std::min<std::size_t>(information->FileNameLength, kBytes);
  std::wstring name(information->FileName, length / sizeof(wchar_t));
  if (folder && !name.empty() && name.back() != L'\\') name += L'\\';
  return name;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace tavix
