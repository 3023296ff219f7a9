#include "game/LinesView.h"

#include "framework/Dialogs.h"
#include "game/LinesDoc.h"
#include "res/Ids.h"

#include <QApplication>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace velmar {

using lines::Cell;
using lines::kBoardSize;

const QColor CLinesView::kBoardColour{0, 255, 255};

namespace {
// By ball value; only 1 to 7 occur on the board.
constexpr std::array<QRgb, 10> kPalette{qRgb(0, 0, 0),     qRgb(255, 0, 0),     qRgb(0, 255, 0),
                                        qRgb(0, 0, 255),   qRgb(255, 255, 0),   qRgb(255, 0, 255),
                                        qRgb(0, 200, 200), qRgb(255, 255, 255), qRgb(255, 255, 0),
                                        qRgb(255, 0, 255)};

// The handheld's strip was 20 pixels; on a larger window it grows with the board, so the
// previews stay in proportion to the balls.
constexpr int kMinStrip = 20;
constexpr int kStripPerSide = 14;

QLabel* ScoreLabel(QWidget* parent, int id) {
    auto* label = new QLabel(QStringLiteral("0"), parent);
    SetControlId(label, id);
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setIndent(4);
    return label;
}
} // namespace

QColor CLinesView::BallColour(int value) {
    return value >= 0 && value < int(kPalette.size()) ? QColor(kPalette[size_t(value)])
                                                      : QColor(Qt::black);
}

CLinesView::CLinesView(CLinesDoc* doc, QWidget* parent) : QWidget(parent), doc_(doc) {
    setObjectName(QStringLiteral("CLinesView"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    bestLabel_ = ScoreLabel(this, 1);
    scoreLabel_ = ScoreLabel(this, 2);
    setMinimumSize(160, 180);
    doc_->AddView(this);
    connect(doc_, &CLinesDoc::cellChanged, this, &CLinesView::RedrawCell);
    connect(doc_, &CLinesDoc::boardChanged, this, qOverload<>(&QWidget::update));
    connect(doc_, &CLinesDoc::previewChanged, this, &CLinesView::RedrawSlots);
    connect(doc_, &CLinesDoc::scoreChanged, this, &CLinesView::ShowScore);
    connect(doc_, &CLinesDoc::bestChanged, this, &CLinesView::ShowBest);
    connect(doc_, &CLinesDoc::sound, this, [this](lines::Beep) {
        if (sound_) QApplication::beep();
    });
    ShowBest(doc_->best());
    Layout();
}

void CLinesView::OnInitialUpdate() {
    ShowBest(doc_->best());
    doc_->StartFirstGame();
}

void CLinesView::ShowBest(int best) {
    bestLabel_->setText(QString::number(best));
}

void CLinesView::ShowScore(int score) {
    scoreLabel_->setText(QString::number(score));
}

void CLinesView::Layout() {
    const int w = width();
    const int h = height();
    strip_ = std::max({kMinStrip, fontMetrics().height() + 6, std::min(w, h) / kStripPerSide});
    // The board shares the height with the strip, so it never runs off the bottom.
    cell_ = std::max(0, std::min(w, h - strip_) / kBoardSize);
    boardLeft_ = (w - kBoardSize * cell_) / 2;
    boardTop_ = (h - kBoardSize * cell_ - strip_) / 2 + strip_;

    const int third = w / 3;
    QFont digits = font();
    digits.setBold(true);
    digits.setPixelSize(std::max(QFontInfo(font()).pixelSize(), strip_ * 11 / 20));
    bestLabel_->setFont(digits);
    scoreLabel_->setFont(digits);
    bestLabel_->setGeometry(0, 0, third, strip_);
    scoreLabel_->setGeometry(2 * third, 0, third, strip_);
    const int s = std::min(third / 3, strip_);
    const int first = third + (third - 3 * s) / 2;
    for (int i = 0; i < 3; ++i)
        slots_[size_t(i)] = QRect(first + i * s, (strip_ - s) / 2, s, s);
}

QRect CLinesView::CellRect(Cell c) const {
    return QRect(boardLeft_ + c.x * cell_, boardTop_ + c.y * cell_, cell_, cell_);
}

void CLinesView::DrawCell(QPainter& p, Cell c) const {
    const QRect r = CellRect(c);
    const int value = doc_->game().board().at(c);
    const bool selected = value != 0 && doc_->game().selected() == c;
    // A selected ball sits on the inverted square: inverse fill, inverse border.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(r, selected ? QColor(255, 0, 0) : kBoardColour);
    p.setPen(selected ? Qt::white : Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    if (value != 0) {
        const int inset = std::max(1, cell_ / 12);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(Qt::black, std::max(1, cell_ / 40)));
        p.setBrush(BallColour(value));
        p.drawEllipse(QRectF(r).adjusted(inset, inset, -inset - 1, -inset - 1));
    }
    if (cursorShown_ && c == cursor_) {
        const int inset = std::max(2, cell_ / 16);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(selected ? Qt::white : Qt::black, std::max(2, cell_ / 24), Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(inset, inset, -inset - 1, -inset - 1));
    }
}

void CLinesView::DrawSlots(QPainter& p) const {
    const lines::LinesGame& game = doc_->game();
    for (int i = 0; i < 3; ++i) {
        const QRect r = slots_[size_t(i)];
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(r, Qt::white);
        p.setPen(QColor(160, 160, 160));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
        const int colour = game.nextColour(i);
        if (game.showNext() && colour != -1) {
            p.setRenderHint(QPainter::Antialiasing, true);
            p.setPen(Qt::black);
            p.setBrush(BallColour(colour));
            p.drawEllipse(QRectF(r).adjusted(1, 1, -2, -2));
        }
    }
}

void CLinesView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.fillRect(event->rect(), palette().window());
    if (cell_ > 0) {
        p.fillRect(CellRect({0, 0}).united(CellRect({kBoardSize - 1, kBoardSize - 1})),
                   kBoardColour);
        for (int x = 0; x < kBoardSize; ++x)
            for (int y = 0; y < kBoardSize; ++y)
                if (event->rect().intersects(CellRect({x, y}))) DrawCell(p, {x, y});
    }
    DrawSlots(p);
}

void CLinesView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Layout();
    update();
}

