#pragma once
// Launching a file: what a pane does with a file row and what the path field does with
// its text. Each launch runs on a short thread of its own that owns its job.

#include <QString>
#include <QStringList>
#include <functional>

namespace velmar {

struct LaunchJob {
    QString verb = QStringLiteral("open");
    QString file;       // the file (or program) to open
    QString parameters; // as typed, blanks included; may be empty
    QString directory;  // the folder to start in; empty: the file's own folder
    int show = 5;       // show normally
    // The path field's whole text when it may name a local folder: such a folder is handed to
    // `enterFolder` on the window's thread instead of being launched.
    QString folder;
    std::function<void(const QString&)> enterFolder;
};

// StartProgram after a Yes to `question`: a program whose name says it is a document.
enum class LaunchAction { None, StartProgram, OpenDocument, AskFirst };

inline const QString kAskDisguisedProgram =
    QStringLiteral("%1\nis a program (%2, %3), not the %4 its name says.\nRun it?");

// What a launch comes to, decided on the real file system.
struct LaunchPlan {
    LaunchAction action = LaunchAction::None;
    QString program;          // StartProgram: the executable or script
    QStringList arguments;    // StartProgram: the parameters split as a shell would
    QString workingDirectory; // StartProgram
    QString document;         // OpenDocument: a local path or an URL
    QString question;         // AskFirst: names the file and its real type
    QString failure;          // None: why nothing is launched, told to the user (may be empty)
};

inline const QString kLaunchNotFound = QStringLiteral("%1 was not found.");
inline const QString kLaunchNoApplication = QStringLiteral("No application opens %1.");
inline const QString kLaunchCannotStart = QStringLiteral("%1 could not be started.");

// The launch rule: a file without extension, one of .com .exe .lnk .bat, or one whose
// extension the MIME database knows is launched; anything else is left alone. A launched
// executable (an ELF file or "#!" script with its execute bit) starts as a program; other files
// open with the desktop's default application. An executable whose name says it is a document
// (holiday.jpg) runs only after a question that names its real type. Touches the disk: not for
// the window's thread.
LaunchPlan PlanLaunch(const LaunchJob& job);

// Plans and launches on the calling thread.
void RunLaunch(const LaunchJob& job);

// Starts a launch thread that decides the plan for `job` and carries it out, and returns
// at once without touching the disk. A failure (no such file, no application for it, a
// program or viewer the desktop refused to start) is told in a message box.
void StartLaunch(LaunchJob job);

// Waits (at most `ms`) until no launch thread runs. Done once when the application
// object goes, so that no launch is still at work while the program's statics are torn down.
void WaitForLaunches(int ms = 5000);

// Tests record plans instead of starting anything; an empty function restores the
// desktop launcher. Called on the launch thread.
using Launcher = std::function<void(const LaunchPlan&)>;
void SetLauncherForTesting(Launcher launcher);

} // namespace velmar
