#include "app/Options.h"
#include "app/VelmarApp.h"
#include "filemgr/MainFrame.h"
#include "platform/Internet.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    const velmar::ProgramOptions options = velmar::ParseOptions(QApplication::arguments());
    if (!options.error.isEmpty()) {
        std::fprintf(stderr,
                     "velmar: %s\nusage: velmar [--size WxH] [--screenshot FILE.png] "
                     "[--quit-after-show]\n",
                     qPrintable(options.error));
        return 2;
    }

    // The internet state goes after the application object, with the last pane connection.
    struct InternetCloser {
        ~InternetCloser() { velmar::platform::CloseInternet(); }
    } internetCloser;
    velmar::CVelmarApp app;
    if (!app.InitInstance()) return 1;
    velmar::CMainFrame* frame = app.mainFrame();
    if (options.size.isValid()) frame->resize(options.size);

    if (!options.screenshotFile.isEmpty()) {
        const bool saved = velmar::SaveWindowShot(frame, options.screenshotFile);
        if (!saved)
            std::fprintf(stderr, "velmar: cannot write %s\n", qPrintable(options.screenshotFile));
        return saved ? 0 : 1;
    }
    if (options.quitAfterShow) velmar::QuitAfterFirstPaint(frame);
    frame->show();
    return QApplication::exec();
}
