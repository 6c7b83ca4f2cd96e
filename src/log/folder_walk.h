// The way to the log's folder, walked name by name.
#ifndef TAVIX_LOG_FOLDER_WALK_H_
#define TAVIX_LOG_FOLDER_WALK_H_

#include <string>
#include <vector>

#include "log/scoped_handle.h"

namespace tavix {

// An open folder with everything opened on the way to it.
struct Folder {
  // Every folder opened on the way, the folder itself last; none when the
  // way is refused. Held without delete sharing, so nothing on the way can be
  // renamed, or its name given to another entry, while they stay open.
  std::vector<ScopedHandle> pins;
  // The folder's path on its volume as its file system names it ("\a\b\"),
  // or empty where it names none.
  std::wstring name;
};

// `path` as a full path, of any length; empty when it cannot be made.
std::wstring FullPathOf(const std::wstring& path);

// Opens the folder of the full path `path` (ending in '\'), taken in its
// long form where 8.3 short names can be expanded. Its volume is a drive
// ("C:\"), a share ("\\server\share\") or either of them behind "\\?\" or
// "\\.\" ("\\?\C:\", "\\?\UNC\server\share\", "\\?\Volume{...}\"); any other
// form is refused. The volume is opened following (a drive letter mapped to a
// folder is not a link), each name below it relative to the folder before it.
//
// A run that is not elevated opens the rest of the way in one open that
// follows every link: whoever could plant one there already has the run's
// rights. An elevated run (or one as SYSTEM) opens each folder as itself and
// refuses a link on the way (a reparse point whose tag is a name surrogate:
// junction, symbolic link, volume mount point), and so a folder whose tag
// cannot be read. It also refuses a folder that its file system names other
// than its parent's name and its own (a link that shows no reparse point),
// except where WoW64 opens the system folder's 32-bit twin for the system
// folder.
Folder OpenFolder(const std::wstring& path);

}  // namespace tavix

#endif  // TAVIX_LOG_FOLDER_WALK_H_
