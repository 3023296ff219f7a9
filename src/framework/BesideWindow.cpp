#include "framework/BesideWindow.h"

#include "platform/Cancel.h"
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
    StopOnEscape(std::atomic<int>& running, platform::CancelToken* cancel)
        : running_(running), cancel_(cancel) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        // The worker's end of work comes through here too: read as a hand-over.
        switch (platform::ReceivedType(e)) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) Stop();
            return true;
        case QEvent::Close:
            // The window cannot go while its work runs; work that can be cut ends now.
            if (cancel_) Stop();
            return true;
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
            return true;
        default:
            return QObject::eventFilter(watched, e);
        }
    }

private:
    void Stop() {
        running_.store(0);
        if (cancel_) cancel_->Cancel();
    }
    std::atomic<int>& running_;
    platform::CancelToken* cancel_;
};

bool g_busy = false; // interface thread only

} // namespace

bool RunBesideWindow(std::atomic<int>& running, const std::function<void()>& work,
                     platform::CancelToken* cancel) {
    if (g_busy) return false;
    g_busy = true;
    QEventLoop loop;
    StopOnEscape filter(running, cancel);
    qApp->installEventFilter(&filter);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::thread worker([&] {
        {
            const platform::ScopedCancel scope(cancel);
            work();
        }
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
