#include "hexview/HexView.h"

#include "framework/Dialogs.h"
#include "framework/Message.h"
#include "platform/BlockFile.h"
#include "res/Ids.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QInputMethodEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <algorithm>

namespace velmar {

namespace {

constexpr int kPad = 4; // text inset inside a column

// Typed characters are handled here, never by the line edit, so that it only overwrites.
bool IsTextKey(const QKeyEvent* e) {
    const QString t = e->text();
    return t.size() == 1 && t.at(0).isPrint() &&
           !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

} // namespace

// ---- The cell editor ----

HexEditBox::HexEditBox(HexView* view, int mode, const QString& offsetText, const QString& hexText,
                       QWidget* parent)
    : QLineEdit(parent), view_(view), mode_(mode), startOffset_(offsetText), startHex_(hexText) {
    good_ = mode == 0 ? offsetText : hexText;
    setText(good_);
    setFrame(false);
    setDragEnabled(false);
    setAcceptDrops(false);
    // Whatever way text comes in (a paste by middle click, a drop, an input method, a key
    // the line edit handles itself), the cell keeps its length: one inserted character
    // would shift every later pair and cut the row's last byte when it is written.
    connect(this, &QLineEdit::textChanged, this, [this](const QString& t) {
        if (Fits(t)) {
            good_ = t;
            return;
        }
        const int caret = std::min(cursorPosition(), int(good_.size()));
        const QSignalBlocker block(this);
        setText(good_);
        setCursorPosition(caret);
    });
}

bool HexEditBox::Fits(const QString& t) const {
    if (t.size() != good_.size()) return false;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const bool separator = good_[i] == QLatin1Char(' ');
        if ((t[i] == QLatin1Char(' ')) != separator || !HexEdit::Accepts(t[i])) return false;
    }
    return true;
}

void HexEditBox::TypeText(const QString& typed) {
    HexEdit edit{text(), cursorPosition()};
    bool changed = false;
    for (const QChar c : typed)
        changed = edit.Type(c) || changed;
    if (!changed) return;
    setText(edit.text);
    deselect();
    setCursorPosition(edit.caret);
}

void HexEditBox::inputMethodEvent(QInputMethodEvent* e) {
    // An on-screen keyboard types through here: each committed character overwrites as a
    // typed key does; text still being composed never enters the cell.
    TypeText(e->commitString());
    e->accept();
}

void HexEditBox::keyPressEvent(QKeyEvent* e) {
    HexEdit edit{text(), cursorPosition()};
    switch (e->key()) {
    case Qt::Key_Right:
        edit.Right();
        break;
    case Qt::Key_Left:
    case Qt::Key_Backspace:
        edit.Left();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Delete:
        e->accept();
        return;
    case Qt::Key_Escape:
        // Leaves the cell as it was: nothing to write, nowhere to go.
        setText(mode_ == 0 ? startOffset_ : startHex_);
        view_->setFocus();
        e->accept();
        return;
    default:
        // Paste, cut and undo would insert or remove characters: the row keeps its length.
        if (e->matches(QKeySequence::Paste) || e->matches(QKeySequence::Cut) ||
            e->matches(QKeySequence::Undo) || e->matches(QKeySequence::Redo) ||
            e->matches(QKeySequence::DeleteEndOfWord) ||
            e->matches(QKeySequence::DeleteStartOfWord) ||
            e->matches(QKeySequence::DeleteEndOfLine)) {
            e->accept();
            return;
        }
        if (IsTextKey(e)) {
            if (edit.Type(e->text().at(0))) setText(edit.text);
            break;
        }
        // Other keys that carry text (Alt+digit and the like) would insert it.
        if (!e->text().isEmpty() && e->text().at(0).isPrint()) {
            e->accept();
            return;
        }
        QLineEdit::keyPressEvent(e);
        return;
    }
    deselect();
    setCursorPosition(edit.caret);
    e->accept();
}

void HexEditBox::focusOutEvent(QFocusEvent* e) {
    QLineEdit::focusOutEvent(e);
    // A pop-up of our own (the caret menu is off) does not end the edit.
    if (e->reason() == Qt::PopupFocusReason) return;
    view_->FinishEdit();
}

void HexEditBox::contextMenuEvent(QContextMenuEvent* e) {
    e->accept(); // its menu offers paste and delete
}

// ---- The view ----

HexView::HexView(platform::BlockFile* file, qint64 length, bool readOnly, const QString& fileName,
                 QWidget* parent)
    : QAbstractScrollArea(parent), file_(file), layout_(length, 4), readOnly_(readOnly),
      fileName_(fileName) {
    SetControlId(this, ids::kIdcHexList);
    QFont f(QStringLiteral("Courier New"));
    f.setStyleHint(QFont::TypeWriter);
    f.setPixelSize(14);
    setFont(f);
    viewport()->setFont(f);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    headerModel_ = new QStandardItemModel(0, 3, this);
    headerModel_->setHorizontalHeaderLabels(
        {QStringLiteral("Offset"),
         QStringLiteral("HEX(%1:%2)")
             .arg(readOnly ? QStringLiteral("view") : QStringLiteral("edit"), fileName),
         QStringLiteral("Text")});
    header_ = new QHeaderView(Qt::Horizontal, this);
    header_->setModel(headerModel_);
    header_->setSectionsClickable(true);
    header_->setSectionResizeMode(QHeaderView::Fixed);
    header_->setStretchLastSection(true);
    header_->setHighlightSections(false);
    connect(header_, &QHeaderView::sectionClicked, this,
            [this](int) { OpenPopup(0, QCursor::pos()); });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (syncing_) return;
        top_ = layout_.topRowOf(value, visibleRows());
        viewport()->update();
    });
    rowHeight_ = QFontMetrics(f).height();
    Relayout();
}

