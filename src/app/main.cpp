#include "app/Options.h"
#include "app/VelmarApp.h"
#include "filemgr/MainFrame.h"
#include "framework/Browser.h"
#include "framework/Dialogs.h"
#include "framework/Frame.h"
#include "framework/Icons.h"
#include "framework/Message.h"
#include "ftp/curl/CurlFtp.h"
#include "platform/NameCodec.h"
#include "res/Ids.h"

#include <QApplication>
#include <QDir>
#include <cstdio>
#include <string_view>
#include <unistd.h>

namespace {

// Arguments as the file system spells them: a folder name that is not UTF-8 still names
// its folder.
QStringList DecodeArguments(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args.append(velmar::platform::DecodeName(std::string_view(argv[i])));
    return args;
}

// Whether Qt has a display to open: one named in the environment, or a platform chosen
// there or by Qt's own options. Without one QApplication would abort with its own message,
// so the program says what is wrong before it.
bool DisplayNamed(int argc, char** argv) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (!qEnvironmentVariableIsEmpty(name)) return true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a(argv[i]);
        if (a == "--") break;
        for (std::string_view option : {"-platform", "-display"})
            if (a == option || (a.size() == option.size() + 1 && a.substr(1) == option)) return true;
    }
    return false;
}

// What is wrong with the arguments (empty when nothing), and where the panes start.
QString CheckArguments(const velmar::ProgramOptions& options, QList<velmar::StartFolder>& folders) {
    if (!options.error.isEmpty())
        return options.error + QStringLiteral("\nTry 'velmar --help' for more.");
    for (const QString& arg : options.folders) {
        folders.append(velmar::ResolveStartFolder(arg, QDir::currentPath()));
        if (!folders.back().error.isEmpty()) return folders.back().error;
    }
    return {};
}

// Started from a launcher nobody reads stderr: a box says it as well. Not on a terminal,
// where the line is seen, nor on a platform without a screen, where nobody could close it.
bool ShowsBox() {
    const QString platform = QGuiApplication::platformName();
    return !isatty(STDERR_FILENO) && platform != QLatin1String("offscreen") &&
           platform != QLatin1String("minimal");
}

} // namespace

int main(int argc, char** argv) {
    // --help and --version answer without a display.
    const velmar::InfoRequest info = velmar::FindInfoRequest(DecodeArguments(argc, argv));
    if (info != velmar::InfoRequest::None) {
        QCoreApplication core(argc, argv);
        const QString text = info == velmar::InfoRequest::Version
                                 ? velmar::VersionText()
                                 : velmar::UsageText(velmar::InstalledHelpPath());
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }

    QList<velmar::StartFolder> folders;
    if (!DisplayNamed(argc, argv)) {
        const QString error = CheckArguments(velmar::ParseOptions(DecodeArguments(argc, argv)), folders);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "velmar: %s\n", qPrintable(error));
            return 2;
        }
        std::fputs("velmar: no display to show the windows on (DISPLAY is not set)\n", stderr);
        return 1;
    }

    QApplication qapp(argc, argv);
    QApplication::setStyle(velmar::NewProgramStyle());
    // Lets the desktop match the windows to the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.korvath.Velmar"));
    // Every window carries it, message boxes and dialogs as well as the frames.
    QApplication::setWindowIcon(velmar::ProgramIcon());
    // QApplication has taken its own options out of argv.
    const velmar::ProgramOptions options = velmar::ParseOptions(DecodeArguments(argc, argv));
    const QString error = CheckArguments(options, folders);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "velmar: %s\n", qPrintable(error));
        if (ShowsBox()) velmar::ShowMessage(QStringLiteral("velmar: ") + error, velmar::MessageKind::Error);
        return 2;
    }

    // The internet state goes after the application object, with the last pane connection.
    struct InternetCloser {
        ~InternetCloser() { velmar::ftp::CloseInternet(); }
    } internetCloser;
    velmar::CVelmarApp app;
    if (!app.InitInstance()) return 1;
    velmar::CMainFrame* frame = app.mainFrame();
    if (options.size.isValid()) frame->resize(options.size);
    velmar::OpenStartFolders(frame, folders);
    QWidget* window = frame;
    if (options.mode != velmar::ids::kResFileManager) {
        if (!app.SwitchMode(options.mode)) return 1;
        window = app.activeFrame();
        if (options.size.isValid()) window->resize(options.size);
    }

    if (!options.screenshotFile.isEmpty()) {
        // A picture of the window as it opens: a question it would ask on opening (the
        // telnet mode's host) is closed unanswered instead of waiting for a person.
        velmar::SetDialogHookForTesting([](QDialog*) {});
        bool saved = false;
        if (options.openCommand == 0) {
            saved = velmar::SaveWindowShot(window, options.screenshotFile);
        } else {
            // The dialog's picture is taken as it opens, then it is closed.
            velmar::SaveWindowShot(window, QString());
            velmar::SetDialogHookForTesting([&](QDialog* dialog) {
                saved = velmar::SaveWindowShot(dialog, options.screenshotFile);
                velmar::SetDialogHookForTesting([](QDialog*) {});
            });
            app.activeFrame()->RouteCommand(options.openCommand);
        }
        if (!saved)
            std::fprintf(stderr, "velmar: cannot write %s\n", qPrintable(options.screenshotFile));
        return saved ? 0 : 1;
    }
    if (options.quitAfterShow) velmar::QuitAfterFirstPaint(window);
    window->show();
    return QApplication::exec();
}
