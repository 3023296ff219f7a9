#pragma once
// Draws a pane's rows. In the plain style it leaves everything to Qt; in the LikeNC style
// it paints as the old commander look: light text on dark blue, selected rows yellow,
// folders white, text cut with "..." and the cursor a solid teal bar in the active pane
// (a dim one in the other).

#include <QHeaderView>
#include <QStyledItemDelegate>

namespace velmar {

namespace likenc {
inline const QColor kBackground(0, 0, 143);
inline const QColor kText(0, 255, 255);
inline const QColor kHighlightText(255, 255, 0);
inline const QColor kFolderText(255, 255, 255);
inline const QColor kCursorBackground(0, 170, 170);
inline const QColor kCursorText(0, 0, 0);
inline const QColor kDimCursorBackground(0, 64, 112);
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

// The column header: in the LikeNC style yellow titles on dark blue with cyan lines at the
// right and bottom of each section, painted directly (a style sheet on the header costs
// a style of its own at start-up and on every paint). It starts in the LikeNC style, the
// default: the plain style's measure of the titles loads a bold font the LikeNC header
// never draws. In the plain style the active pane's header carries a bar in the palette's
// highlight colour along its bottom, so the pane that takes the keys is plain to see.
class CPaneHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit CPaneHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

    void setLikeNc(bool on);
    bool likeNc() const { return likeNc_; }

protected:
    QSize sectionSizeFromContents(int logicalIndex) const override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    bool likeNc_ = true;
};

} // namespace velmar