int HexView::visibleRows() const {
    return std::max(viewport()->height() / std::max(rowHeight_, 1), 1);
}

void HexView::Relayout() {
    const QFontMetrics fm(font());
    const int pair = fm.horizontalAdvance(QStringLiteral("00 "));
    const int ch = fm.horizontalAdvance(QLatin1Char('0'));
    // The offset column fits the largest offset of this file, all its digits.
    const int offsetWidth =
        fm.horizontalAdvance(HexLayout::OffsetText(layout_.fileLength())) + 2 * kPad + 8;
    const int w = viewport()->width();
    // Hex column (B + 1) pairs + 16, text column B characters + 16: whole rows fit the window.
    const int b = HexLayout::BytesPerRow(w - offsetWidth - pair - 32 + 15, pair, ch);
    const qint64 topOffset = layout_.rowOffset(top_);
    const qint64 markOffset = mark_ >= 0 ? layout_.rowOffset(mark_) : -1;
    layout_ = HexLayout(layout_.fileLength(), b);
    top_ = std::min(layout_.rowOf(topOffset), layout_.maxTopRow(visibleRows()));
    if (mark_ >= 0) mark_ = layout_.rowOf(markOffset);
    columnX_[0] = 0;
    columnX_[1] = offsetWidth;
    columnX_[2] = columnX_[1] + (b + 1) * pair + 16;
    columnX_[3] = columnX_[2] + b * ch + 16;
    header_->resizeSection(0, columnX_[1] - columnX_[0]);
    header_->resizeSection(1, columnX_[2] - columnX_[1]);
    header_->resizeSection(2, std::max(columnX_[3] - columnX_[2], w - columnX_[2]));
    SyncScrollBar();
    viewport()->update();
}

void HexView::SyncScrollBar() {
    syncing_ = true;
    QScrollBar* bar = verticalScrollBar();
    const int page = visibleRows();
    bar->setRange(0, layout_.scrollMaximum(page));
    bar->setPageStep(layout_.maxTopRow(page) > HexLayout::kMaxScrollSteps ? 1 : page);
    bar->setSingleStep(1);
    bar->setValue(layout_.scrollValueOf(top_, page));
    syncing_ = false;
}

void HexView::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    const int h = header_->sizeHint().height();
    setViewportMargins(0, h, 0, 0);
    const QRect r = contentsRect();
    header_->setGeometry(r.left(), r.top(), viewport()->width(), h);
    Relayout();
}

void HexView::ScrollToTop(qint64 row) {
    top_ = std::clamp<qint64>(row, 0, layout_.maxTopRow(visibleRows()));
    SyncScrollBar();
    viewport()->update();
}

void HexView::EnsureVisible(qint64 row) {
    if (row < 0 || row >= layout_.rowCount()) return;
    if (row < top_)
        ScrollToTop(row);
    else if (row >= top_ + visibleRows())
        ScrollToTop(row - visibleRows() + 1);
}

