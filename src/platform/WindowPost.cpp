#include "platform/WindowPost.h"

#include <QCoreApplication>
#include <QObject>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer) && !defined(__SANITIZE_THREAD__)
#define __SANITIZE_THREAD__ 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

namespace velmar::platform {

void PostToWindow(QObject* receiver, QEvent* event) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(event);
#endif
    QCoreApplication::postEvent(receiver, event);
}

QEvent::Type ReceivedType(QEvent* event) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(event);
#endif
    return event->type();
}

namespace {

const QEvent::Type kCallEvent = QEvent::Type(QEvent::registerEventType());

struct CallEvent : QEvent {
    explicit CallEvent(std::function<void()> f) : QEvent(kCallEvent), call(std::move(f)) {}
    std::function<void()> call;
};

// Lives on the application's thread for the program's life and runs the calls posted to it.
class Caller : public QObject {
public:
    bool event(QEvent* e) override {
        if (ReceivedType(e) != kCallEvent) return QObject::event(e);
        static_cast<CallEvent*>(e)->call();
        return true;
    }
};

} // namespace

void CallOnWindowThread(std::function<void()> call) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    static Caller* const caller = [app] {
        auto* c = new Caller;
        // Made on whichever thread asks first, it moves to the application's from there.
        c->moveToThread(app->thread());
        return c;
    }();
    PostToWindow(caller, new CallEvent(std::move(call)));
}

} // namespace velmar::platform
