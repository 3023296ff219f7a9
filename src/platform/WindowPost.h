#pragma once
// Posting from a worker thread to a window. Qt hands posted events over through locks that
// ThreadSanitizer cannot see; these two mark the hand-over for it (and cost nothing in other
// builds). Workers post through PostToWindow; a receiver, or an event filter that may see
// such an event, reads the type of an event through ReceivedType before it touches it.

#include <QEvent>

#include <functional>

class QObject;

namespace velmar::platform {

void PostToWindow(QObject* receiver, QEvent* event);
QEvent::Type ReceivedType(QEvent* event);

// Runs `call` on the application's thread, after what was posted before it: a worker's way to
// ask a question or tell a failure (a queued QMetaObject::invokeMethod hands its functor over
// unmarked).
void CallOnWindowThread(std::function<void()> call);

} // namespace velmar::platform
