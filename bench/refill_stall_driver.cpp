// Refills an offscreen pane with one large folder, sorted by name, and measures how long the
// window's event loop went without a turn meanwhile: a 1 ms timer notes every turn, and the
// longest gap between two is the longest the window could neither paint nor take input.
// The pane already shows the folder, so the refill also lets go of every old row. Prints the
// longest gap of N refills. Used by bench/refill-stall.sh.
#include "filemgr/PaneHost.h"
#include "filemgr/PaneList.h"
#include "filemgr/VelmarDoc.h"
#include "platform/Settings.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

class DummyHost : public velmar::PaneHost {
public:
    void SetMenuBar(int) override {}
    void SetPathText(const QString&) override {}
    void SetActivePane(velmar::CPaneList*) override {}
    velmar::CPaneList* OtherPane(velmar::CPaneList* pane) override { return pane; }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: refill_stall_driver FOLDER [RUNS]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString settings = QDir::tempPath() + QStringLiteral("/velmar-bench-settings");
    QDir().mkpath(settings);
    velmar::platform::SetSettingsFolderForTesting(settings);
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + QLatin1Char('/');
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;

    velmar::CVelmarDoc doc;
    DummyHost host;
    velmar::CPaneList pane(&doc, &host);
    pane.resize(480, 640);
    pane.show();
    pane.OnUpdate(nullptr);
    velmar::PaneController& controller = pane.controller();
    controller.SortByColumn(0);
    controller.setCurrentPath(folder);

    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    bool measuring = false;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    beat.setInterval(1);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (measuring) longest = std::max(longest, now - last);
        last = now;
    });
    beat.start();

    auto refill = [&] {
        QEventLoop loop;
        QObject::connect(&controller, &velmar::PaneController::listingFinished, &loop,
                         &QEventLoop::quit);
        QElapsedTimer total;
        QTimer::singleShot(0, [&] {
            // The turn that starts the refill counts from its start.
            last = clock.nsecsElapsed();
            measuring = true;
            total.start();
            controller.RefillPane();
        });
        loop.exec();
        // The paint of the last rows is part of the refill.
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
        measuring = false;
        return double(total.nsecsElapsed()) / 1e9;
    };
    refill(); // the pane shows the folder; what follows is a refill of it
    double seconds = 0;
    longest = 0;
    for (int i = 0; i < runs; ++i)
        seconds = std::max(seconds, refill());
    std::printf("refill-stall longest %.4f s, refill %.3f s, %d rows\n", double(longest) / 1e9,
                seconds, controller.RowCount());
    return 0;
}
