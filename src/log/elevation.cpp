#include "log/elevation.h"

#include <windows.h>

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

}  // namespace tavix
