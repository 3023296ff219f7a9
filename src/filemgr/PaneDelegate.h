#pragma once
// Draws a pane's rows. In the plain style it leaves everything to Qt; in the LikeNC style
// it paints as the old commander look: light text on dark blue, selected rows yellow,
// folders white, text cut with "..." and a focus frame around the focused row.

#include <QStyledItemDelegate>

namespace velmar {

namespace likenc {
inline const QColor kBackground(0, 0, 143);
inline const QColor kText(0, 255, 255);
inline const QColor kHighlightText(255, 255, 0);
inline const QColor kFolderText(255, 255, 255);
} // namespace likenc

// The longest prefix of `text` that fits in `width` followed by "...", or `text` itself
// when it fits.
QString CutWithDots(const QString& text, const QFontMetrics& metrics, int width);

class CLikeNcDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setLikeNc(bool on) { likeNc_ = on; }
    bool likeNc() const { return likeNc_; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;

private:
    bool likeNc_ = false;
};

} // namespace velmar
