// Opening an entry relative to an open folder, and what an open entry tells
// of itself.
#ifndef TAVIX_LOG_OPEN_AT_H_
#define TAVIX_LOG_OPEN_AT_H_

#include <windows.h>

#include <string>

#include "log/scoped_handle.h"

namespace tavix {

// Opens `name` (one or more names joined by '\') relative to the open folder
// `folder`, with NtCreateFile's access, share mode, disposition and options,
// for synchronous I/O as CreateFileW gives. Empty when the open fails.
ScopedHandle OpenAt(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
                    ULONG disposition, ULONG options);

// The reparse tag of an open entry in `tag`, 0 for none; false when it cannot
// be read. Where the tag query is not answered (FAT), an entry without the
// reparse-point attribute has none.
bool TagOf(HANDLE entry, ULONG& tag);

// The path of an open entry on its volume as its file system names it
// ("\tavix\temp\" for a folder, which gets a trailing backslash), or empty
// where it names none.
std::wstring NameOf(HANDLE entry, bool folder);

// Whether `a` and `b` are one name as Windows looks names up: code unit by
// code unit, letter case aside.
bool SameName(const std::wstring& a, const std::wstring& b);

}  // namespace tavix

#endif  // TAVIX_LOG_OPEN_AT_H_
