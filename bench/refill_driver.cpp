// Fills a pane with one folder, sorted by name, the way a user's refill does: offscreen
// window, the listing thread listing and sorting, the rows handed to the pane in batches, and
// the paint after the last one. Prints the best time of N
// refills and the resident memory with the pane filled. Used by bench/refill.sh.
#include "DriverSupport.h"
#include "filemgr/PaneHost.h"
#include "filemgr/PaneList.h"
#include "filemgr/VelmarDoc.h"
#include "platform/Settings.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

namespace {

class DummyHost : public velmar::PaneHost {
public:
    void SetMenuBar(int) override {}
    void SetPathText(const QString&) override {}
    void SetActivePane(velmar::CPaneList*) override {}
    velmar::CPaneList* OtherPane(velmar::CPaneList* pane) override { return pane; }
};

long ResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: refill_driver FOLDER [RUNS]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Default settings, whatever the user keeps.
    const QString settings = QDir::tempPath() + QStringLiteral("/velmar-bench-settings");
    QDir().mkpath(settings);
    velmar::platform::SetSettingsFolderForTesting(settings);

    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + QLatin1Char('/');
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    velmar::CVelmarDoc doc;
    DummyHost host;
    velmar::CPaneList pane(&doc, &host);
    pane.resize(480, 640);
    pane.show();
    pane.OnUpdate(nullptr);
    pane.controller().SortByColumn(0);
    pane.controller().setCurrentPath(folder);
    QCoreApplication::processEvents();
    // The window's thread sleeps in its loop while the listing thread works, as in the program.
    auto listed = [&pane] {
        while (pane.controller().IsListing())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    };
    listed();

    const double best = velmar::bench::BestOf(runs, [&] {
        pane.controller().RefillPane();
        listed();
        QCoreApplication::processEvents(); // layout and the paint of the new rows
    });
    const long rss = ResidentKiB();

    // What a user does next on the long list, each timed once with its repaint.
    auto timed = [](const char* what, auto action) {
        QElapsedTimer timer;
        timer.start();
        action();
        QCoreApplication::processEvents();
        std::printf("  %-28s %.4f s\n", what, double(timer.nsecsElapsed()) / 1e9);
    };
    timed("header click (resort)", [&] { pane.controller().SortByColumn(0); });
    timed("select all", [&] { pane.selectAll(); });
    timed("resort with all selected", [&] { pane.controller().SortByColumn(1); });
    timed("invert selection", [&] { pane.controller().InvertSelection(); });
    timed("invert again", [&] { pane.controller().InvertSelection(); });
    timed("collect selection", [&] { pane.controller().CollectSelection(nullptr, nullptr); });
    timed("scroll to the end", [&] { pane.scrollToBottom(); });
    std::printf("refill %.4f s, %d rows, VmRSS %ld KiB\n", best, pane.controller().RowCount(), rss);
    return 0;
}
