#pragma once
// The desktop side of launching: whether a file runs as a program, starting a program
// detached from us, and handing a document to the desktop's default application.

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

namespace velmar::platform {

// A regular file with its execute bit that the kernel can run: an ELF executable or a
// script beginning "#!".
bool IsExecutableFile(const QString& path);

// The interpreter line of a script ("#!/bin/sh -e" gives {"/bin/sh", "-e"}); empty when the
// file does not begin with "#!".
QStringList ReadInterpreterLine(const QString& path);

// A bare program name ("xterm") looked up in PATH; other texts come back unchanged.
QString ResolveProgram(const QString& file);

// Parameters typed after a program, split as a shell would: blanks separate, '...' is
// literal, "..." keeps blanks and takes \" and \\, a backslash outside quotes escapes.
QStringList SplitParameters(const QString& text);

// The first `size` bytes of a regular file (never waiting on a fifo or a device).
QByteArray ReadFileHead(const QString& path, int size);

// Where a symbolic link points, as an absolute path; empty when `link` is no link.
QString LinkTarget(const QString& link);
// A symbolic link `link` to `target`; never replaces what is there.
bool MakeLink(const QString& target, const QString& link);

// The file: address of a local path, keeping its bytes (a name that is not UTF-8 too).
QUrl LocalFileUrl(const QString& path);

// Starts `program` with `arguments` in `workingDirectory`, detached: it outlives us. Every
// text goes to the system as the file system's own bytes (NameCodec), so a program or
// argument whose name is not UTF-8 is given exactly.
bool StartDetachedProgram(const QString& program, const QStringList& arguments,
                          const QString& workingDirectory);

// Opens a local file with the desktop's default application (xdg-open underneath). False
// when no opener could be started; `failed` runs later on the interface thread when the
// opener ends in failure within a few seconds (no application for the type, or it could not
// take the file): starting xdg-open says nothing about whether anything opened.
// Must run on the interface thread.
bool OpenDocument(const QString& path, std::function<void()> failed = {});
// Opens an address ("http://...") with the desktop's handler. Interface thread only.
// The program opens addresses through OpenInBrowser (framework/Browser.h), which tests
// can record; this is the desktop call under it.
bool OpenUrl(const QUrl& url);

// Renames (moves) an entry like the old move-file call: it never replaces an entry that
// already has the new name. False on any failure.
bool RenameEntry(const QString& from, const QString& to);

} // namespace velmar::platform
