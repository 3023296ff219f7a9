#pragma once
// Posted window messages become QEvents of type QEvent::User + message number, so a worker
// thread hands work to a window with QCoreApplication::postEvent and never touches it.

#include "res/Ids.h"

#include <QEvent>

namespace velmar {

constexpr QEvent::Type PostedEventType(int message) {
    return static_cast<QEvent::Type>(QEvent::User + message);
}

constexpr QEvent::Type kGaugeRepaintEventType = PostedEventType(ids::kMsgGaugeRepaint);

} // namespace velmar
