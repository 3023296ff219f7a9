#include "app/HotStatic.h"

#include "framework/Browser.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace velmar {

CHotStatic::CHotStatic(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

const QFont& CHotStatic::LinkFont() {
    if (!haveLinkFont_) {
        linkFont_ = parentWidget() ? parentWidget()->font() : font();
        linkFont_.setItalic(true);
        linkFont_.setUnderline(true);
        haveLinkFont_ = true;
    }
    return linkFont_;
}

QSize CHotStatic::sizeHint() const {
    QFont f = parentWidget() ? parentWidget()->font() : font();
    f.setItalic(true);
    f.setUnderline(true);
    const QFontMetrics fm(f);
    // Italic letters lean past their advance: room for the last one's slant.
    const int width = qMax(fm.horizontalAdvance(text()), fm.boundingRect(text()).width()) +
                      fm.averageCharWidth() + contentsMargins().left() + contentsMargins().right();
    return QSize(width, fm.height() + contentsMargins().top() + contentsMargins().bottom());
}

QSize CHotStatic::minimumSizeHint() const {
    return sizeHint();
}

bool CHotStatic::Click() {
    if (target_.isEmpty()) target_ = text();
    // https is as much a web address as http; a file: target is the installed manual.
    if (!target_.contains(QLatin1String("http:")) && !target_.contains(QLatin1String("https:")) &&
        !target_.startsWith(QLatin1String("file:")))
        return false;
    const QUrl url(target_.trimmed(), QUrl::StrictMode);
    if (url.isValid() && OpenInBrowser(url)) {
        visited_ = true;
        update();
        return true;
    }
    QApplication::beep();
    return false;
}

void CHotStatic::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Click();
        event->accept();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void CHotStatic::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        Click();
        event->accept();
        return;
    }
    QLabel::keyPressEvent(event);
}

void CHotStatic::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.setFont(LinkFont());
    p.setPen(currentColor());
    p.setClipRect(rect());
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text());
    if (hasFocus()) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

} // namespace velmar
