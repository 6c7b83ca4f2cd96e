// Whose links a run may follow: the run's own rights, and who may change a
// link.
#ifndef TAVIX_LOG_LINK_TRUST_H_
#define TAVIX_LOG_LINK_TRUST_H_

#include <windows.h>

namespace tavix {

// Whether the run has more rights than its user's other processes: an
// elevated token, or SYSTEM. A token that cannot be read counts as elevated,
// the stricter of the two.
bool RunIsElevated();

// Whether only Administrators, SYSTEM and TrustedInstaller can change the
// open link `link`: its owner, and every entry of its access list that grants
// a right to write, delete, or change its access list or owner, is one of
// them (CREATOR OWNER counting as the owner). False when its security cannot
// be read.
bool OnlyAdministrationCanChange(HANDLE link);

}  // namespace tavix

#endif  // TAVIX_LOG_LINK_TRUST_H_