void CLinesView::RedrawCell(int x, int y) {
    update(CellRect({x, y}));
}

void CLinesView::RedrawSlots() {
    for (const QRect& r : slots_)
        update(r);
}

void CLinesView::Tap(Cell c) {
    doc_->game().Tap(c);
}

void CLinesView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || cell_ <= 0) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint pt = event->position().toPoint() - QPoint(boardLeft_, boardTop_);
    // Off the board a tap does nothing (its cell would lie outside the board).
    if (pt.x() < 0 || pt.y() < 0 || pt.x() >= kBoardSize * cell_ || pt.y() >= kBoardSize * cell_)
        return;
    const Cell c{pt.x() / cell_, pt.y() / cell_};
    RedrawCell(cursor_.x, cursor_.y);
    cursor_ = c;
    cursorShown_ = false;
    Tap(c);
}

void CLinesView::keyPressEvent(QKeyEvent* event) {
    Cell next = cursor_;
    switch (event->key()) {
    case Qt::Key_Left:
        --next.x;
        break;
    case Qt::Key_Right:
        ++next.x;
        break;
    case Qt::Key_Up:
        --next.y;
        break;
    case Qt::Key_Down:
        ++next.y;
        break;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        cursorShown_ = true;
        RedrawCell(cursor_.x, cursor_.y);
        Tap(cursor_);
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    next.x = std::clamp(next.x, 0, kBoardSize - 1);
    next.y = std::clamp(next.y, 0, kBoardSize - 1);
    RedrawCell(cursor_.x, cursor_.y);
    cursor_ = next;
    cursorShown_ = true;
    RedrawCell(cursor_.x, cursor_.y);
}

void CLinesView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    RedrawCell(cursor_.x, cursor_.y);
}

void CLinesView::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    cursorShown_ = false;
    RedrawCell(cursor_.x, cursor_.y);
}

bool CLinesView::OnCommand(int id) {
    switch (id) {
    case ids::kCmdShowNextColors:
        doc_->game().setShowNext(!doc_->game().showNext());
        RedrawSlots();
        return true;
    case ids::kCmdSound:
        sound_ = !sound_;
        return true;
    default:
        return doc_->OnCommand(id);
    }
}

bool CLinesView::OnUpdateCommand(int id, CommandState& state) {
    switch (id) {
    case ids::kCmdShowNextColors:
        state.checkable = true;
        state.checked = doc_->game().showNext();
        return true;
    case ids::kCmdSound:
        state.checkable = true;
        state.checked = sound_;
        return true;
    default:
        return doc_->OnUpdateCommand(id, state);
    }
}

} // namespace velmar
