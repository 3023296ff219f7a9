#pragma once
// The rows of the hex window: a scroll area that reads only the rows it shows, so a file of
// any size opens at once. Three columns under a header: offset, hexadecimal bytes, text.
// In edit mode the hex cells can be retyped in place; the offset cells take an offset to go
// to in either mode.

#include "hexview/HexLayout.h"

#include <QAbstractScrollArea>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>

class QHeaderView;
class QStandardItemModel;

namespace velmar {

namespace platform {
class BlockFile;
}

class HexView;

// The one-line overwrite editor laid over a cell. Mode 0 edits an offset, mode 1 a row's
// hex text; it remembers the row's starting texts, which decide what leaving it does.
class HexEditBox : public QLineEdit {
    Q_OBJECT
public:
    HexEditBox(HexView* view, int mode, const QString& offsetText, const QString& hexText,
               QWidget* parent);
    int mode() const { return mode_; }
    const QString& startOffsetText() const { return startOffset_; }
    const QString& startHexText() const { return startHex_; }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    // Whether `t` can stand in the cell: the same length, digits where digits were and
    // separators where separators were.
    bool Fits(const QString& t) const;
    void TypeText(const QString& typed);
    HexView* view_;
    int mode_;
    QString startOffset_;
    QString startHex_;
    QString good_; // the text as it last fitted
};

class HexView : public QAbstractScrollArea {
    Q_OBJECT
public:
    HexView(platform::BlockFile* file, qint64 length, bool readOnly, const QString& fileName,
            QWidget* parent = nullptr);

    const HexLayout& layout() const { return layout_; }
    bool readOnly() const { return readOnly_; }
    qint64 topRow() const { return top_; }
    // Whole rows that fit the window (at least 1).
    int visibleRows() const;
    qint64 markRow() const { return mark_; }
    void SetMark(qint64 row);

    // Makes `row` the top row (as far as the end of the file allows).
    void ScrollToTop(qint64 row);
    // Scrolls only when `row` is not wholly visible.
    void EnsureVisible(qint64 row);

    struct RowTexts {
        QString offset, hex, text;
    };
    // What row `row` shows, read from the file now; hex and text stay empty when the row
    // cannot be read.
    RowTexts TextsOfRow(qint64 row) const;

    // Column 0 (offset) or 1 (hex) of a visible row, in viewport coordinates.
    QRect CellRect(qint64 row, int column) const;
    // Opens the editor over a cell as a double click does; false where no editor opens.
    bool BeginEdit(qint64 row, int column);
    HexEditBox* editor() const { return editor_; }
    // Leaving the editor: go to a changed offset, or offer to write a changed row.
    void FinishEdit();

    QHeaderView* header() const { return header_; }
    // The pop-up menu last opened (0 "HexMenu", 1 "HexMenu1"), for its entry.
    QMenu* popup() const { return popup_; }
    int popupKind() const { return popupKind_; }

signals:
    void searchRequested();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* e) override;

private:
    void Relayout();
    void SyncScrollBar();
    int ColumnAt(int x) const;
    qint64 RowAt(int y) const;
    void OpenPopup(int kind, const QPoint& globalPos);
    bool WriteRow(const HexEditBox& box);

    platform::BlockFile* file_;
    HexLayout layout_;
    bool readOnly_;
    QString fileName_;
    qint64 top_ = 0;
    qint64 mark_ = -1;
    int rowHeight_ = 16;
    int columnX_[4] = {0, 0, 0, 0};
    bool syncing_ = false;
    QHeaderView* header_ = nullptr;
    QStandardItemModel* headerModel_ = nullptr;
    QPointer<HexEditBox> editor_;
    QPointer<QMenu> popup_;
    int popupKind_ = -1;
};

} // namespace velmar
