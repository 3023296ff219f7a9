#pragma once
// Reading the fast-folder file's bytes: UTF-16LE without byte-order mark, each folder
// followed by ";". Outside input (any bytes may be in the file), parsed with QtCore alone.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace velmar {

// The file's bytes as text, two bytes a character (an odd last byte is no character).
QString FastFolderTextOf(const QByteArray& bytes);
// The entries in file order ("/a/b/"), each ended by ";". A ";" inside a folder name is
// written twice: a file without such names reads as it always did, and ";;" never stood in
// one (every entry begins with "/").
QStringList FastFolderEntries(const QString& text);
// The text of `entries`, the inverse of FastFolderEntries.
QString FastFolderText(const QStringList& entries);
// The row text of an entry: the folder's full path without its trailing "/" ("/" for the
// root), so that a row reads as the folder it opens.
QString FastFolderRowText(const QString& entry);
// The entry a row text stands for, the inverse of FastFolderRowText.
QString FastFolderEntryOfRow(const QString& rowText);

// The per-user data folder (ends with "/"); tests put a folder of their own in its place.
QString DataFolder();
void SetDataFolderForTesting(const QString& folder);
QString FastFolderFilePath();
QString ShortcutFolder();
// The whole file as text; empty when it is missing or cannot be read.
QString ReadFastFolderText(const QString& file);

} // namespace velmar
