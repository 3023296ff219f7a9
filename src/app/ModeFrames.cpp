#include "app/ModeFrames.h"

#include "res/Ids.h"

#include <QPainter>

namespace velmar {

CPlaceholderView::CPlaceholderView(const QString& caption, QWidget* parent)
    : QWidget(parent), caption_(caption) {
    setFocusPolicy(Qt::StrongFocus);
}

void CPlaceholderView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0, 0, 0));
    p.setPen(QColor(170, 170, 170));
    p.drawText(rect(), Qt::AlignCenter, caption_);
}

} // namespace velmar
