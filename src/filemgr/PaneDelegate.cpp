#include "filemgr/PaneDelegate.h"

#include "filemgr/PaneList.h"
#include "filemgr/PaneModel.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QPainter>

namespace velmar {

QString CutWithDots(const QString& text, const QFontMetrics& metrics, int width) {
    // Most names are short: when even the widest characters fit, skip measuring the text.
    if (qsizetype(metrics.maxWidth()) * text.size() <= width) return text;
    if (metrics.horizontalAdvance(text) <= width) return text;
    const QString dots = QStringLiteral("...");
    const int room = width - metrics.horizontalAdvance(dots);
    if (room <= 0) return dots;
    // Binary search for the longest prefix that fits in front of the dots.
    int lo = 0, hi = int(text.size());
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (metrics.horizontalAdvance(QStringView(text).left(mid).toString()) <= room)
            lo = mid;
        else
            hi = mid - 1;
    }
    // Never split a surrogate pair.
    if (lo > 0 && text.at(lo - 1).isHighSurrogate()) --lo;
    return text.left(lo) + dots;
}

void CLikeNcDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    if (!likeNc_) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    const QFontMetrics& fm = option.fontMetrics;
    const int offset = fm.horizontalAdvance(QLatin1Char(' '));
    const QRect cell = option.rect;
    const bool highlighted = (option.state & QStyle::State_Selected) != 0;
    const bool folder = index.data(CPaneModel::kFolderRole).toBool();

    // The cursor is a bar across the whole row: solid in the pane that takes the keys, dim
    // in the other. Marked rows keep their yellow text on it.
    const bool cursor = view && view->currentIndex().row() == index.row();
    const auto* pane = qobject_cast<const CPaneList*>(view);
    const bool active = pane ? pane->IsActivePane() : view && view->hasFocus();

    painter->save();
    painter->fillRect(cell, !cursor  ? likenc::kBackground
                            : active ? likenc::kCursorBackground
                                     : likenc::kDimCursorBackground);
    painter->setFont(option.font);
    painter->setPen(highlighted            ? likenc::kHighlightText
                    : cursor && active     ? likenc::kCursorText
                    : folder               ? likenc::kFolderText
                                           : option.palette.color(QPalette::Text));
    QRect textRect = cell;
    if (index.column() == 0)
        textRect.adjust(offset / 2, 0, offset / 2 - offset, 0);
    else
        textRect.adjust(offset, 0, -offset, 0);
    const Qt::Alignment align =
        (index.column() == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter;
    const QString text = CutWithDots(index.data().toString(), fm, textRect.width());
    painter->drawText(textRect, int(align) | Qt::TextSingleLine, text);
    painter->restore();
}

QWidget* CLikeNcDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (likeNc_ && editor) {
        QPalette p = editor->palette();
        p.setColor(QPalette::Base, likenc::kBackground);
        p.setColor(QPalette::Window, likenc::kBackground);
        p.setColor(QPalette::Text, likenc::kText);
        editor->setPalette(p);
        editor->setAutoFillBackground(true);
    }
    return editor;
}

void CPaneHeader::setLikeNc(bool on) {
    if (likeNc_ == on) return;
    likeNc_ = on;
    // The height follows the style: the plain one asks the style, the LikeNC one is a row
    // of text between one-pixel lines.
    headerDataChanged(orientation(), 0, qMax(0, count() - 1));
    updateGeometry();
    viewport()->update();
}

QSize CPaneHeader::sectionSizeFromContents(int logicalIndex) const {
    if (!likeNc_) return QHeaderView::sectionSizeFromContents(logicalIndex);
    // The title in the header's own font between 3-pixel margins, over a one-pixel line.
    const QString title = model()->headerData(logicalIndex, orientation()).toString();
    const QFontMetrics fm = fontMetrics();
    return {fm.horizontalAdvance(title) + 7, fm.height() + 2};
}

void CPaneHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!likeNc_) {
        painter->save();
        QHeaderView::paintSection(painter, rect, logicalIndex);
        painter->restore();
        const auto* pane = qobject_cast<const CPaneList*>(parentWidget());
        if (pane && pane->IsActivePane())
            painter->fillRect(QRect(rect.left(), rect.bottom() - 2, rect.width(), 3),
                              palette().color(QPalette::Highlight));
        return;
    }
    painter->save();
    painter->fillRect(rect, likenc::kBackground);
    painter->setPen(likenc::kText);
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    // Sections are painted only with a model.
    const QVariant align = model()->headerData(logicalIndex, orientation(), Qt::TextAlignmentRole);
    const Qt::Alignment alignment =
        align.isValid() ? Qt::Alignment(align.toInt()) : defaultAlignment();
    painter->setPen(likenc::kHighlightText);
    painter->drawText(rect.adjusted(3, 0, -4, -1), int(alignment | Qt::AlignVCenter),
                      model()->headerData(logicalIndex, orientation()).toString());
    painter->restore();
}

} // namespace velmar