void HexView::SetMark(qint64 row) {
    mark_ = row >= 0 && row < layout_.rowCount() ? row : -1;
    viewport()->update();
}

HexView::RowTexts HexView::TextsOfRow(qint64 row) const {
    RowTexts t;
    if (row < 0 || row >= layout_.rowCount()) return t;
    t.offset = HexLayout::OffsetText(layout_.rowOffset(row));
    const int n = layout_.bytesInRow(row);
    if (n <= 0) return t;
    QByteArray bytes(n, '\0');
    const qint64 got = file_->ReadAt(layout_.rowOffset(row), bytes.data(), n);
    if (got <= 0) return t;
    bytes.truncate(got);
    t.hex = HexLayout::HexText(bytes, layout_.bytesPerRow());
    t.text = HexLayout::CharText(bytes);
    return t;
}

void HexView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const QPalette& pal = palette();
    p.fillRect(viewport()->rect(), pal.base());
    const int rows = viewport()->height() / std::max(rowHeight_, 1) + 1;
    const qint64 last = std::min(top_ + rows, layout_.rowCount());
    if (last <= top_) return;
    // One read for the whole page.
    const int b = layout_.bytesPerRow();
    const qint64 first = layout_.rowOffset(top_);
    const qint64 want = std::min<qint64>((last - top_) * b, layout_.fileLength() - first);
    QByteArray page(std::max<qint64>(want, 0), '\0');
    qint64 got = want > 0 ? file_->ReadAt(first, page.data(), want) : 0;
    if (got < 0) got = 0;

    const QFontMetrics fm(font());
    for (qint64 row = top_; row < last; ++row) {
        const int y = int(row - top_) * rowHeight_;
        if (row == mark_) {
            p.fillRect(QRect(0, y, viewport()->width(), rowHeight_), pal.highlight());
            p.setPen(pal.highlightedText().color());
        } else {
            p.setPen(pal.text().color());
        }
        const int baseline = y + fm.ascent();
        p.drawText(columnX_[0] + kPad, baseline, HexLayout::OffsetText(layout_.rowOffset(row)));
        const qint64 at = (row - top_) * b;
        const qint64 n = std::min<qint64>(b, got - at);
        if (n <= 0) continue; // unread: the cells stay empty
        const QByteArray bytes = page.mid(at, n);
        p.drawText(columnX_[1] + kPad, baseline, HexLayout::HexText(bytes, b));
        p.drawText(columnX_[2] + kPad, baseline, HexLayout::CharText(bytes));
    }
}

void HexView::scrollContentsBy(int, int) {
    viewport()->update();
}

bool HexView::viewportEvent(QEvent* e) {
    // The wheel moves the rows under an open editor: leave the cell first.
    if (e->type() == QEvent::Wheel && editor_) setFocus();
    return QAbstractScrollArea::viewportEvent(e);
}

void HexView::keyPressEvent(QKeyEvent* e) {
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    const int page = visibleRows();
    switch (e->key()) {
    case Qt::Key_Up:
        ScrollToTop(top_ - 1);
        break;
    case Qt::Key_Down:
        ScrollToTop(top_ + 1);
        break;
    case Qt::Key_PageUp:
        ScrollToTop(top_ - page);
        break;
    case Qt::Key_PageDown:
        ScrollToTop(top_ + page);
        break;
    case Qt::Key_Home:
        ScrollToTop(0);
        break;
    case Qt::Key_End:
        ScrollToTop(layout_.rowCount() - 1);
        break;
    case Qt::Key_F:
        if (!ctrl) return QAbstractScrollArea::keyPressEvent(e);
        emit searchRequested();
        break;
    default:
        QAbstractScrollArea::keyPressEvent(e);
        return;
    }
    e->accept();
}

int HexView::ColumnAt(int x) const {
    for (int c = 0; c < 3; ++c)
        if (x >= columnX_[c] && x < columnX_[c + 1]) return c;
    return x >= columnX_[2] ? 2 : -1;
}

qint64 HexView::RowAt(int y) const {
    if (y < 0) return -1;
    const qint64 row = top_ + y / std::max(rowHeight_, 1);
    return row < layout_.rowCount() ? row : -1;
}

QRect HexView::CellRect(qint64 row, int column) const {
    if (column < 0 || column > 2) return {};
    return QRect(columnX_[column], int(row - top_) * rowHeight_,
                 columnX_[column + 1] - columnX_[column], rowHeight_);
}

