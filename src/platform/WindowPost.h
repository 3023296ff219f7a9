#pragma once
// Posting from a worker thread to a window. Qt hands posted events over through locks that
// ThreadSanitizer cannot see; these two mark the hand-over for it (and cost nothing in other
// builds). Workers post through PostToWindow; a receiver, or an event filter that may see
// such an event, reads the type of an event through ReceivedType before it touches it.

#include <QEvent>

class QObject;

namespace velmar::platform {

void PostToWindow(QObject* receiver, QEvent* event);
QEvent::Type ReceivedType(QEvent* event);

} // namespace velmar::platform
