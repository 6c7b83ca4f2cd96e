#include "log/link_trust.h"

#include <aclapi.h>

#include <memory>

#include "log/scoped_handle.h"

namespace tavix {

bool RunIsElevated() {
  ScopedHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return true;
  TOKEN_ELEVATION elevation{1};
  DWORD size = 0;
  if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) {
    return true;
  }
  if (elevation.TokenIsElevated != 0) return true;
  // SYSTEM counts whether or not its token says it is elevated.
  union {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } user{};
  if (!GetTokenInformation(token.get(), TokenUser, &user, sizeof user, &size)) return true;
  return IsWellKnownSid(user.user.User.Sid, WinLocalSystemSid) != FALSE;
}

bool OnlyAdministrationCanChange(HANDLE link) {
  // Owning a link is not enough: an administrator's junction in a user's
  // folder usually inherits the user's full control, and re-pointing it keeps
  // its owner. The owner counts too, since an owner may always rewrite the
  // access list.
  PSID owner = nullptr;
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(link, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                      &owner, nullptr, &list, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const std::unique_ptr<void, decltype(&LocalFree)> heldDescriptor(descriptor, LocalFree);
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID trustedInstaller = nullptr;
  if (!AllocateAndInitializeSid(&nt, 6, SECURITY_SERVICE_ID_BASE_RID, 956008885, 3418522649,
                                1831038044, 1853292631, 2271478464, 0, 0, &trustedInstaller)) {
    return false;
  }
  const std::unique_ptr<void, decltype(&FreeSid)> heldSid(trustedInstaller, FreeSid);
  const auto trusted = [&](PSID sid) {
    return IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
           IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinCreatorOwnerSid) ||
           EqualSid(sid, trustedInstaller);
  };
  if (owner == nullptr || !trusted(owner)) return false;
  // No access list at all grants everyone everything. A valid list is one
  // whose entries and their SIDs lie within it, so reading them stays in
  // bounds.
  if (list == nullptr || !IsValidAcl(list)) return false;
  constexpr ACCESS_MASK kChanges = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                   FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                   WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
  for (DWORD index = 0; index < list->AceCount; ++index) {
    ACCESS_ALLOWED_ACE* entry = nullptr;
    if (!GetAce(list, index, reinterpret_cast<void**>(&entry))) return false;
    // A denial grants nothing, nor does an entry that is only handed down to
    // new entries inside.
    const bool denial = entry->Header.AceType == ACCESS_DENIED_ACE_TYPE;
    const bool inheritOnly = (entry->Header.AceFlags & INHERIT_ONLY_ACE) != 0;
    if (denial || inheritOnly || (entry->Mask & kChanges) == 0) continue;
    // Other kinds of entry keep their SID elsewhere; as rare as they are on
    // files, one that grants a change refuses the link rather than be read.
    const bool plain = entry->Header.AceType == ACCESS_ALLOWED_ACE_TYPE ||
                       entry->Header.AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
    if (!plain || !trusted(&entry->SidStart)) return false;
  }
  return true;
}

}  // namespace tavix
