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
// The row text of an entry: without its first and its last character.
QString FastFolderRowText(const QString& entry);

} // namespace velmar
