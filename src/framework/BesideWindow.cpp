#include "framework/BesideWindow.h"

#include "platform/WindowPost.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <thread>

namespace velmar {

namespace {

// While the work runs: Esc stops it, other input waits.
class StopOnEscape : public QObject {
public:
    explicit StopOnEscape(std::atomic<int>& running) : running_(running) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        // The worker's end of work comes through here too: read as a hand-over.
        switch (platform::ReceivedType(e)) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) running_.store(0);
            return true;
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::Close:
            return true;
        default:
            return QObject::eventFilter(watched, e);
        }
    }

private:
    std::atomic<int>& running_;
};

bool g_busy = false; // interface thread only

} // namespace

bool RunBesideWindow(std::atomic<int>& running, const std::function<void()>& work) {
    if (g_busy) return false;
    g_busy = true;
    QEventLoop loop;
    StopOnEscape filter(running);
    qApp->installEventFilter(&filter);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::thread worker([&] {
        work();
        platform::PostToWindow(&loop, new QEvent(QEvent::Quit));
    });
    loop.exec();
    worker.join();
    QApplication::restoreOverrideCursor();
    qApp->removeEventFilter(&filter);
    g_busy = false;
    return true;
}

} // namespace velmar
