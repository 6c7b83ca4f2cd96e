// The way to the log's folder, walked name by name.
#ifndef TAVIX_LOG_FOLDER_WALK_H_
#define TAVIX_LOG_FOLDER_WALK_H_

#include <string>
#include <vector>

#include "log/scoped_handle.h"

namespace tavix {

// An open folder with everything opened on the way to it.
struct Folder {
  // Every folder and link opened on the way, the folder itself last; none
  // when the way is refused. Held without delete sharing, so nothing on the
  // way can be renamed, or its name given to another entry, while they stay
  // open.
  std::vector<ScopedHandle> pins;
  // The folder's path on its volume as its file system names it ("\a\b\"),
  // or empty where it names none.
  std::wstring name;
};

// `path` as a full path, of any length; empty when it cannot be made.
std::wstring FullPathOf(const std::wstring& path);

// Opens the folder of the full path `path` (ending in '\'), whose volume is a
// drive ("C:\"), a share ("\\server\share\") or a volume
// ("\\?\Volume{...}\"); any other form is refused. The volume is opened
// following (a drive letter mapped to a folder is not a link), each name
// below it relative to the folder before it.
//
// A run that is not elevated opens the rest of the way in one open that
// follows every link. An elevated run (or one as SYSTEM) opens each folder as
// itself. A folder that its file system names other than its parent's name
// and its own is refused (a link that shows no reparse point), except where
// WoW64 opens the system folder's 32-bit twin for the system folder. A link
// (a reparse point whose tag is a name surrogate: junction, symbolic link,
// volume mount point) is followed only when OnlyAdministrationCanChange it,
// by walking where it leads from its volume in the same way, the rest of the
// way behind it; a link whose target cannot be read, and a chain of more
// links than Windows follows (a loop), are refused.
Folder OpenFolder(const std::wstring& path);

}  // namespace tavix

#endif  // TAVIX_LOG_FOLDER_WALK_H_
