#pragma once
// Command-line options of the program:
//   velmar [OPTIONS] [FOLDER [FOLDER]]
//   FOLDER              the left (first) and right (second) pane start there; a file
//                       stands for its folder, with the file under the cursor
//   --help, -h          what follows, and where the manual is
//   --version           the program's name and version
//   --size WxH          the main window's size
//   --mode MODE         start in the mode "filemanager", "telnet" or "game"
//   --                  everything after it is a folder, even when it begins with "-"
// and three for the manual's pictures and the start-up benchmark, left out of --help:
//   --screenshot FILE   render the main window after start-up into a PNG and exit
//   --open WINDOW       with --screenshot: the picture is of this dialog, opened from the
//                       window ("about", "ping", "whois", "finger", "tasks", "sysinfo", or
//                       "hex" for the file under the cursor, "connect" in the telnet mode)
//   --quit-after-show   exit as soon as the main window has been painted once

#include "res/Ids.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

class QWidget;

namespace velmar {

class CMainFrame;

struct ProgramOptions {
    QString screenshotFile;
    QSize size;
    bool quitAfterShow = false;
    bool help = false;
    bool version = false;
    int mode = ids::kResFileManager; // the mode to start in, by resource id
    int openCommand = 0;             // --open: the command that opens the dialog to picture
    QStringList folders;             // as given, at most two
    QString error;                   // not empty: the options are wrong, this says why
};

// `args` as QCoreApplication::arguments() gives them (the program first; Qt's own options
// already taken out).
ProgramOptions ParseOptions(const QStringList& args);

// --help or --version anywhere before "--": they need no display, so main() looks for them
// before the windowing system is started (Qt's own options still in `args`).
enum class InfoRequest { None, Help, Version };
InfoRequest FindInfoRequest(const QStringList& args);

QString VersionText();
// The usage lines; `manual` is the manual's path, or empty when it is not installed.
QString UsageText(const QString& manual);

// Where a pane starts for a FOLDER argument: an absolute local folder ending with "/",
// relative arguments taken from `cwd`. A file gives its folder and its name as `focus`.
struct StartFolder {
    QString folder;
    QString focus;
    QString error; // not empty: no such file or folder
};
StartFolder ResolveStartFolder(const QString& arg, const QString& cwd);

// Takes the first pane (and the second, when given) to its start folder.
void OpenStartFolders(CMainFrame* frame, const QList<StartFolder>& folders);

// Shows `window`, lets it settle (panes filled, layout done) and saves its picture as PNG.
bool SaveWindowShot(QWidget* window, const QString& file);

// Quits the event loop once `window` has painted for the first time.
void QuitAfterFirstPaint(QWidget* window);

} // namespace velmar
