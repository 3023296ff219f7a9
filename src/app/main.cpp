#include "app/Options.h"
#include "app/VelmarApp.h"
#include "filemgr/MainFrame.h"
#include "framework/Browser.h"
#include "framework/Dialogs.h"
#include "framework/Frame.h"
#include "framework/Icons.h"
#include "ftp/curl/CurlFtp.h"
#include "platform/NameCodec.h"
#include "res/Ids.h"

#include <QApplication>
#include <QDir>
#include <cstdio>

namespace {

// Arguments as the file system spells them: a folder name that is not UTF-8 still names
// its folder.
QStringList DecodeArguments(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args.append(velmar::platform::DecodeName(std::string_view(argv[i])));
    return args;
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

    QApplication qapp(argc, argv);
    QApplication::setStyle(velmar::NewProgramStyle());
    // Lets the desktop match the windows to the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.korvath.Velmar"));
    // QApplication has taken its own options out of argv.
    const velmar::ProgramOptions options = velmar::ParseOptions(DecodeArguments(argc, argv));
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "velmar: %s\nTry 'velmar --help' for more.\n",
                     qPrintable(options.error));
        return 2;
    }
    QList<velmar::StartFolder> folders;
    for (const QString& arg : options.folders) {
        folders.append(velmar::ResolveStartFolder(arg, QDir::currentPath()));
        if (!folders.back().error.isEmpty()) {
            std::fprintf(stderr, "velmar: %s\n", qPrintable(folders.back().error));
            return 2;
        }
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
        const bool saved = velmar::SaveWindowShot(window, options.screenshotFile);
        if (!saved)
            std::fprintf(stderr, "velmar: cannot write %s\n", qPrintable(options.screenshotFile));
        return saved ? 0 : 1;
    }
    if (options.quitAfterShow) velmar::QuitAfterFirstPaint(window);
    window->show();
    return QApplication::exec();
}
