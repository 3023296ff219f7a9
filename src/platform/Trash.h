#pragma once
// The desktop trash as the Linux file managers share it: a trashed entry lies in
// TRASH/files/NAME with TRASH/info/NAME.trashinfo telling where it came from and when it went.
// The home trash ($XDG_DATA_HOME/Trash) takes what lies on its own file system; an entry on
// another file system goes to that file system's trash under its top folder
// (TOP/.Trash/UID when an administrator made TOP/.Trash a sticky folder, else TOP/.Trash-UID).
// An entry always goes by one rename, never by a copy: when no trash on its file system can be
// had, the caller is told so and decides (the file manager asks before deleting for good).

#include <QString>

namespace velmar::platform {

// No trash can be had on the entry's file system (beside the errno values).
constexpr int kNoTrash = -3;

struct Trashed {
    QString file; // where the entry lies now (TRASH/files/NAME)
    QString info; // its TRASH/info/NAME.trashinfo
};

// Moves `path` (a file, a folder with all it holds, or a link, which is never followed) into
// the trash of its file system. 0, kNoTrash, or an errno value (ENOENT: nothing is there;
// EBUSY: `path` is where another file system is mounted).
int MoveToTrash(const QString& path, Trashed* where = nullptr);

// $XDG_DATA_HOME/Trash ($HOME/.local/share/Trash when XDG_DATA_HOME is not set).
QString HomeTrashFolder();

} // namespace velmar::platform
