// Opens a file in the hex window the way "View in HEX" does (offscreen): open, lay out and
// paint the first page, go to the last row (Ctrl+End) and paint that page, close. Prints
// the best time of N runs. `make FILE GIB` makes a sparse file with a few bytes at both ends.
// Used by bench/hex-open.sh.
#include "DriverSupport.h"
#include "hexview/HexView.h"
#include "hexview/HexViewDialog.h"
#include "platform/BlockFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: hexopen_driver make FILE GIB | open FILE [RUNS]\n");
        return 2;
    }
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString path = QString::fromLocal8Bit(argv[2]);
    if (mode == QLatin1String("make")) {
        QFile f(path);
        const qint64 length = qint64(argc > 3 ? std::atoi(argv[3]) : 16) << 30;
        if (!f.open(QIODevice::WriteOnly) || !f.resize(length)) return 1;
        f.write("first row");
        f.seek(length - 8);
        f.write("last row");
        return 0;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 7;
    QString lastRow;
    bool opened = true;
    const double best = velmar::bench::BestOf(runs, [&] {
        auto file = std::make_unique<velmar::platform::BlockFile>();
        if (!file->Open(path, velmar::platform::BlockFile::Mode::ReadShared)) {
            opened = false;
            return;
        }
        velmar::HexViewDialog dialog(std::move(file), path, true);
        dialog.resize(640, 480);
        velmar::HexView* view = dialog.view();
        dialog.grab(); // lays out and paints the first page
        QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
        QApplication::sendEvent(view, &end);
        view->viewport()->grab(); // paints the last page
        lastRow = view->TextsOfRow(view->layout().rowCount() - 1).text +
                  view->TextsOfRow(view->layout().rowCount() - 2).text;
    });
    if (!opened) return 1;
    std::printf("hexopen %.6f\n", best);
    std::printf("last rows: %s\n", lastRow.toLatin1().constData());
    return 0;
}
