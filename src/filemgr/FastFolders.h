#pragma once
// Shortcuts and fast folders. The fast-folder file "velmar.ffs" in the data folder holds
// folder paths, each with its trailing "/" and a ";", as UTF-16LE without byte-order mark;
// the shortcut folder "ShortCuts" beside it holds NAME.lnk links. The file functions use
// QtCore only; the pane commands sit on them.

#include "filemgr/FastFolderFile.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace velmar {

class PaneController;

// Adds `folder` (ending with "/") unless that exact entry is there. False when the file
// cannot be written.
bool AddFastFolder(const QString& file, const QString& folder);
// Removes exactly the entries in `folders`; every other entry stays whole. False when the
// file cannot be written.
bool RemoveFastFolders(const QString& file, const QStringList& folders);

// A shortcut's proposed name: the file name with every "." as "_".
QString ShortcutNameFor(const QString& fileName);
// Makes `folder` + `name` + ".lnk", a link to `target`. False when it cannot be made (a file
// of that name exists, the folder is not writable).
bool CreateShortcutLink(const QString& folder, const QString& name, const QString& target);

// ---- Pane commands ----

// (The fast-folder list itself is shown by the pane's controller: PaneController::ShowFastFolders.)
// Delete in the fast-folder list: the chosen rows leave the file, then the list shows again.
void DeleteFastFolderRows(PaneController& pane, QWidget* parent);
// "Create Shortcut": a link for each chosen file, a fast-folder entry for each chosen folder.
void CreateShortcuts(PaneController& pane, QWidget* parent);

} // namespace velmar
