#pragma once
// The Lines board on screen: a strip on top with the best score, the three preview slots
// and the score; below it the square board, as large as the window allows. A tap (or
// Space/Enter on the keyboard cursor) selects a ball or moves the selected one.

#include "framework/View.h"
#include "game/core/LinesBoard.h"

#include <QColor>
#include <QRect>
#include <QWidget>
#include <array>

class QLabel;

namespace velmar {

class CLinesDoc;

class CLinesView : public QWidget, public CView {
    Q_OBJECT
public:
    explicit CLinesView(CLinesDoc* doc, QWidget* parent = nullptr);

    QWidget* widget() override { return this; }
    void OnInitialUpdate() override;
    void OnUpdate(CView*) override { update(); }
    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, CommandState& state) override;

    CLinesDoc* doc() const { return doc_; }
    bool sound() const { return sound_; }

    // Layout, for the tests and the drawing: the square of cell (x, y), the square of
    // preview slot i, the side of one cell.
    QRect CellRect(lines::Cell c) const;
    QRect SlotRect(int slot) const { return slots_[size_t(slot)]; }
    int cellSide() const { return cell_; }
    lines::Cell cursor() const { return cursor_; }

    static QColor BallColour(int value);
    static const QColor kBoardColour;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Layout();
    void Tap(lines::Cell c);
    void DrawCell(QPainter& p, lines::Cell c) const;
    void DrawSlots(QPainter& p) const;
    void RedrawCell(int x, int y);
    void RedrawSlots();
    void ShowBest(int best);
    void ShowScore(int score);

    CLinesDoc* doc_;
    QLabel* bestLabel_ = nullptr;
    QLabel* scoreLabel_ = nullptr;
    bool sound_ = false;
    int boardTop_ = 0;
    int boardLeft_ = 0;
    int cell_ = 0;
    int strip_ = 20;
    std::array<QRect, 3> slots_;
    lines::Cell cursor_{4, 4};
    bool cursorShown_ = false;
};

} // namespace velmar