void HexView::mousePressEvent(QMouseEvent* e) {
    setFocus(Qt::MouseFocusReason);
    if (e->button() == Qt::LeftButton) {
        const qint64 row = RowAt(e->position().toPoint().y());
        if (row >= 0) SetMark(row);
    }
    QAbstractScrollArea::mousePressEvent(e);
}

void HexView::mouseDoubleClickEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (e->button() == Qt::RightButton) {
        OpenPopup(0, e->globalPosition().toPoint());
        return;
    }
    if (e->button() != Qt::LeftButton) return;
    const qint64 row = RowAt(pos.y());
    if (row >= 0) BeginEdit(row, ColumnAt(pos.x()));
}

bool HexView::BeginEdit(qint64 row, int column) {
    if (row < 0 || row >= layout_.rowCount() || row < top_ || row >= top_ + visibleRows() + 1)
        return false;
    if (column != 0 && !(column == 1 && !readOnly_)) return false;
    if (editor_) FinishEdit();
    RowTexts t = TextsOfRow(row);
    // Nothing to retype in an empty or unreadable row.
    if (column == 1 && t.hex.isEmpty()) return false;
    // The editor overwrites: an offset cell holds as many digits as the file's last offset
    // needs, so any offset of the file can be typed from any row (past 4 GiB from row 0).
    const int digits = int(HexLayout::OffsetText(std::max<qint64>(layout_.fileLength() - 1, 0)).size());
    t.offset = t.offset.rightJustified(digits, QLatin1Char('0'));
    auto* box = new HexEditBox(this, column, t.offset, t.hex, viewport());
    box->setFont(font());
    QRect r = CellRect(row, column).translated(3, 0);
    r.setWidth(std::max(r.width() - 3, 50));
    box->setGeometry(r);
    box->show();
    box->setFocus(Qt::OtherFocusReason);
    box->setCursorPosition(0);
    editor_ = box;
    return true;
}

void HexView::FinishEdit() {
    HexEditBox* box = editor_;
    if (!box) return;
    editor_ = nullptr; // the question below moves the focus again
    box->hide();
    box->deleteLater();
    const QString text = box->text();
    if (box->mode() == 0) {
        if (text == box->startOffsetText()) return;
        const qint64 row = layout_.rowOf(HexLayout::ParseHex(text));
        if (row >= 0) EnsureVisible(row);
        return;
    }
    if (text == box->startHexText()) return;
    if (!AskYesNo(QStringLiteral("Write changes?"), this)) return;
    if (!WriteRow(*box))
        ShowMessage(QStringLiteral("Can't write changes to the file."), MessageKind::Error, this);
    viewport()->update(); // the rows as they are on disk now
}

bool HexView::WriteRow(const HexEditBox& box) {
    const qint64 offset = HexLayout::ParseHex(box.startOffsetText());
    // Exactly the row's bytes, as many as its text held when the edit began.
    if (box.text().size() != box.startHexText().size()) return false;
    QByteArray bytes = HexLayout::BytesOfHexText(box.text());
    // A write never changes the length, even if the file shrank meanwhile.
    const qint64 size = std::min(file_->Size(), layout_.fileLength());
    const qint64 room = size - offset;
    if (room <= 0) return false;
    const bool whole = bytes.size() <= room;
    if (!whole) bytes.truncate(room);
    return file_->WriteAt(offset, bytes.constData(), bytes.size()) && whole;
}

void HexView::contextMenuEvent(QContextMenuEvent* e) {
    // A right click opens "HexMenu1"; a press and hold or the menu key opens "HexMenu".
    OpenPopup(e->reason() == QContextMenuEvent::Mouse ? 1 : 0, e->globalPos());
    e->accept();
}

void HexView::OpenPopup(int kind, const QPoint& globalPos) {
    if (popup_) popup_->deleteLater();
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setTitle(kind == 0 ? QStringLiteral("HexMenu") : QStringLiteral("HexMenu1"));
    QAction* search = menu->addAction(QStringLiteral("Search"));
    search->setData(ids::kCmdHexSearch);
    connect(search, &QAction::triggered, this, &HexView::searchRequested, Qt::QueuedConnection);
    popup_ = menu;
    popupKind_ = kind;
    menu->popup(globalPos);
}

} // namespace velmar
