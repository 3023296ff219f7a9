#include "app/Options.h"

#include "filemgr/MainFrame.h"
#include "filemgr/PaneController.h"
#include "filemgr/PaneList.h"
#include "platform/FindRecord.h"
#include "platform/LocalFind.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QMap>
#include <QPixmap>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <QWidget>

namespace velmar {

ProgramOptions ParseOptions(const QStringList& args) {
    ProgramOptions o;
    bool onlyFolders = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (onlyFolders || !a.startsWith(QLatin1Char('-')) || a == QLatin1String("-")) {
            if (o.folders.size() == 2) {
                o.error = QStringLiteral("too many folders (one for each pane): ") + a;
                return o;
            }
            o.folders.append(a);
        } else if (a == QLatin1String("--")) {
            onlyFolders = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.help = true;
        } else if (a == QLatin1String("--version")) {
            o.version = true;
        } else if (a == QLatin1String("--screenshot") || a == QLatin1String("--size")) {
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
        } else if (a == QLatin1String("--mode")) {
            static const QMap<QString, int> modes{
                {QStringLiteral("filemanager"), ids::kResFileManager},
                {QStringLiteral("telnet"), ids::kResTelnet},
                {QStringLiteral("game"), ids::kResGame}};
            const QString v = i + 1 < args.size() ? args.at(++i) : QString();
            if (!modes.contains(v)) {
                o.error = QStringLiteral("--mode wants filemanager, telnet or game, not ") + v;
                return o;
            }
            o.mode = modes.value(v);
        } else if (a == QLatin1String("--open")) {
            static const QMap<QString, int> windows{
                {QStringLiteral("about"), ids::kCmdAbout},
                {QStringLiteral("ping"), ids::kCmdPing},
                {QStringLiteral("whois"), ids::kCmdWhois},
                {QStringLiteral("finger"), ids::kCmdFinger},
                {QStringLiteral("tasks"), ids::kCmdTaskManager},
                {QStringLiteral("sysinfo"), ids::kCmdSystemInfo},
                {QStringLiteral("hex"), ids::kCmdViewHex},
                {QStringLiteral("connect"), ids::kCmdTelnetConnect}};
            const QString v = i + 1 < args.size() ? args.at(++i) : QString();
            if (!windows.contains(v)) {
                o.error = QStringLiteral("--open wants one of ") +
                          QStringList(windows.keys()).join(QStringLiteral(", ")) +
                          QStringLiteral(", not ") + v;
                return o;
            }
            o.openCommand = windows.value(v);
        } else if (a == QLatin1String("--quit-after-show")) {
            o.quitAfterShow = true;
        } else {
            o.error = QStringLiteral("unknown option ") + a;
            return o;
        }
    }
    return o;
}

InfoRequest FindInfoRequest(const QStringList& args) {
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--")) break;
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) return InfoRequest::Help;
        if (a == QLatin1String("--version")) return InfoRequest::Version;
    }
    return InfoRequest::None;
}

QString VersionText() {
    return QStringLiteral("CE Velmar " VELMAR_VERSION "\n");
}

QString UsageText(const QString& manual) {
    QString text = QStringLiteral(
        "Usage: velmar [OPTION...] [FOLDER [FOLDER]]\n"
        "CE Velmar, a dual-pane file manager with FTP, a hex editor, telnet, network and\n"
        "system tools. The left pane starts in the first FOLDER, the right pane in the\n"
        "second (the root folder when none is given); a file stands for its folder.\n"
        "\n"
        "  -h, --help        show this help and exit\n"
        "      --version     show the version and exit\n"
        "      --mode MODE   start in the mode filemanager, telnet or game\n"
        "      --size WxH    open the main window at this size\n"
        "      --            what follows is a FOLDER, even if it begins with -\n");
    if (!manual.isEmpty()) text += QStringLiteral("\nManual: ") + manual + QLatin1Char('\n');
    return text;
}

StartFolder ResolveStartFolder(const QString& arg, const QString& cwd) {
    StartFolder s;
    QString path = arg.startsWith(QLatin1Char('/')) ? arg : cwd + QLatin1Char('/') + arg;
    path = QDir::cleanPath(path);
    FindRecord record;
    if (arg.isEmpty() || !platform::StatPath(path, record)) {
        s.error = QStringLiteral("no such file or folder: ") + arg;
        return s;
    }
    if (!record.isFolder()) {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        s.focus = path.mid(slash + 1);
        path = path.left(slash);
    }
    s.folder = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
    return s;
}

void OpenStartFolders(CMainFrame* frame, const QList<StartFolder>& folders) {
    CPaneList* panes[] = {frame->firstPane(), frame->secondPane()};
    for (qsizetype i = 0; i < folders.size() && i < 2; ++i) {
        PaneController& pane = panes[i]->controller();
        pane.setCurrentPath(folders[i].folder);
        pane.FocusAfterRefill(folders[i].focus);
        pane.RefillPane();
    }
}

bool SaveWindowShot(QWidget* window, const QString& file) {
    window->show();
    // A few rounds: the show, the layout it causes, and what the panes post meanwhile.
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    // The panes list on a thread: the picture shows them once they hold their rows (a
    // bound, should a folder never finish).
    const auto listing = [window] {
        for (const CPaneList* pane : window->findChildren<CPaneList*>())
            if (pane->controller().IsListing()) return true;
        return false;
    };
    QElapsedTimer waited;
    waited.start();
    while (listing() && waited.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    for (int i = 0; i < 3; ++i) {
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
