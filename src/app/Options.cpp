#include "app/Options.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPixmap>
#include <QRegularExpression>
#include <QTimer>
#include <QWidget>

namespace velmar {

ProgramOptions ParseOptions(const QStringList& args) {
    ProgramOptions o;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--screenshot") || a == QLatin1String("--size")) {
            if (i + 1 >= args.size()) {
                o.error = a + QStringLiteral(" needs a value");
                return o;
            }
            const QString v = args.at(++i);
            if (a == QLatin1String("--screenshot")) {
                o.screenshotFile = v;
                continue;
            }
            static const QRegularExpression re(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"));
            const QRegularExpressionMatch m = re.match(v);
            const int w = m.hasMatch() ? m.captured(1).toInt() : 0;
            const int h = m.hasMatch() ? m.captured(2).toInt() : 0;
            if (w < 1 || h < 1) {
                o.error = QStringLiteral("--size wants WIDTHxHEIGHT, not ") + v;
                return o;
            }
            o.size = QSize(w, h);
        } else if (a == QLatin1String("--quit-after-show")) {
            o.quitAfterShow = true;
        } else {
            o.error = QStringLiteral("unknown option ") + a;
            return o;
        }
    }
    return o;
}

bool SaveWindowShot(QWidget* window, const QString& file) {
    window->show();
    // A few rounds: the show, the layout it causes, and what the panes post meanwhile.
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    const QPixmap shot = window->grab();
    return !shot.isNull() && shot.save(file, "PNG");
}

namespace {
class FirstPaintWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // After this paint has finished and reached the screen.
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            deleteLater();
        }
        return false;
    }
};
} // namespace

void QuitAfterFirstPaint(QWidget* window) {
    window->installEventFilter(new FirstPaintWatcher(window));
}

} // namespace velmar
