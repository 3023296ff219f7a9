#include "filemgr/BatteryGauge.h"

#include "platform/Power.h"

#include <QPainter>

namespace velmar {

namespace {
// Rectangles as left, top, right, bottom with the right and bottom edges outside.
void Fill(QPainter& p, int left, int top, int right, int bottom, const QColor& c) {
    if (right > left && bottom > top) p.fillRect(QRect(left, top, right - left, bottom - top), c);
}
} // namespace

void PaintBatteryGauge(QPainter& p, const QRect& r, bool statusOk, int percent, bool likeNc,
                       const QColor& workspace) {
    const int left = r.left();
    const int top = r.top();
    const int right = r.left() + r.width();
    const int bottom = r.top() + r.height();
    if (!statusOk || percent == 255 || percent < 0) {
        Fill(p, left, top, right, bottom, workspace);
        return;
    }
    percent = qMin(percent, 100);
    const QColor outline = likeNc ? QColor(255, 255, 255) : QColor(0, 0, 0);
    Fill(p, left + 1, top, right - 1, top + 3, outline); // cap
    Fill(p, left, top + 3, right, bottom, outline);      // body
    const int inLeft = left + 2;
    const int inTop = top + 3;
    const int inRight = right - 2;
    const int inBottom = bottom - 2;
    Fill(p, inLeft, inTop, inRight, inBottom, QColor(255, 0, 0));
    const int level = inBottom - (inBottom - inTop) * percent / 100;
    Fill(p, inLeft, level, inRight, inBottom, QColor(0, 255, 0));
}

BatteryGauge::BatteryGauge(QWidget* parent) : QWidget(parent) {
    setFixedSize(kGaugeWidth, kGaugeHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void BatteryGauge::SetLikeNc(bool on) {
    if (likeNc_ == on) return;
    likeNc_ = on;
    update();
}

void BatteryGauge::paintEvent(QPaintEvent*) {
    platform::PowerStatus status;
    const bool ok = platform::GetPowerStatus(status);
    QPainter p(this);
    // The frame's own background where the gauge leaves the corner uncovered.
    p.fillRect(rect(), palette().color(QPalette::Window));
    PaintBatteryGauge(p, rect(), ok, status.batteryLifePercent, likeNc_,
                      palette().color(QPalette::Mid));
}

} // namespace velmar
