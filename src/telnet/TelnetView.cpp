#include "telnet/TelnetView.h"

#include "framework/Dialogs.h"
#include "framework/Message.h"
#include "res/Ids.h"
#include "telnet/KeyMap.h"
#include "telnet/TelnetDialogs.h"
#include "telnet/Terminal.h"

#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <vector>

namespace velmar::telnet {

namespace {

constexpr int kFrameMs = 16;
// While output scrolls the whole screen, nobody reads the frames between: half as many.
constexpr int kScrollingFrameMs = 33;
const QColor kCursorColour(85, 255, 85);
const QString kModeTitle = QStringLiteral("Telnet terminal (CE velmar)");

QColor Colour(uint32_t rgb) {
    return QColor::fromRgb(QRgb(rgb));
}

int VirtualKeyOf(int key) {
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: // Shift+Tab is still a tab to the host
        return kVkTab;
    case Qt::Key_Backspace:
        return kVkBack;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kVkReturn;
    case Qt::Key_Escape:
        return kVkEscape;
    case Qt::Key_PageUp:
        return kVkPageUp;
    case Qt::Key_PageDown:
        return kVkPageDown;
    case Qt::Key_End:
        return kVkEnd;
    case Qt::Key_Home:
        return kVkHome;
    case Qt::Key_Left:
        return kVkLeft;
    case Qt::Key_Up:
        return kVkUp;
    case Qt::Key_Right:
        return kVkRight;
    case Qt::Key_Down:
        return kVkDown;
    case Qt::Key_Insert:
        return kVkInsert;
    case Qt::Key_Delete:
        return kVkDelete;
    default:
        if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return kVkF1 + (key - Qt::Key_F1);
        return 0;
    }
}

// The single-line box characters of the PC character set, drawn as arms from the cell's
// centre to its edges.
enum BoxArm : uint8_t { kArmUp = 1, kArmDown = 2, kArmLeft = 4, kArmRight = 8 };

// The light box-drawing characters (U+2500 ..) that hosts and the PC character set use.
uint8_t BoxArms(char32_t ch) {
    switch (ch) {
    case U'\u2500':
        return kArmLeft | kArmRight;
    case U'\u2502':
        return kArmUp | kArmDown;
    case U'\u250C':
        return kArmDown | kArmRight;
    case U'\u2510':
        return kArmDown | kArmLeft;
    case U'\u2514':
        return kArmUp | kArmRight;
    case U'\u2518':
        return kArmUp | kArmLeft;
    case U'\u251C':
        return kArmUp | kArmDown | kArmRight;
    case U'\u2524':
        return kArmUp | kArmDown | kArmLeft;
    case U'\u252C':
        return kArmDown | kArmLeft | kArmRight;
    case U'\u2534':
        return kArmUp | kArmLeft | kArmRight;
    case U'\u253C':
        return kArmUp | kArmDown | kArmLeft | kArmRight;
    default:
        return 0;
    }
}

bool IsWordCharacter(char32_t ch) {
    if (ch == U' ') return false;
    // Paths, addresses and options select whole.
    static const QString kWordPunctuation = QStringLiteral("-_./~:@+%#=?&");
    return QChar::isLetterOrNumber(ch) || (ch < 128 && kWordPunctuation.contains(QChar(ch)));
}

void DrawBox(QPainter& p, uint8_t arms, int x0, int y0, int cw, int ch) {
    const int x1 = x0 + cw - 1, y1 = y0 + ch - 1;
    const int xm = x0 + cw / 2, ym = y0 + ch / 2;
    if (arms & kArmUp) p.drawLine(xm, ym, xm, y0);
    if (arms & kArmDown) p.drawLine(xm, ym, xm, y1);
    if (arms & kArmLeft) p.drawLine(xm, ym, x0, ym);
    if (arms & kArmRight) p.drawLine(xm, ym, x1, ym);
}

} // namespace

CTelnetView::CTelnetView(QWidget* parent) : QAbstractScrollArea(parent), session_(this) {
    setObjectName(QStringLiteral("telnetView"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setCursor(Qt::IBeamCursor);
    frameTimer_.setSingleShot(true);
    connect(&frameTimer_, &QTimer::timeout, this, [this] { FlushDamage(); });
    // Nothing is read while the window is not shown.
    session_.SetPaused(true);
    session_.SetKind(LoadEmulationKind());
    connect(&session_, &TelnetSession::updated, this, [this] { CollectDamage(); });
    connect(&session_, &TelnetSession::screenReset, this, [this] {
        selStart_ = selEnd_ = {};
        ApplyFontAndLayout();
    });
    connect(&session_, &TelnetSession::connectFailed, this, [this](const QString& why) {
        ShowSessionMessage(QStringLiteral("Connection error: %1").arg(why), false);
    });
    connect(&session_, &TelnetSession::closedByPeer, this,
            [this] { ShowSessionMessage(QStringLiteral("Connection Closed"), false); });
    connect(&session_, &TelnetSession::dropped, this,
            [this] { ShowSessionMessage(QStringLiteral("Connection Dropped"), false); });
    connect(&session_, &TelnetSession::sendFailed, this,
            [this](const QString& why) { ShowSessionMessage(why, true); });
    session_.SetAskers(
        [this](const trust::KeyQuestion& q) {
            return AskYesNo(trust::UnknownKeyQuestion(q), this);
        },
        [this](const QString& userAtHost) -> std::optional<QString> {
            CSshPasswordDialog dialog(userAtHost, this);
            if (RunModal(dialog) != QDialog::Accepted) return std::nullopt;
            return dialog.password();
        });
    lastProtocol_ = LoadProtocol();
    ApplyFontAndLayout();
}

CTelnetView::~CTelnetView() = default;

Terminal* CTelnetView::terminal() {
    return dynamic_cast<Terminal*>(&session_.emulation());
}

void CTelnetView::ShowSessionMessage(const QString& text, bool error) {
    ShowMessage(text, error ? MessageKind::Error : MessageKind::Info, this);
}

bool CTelnetView::OnCommand(int id) {
    switch (id) {
    case ids::kCmdTelnetOption:
        OptionCommand();
        return true;
    case ids::kCmdTelnetConnect:
        ConnectCommand();
        return true;
    case ids::kCmdTelnetFont:
        FontCommand();
        return true;
    case ids::kCmdTelnetSave:
        SaveCommand();
        return true;
    case ids::kCmdTelnetCopy:
        CopyCommand();
        return true;
    case ids::kCmdTelnetPaste:
        PasteCommand();
        return true;
    case ids::kCmdTermEscape:
        Key({.vk = kVkEscape});
        return true;
    case ids::kCmdTermDelete:
        Key({.vk = kVkDelete});
        return true;
    case ids::kCmdTermCtrlC:
    case ids::kCmdTermCtrlD:
    case ids::kCmdTermCtrlS:
    case ids::kCmdTermCtrlQ:
    case ids::kCmdTermCtrlZ: {
        static constexpr char kLetters[] = "cdsqz";
        Key({.ch = char32_t(kLetters[id - ids::kCmdTermCtrlC]), .ctrl = true});
        return true;
    }
    default:
        return false;
    }
}

bool CTelnetView::OnUpdateCommand(int id, CommandState& state) {
    switch (id) {
    case ids::kCmdTelnetOption:
    case ids::kCmdTelnetConnect:
    case ids::kCmdTelnetFont:
    case ids::kCmdTelnetSave:
        state.enabled = true;
        return true;
    case ids::kCmdTelnetCopy:
        state.enabled = hasSelection();
        return true;
    case ids::kCmdTelnetPaste:
    case ids::kCmdTermEscape:
    case ids::kCmdTermDelete:
    case ids::kCmdTermCtrlC:
    case ids::kCmdTermCtrlD:
    case ids::kCmdTermCtrlS:
    case ids::kCmdTermCtrlQ:
    case ids::kCmdTermCtrlZ:
        // The keys only mean something to a host.
        state.enabled = connected();
        return true;
    default:
        return false;
    }
}

// ---- connection

void CTelnetView::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    // Whatever waited while hidden is taken up in slices.
    session_.SetPaused(false);
    if (!started_) {
        started_ = true;
        // After the frame is up, so the dialog has its owner on screen.
        QTimer::singleShot(0, this, [this] { StartUp(); });
    }
}

void CTelnetView::hideEvent(QHideEvent* event) {
    QAbstractScrollArea::hideEvent(event);
    // The socket's bounded buffer fills and TCP holds the host back.
    session_.SetPaused(true);
}

void CTelnetView::StartUp() {
    ConnectCommand();
    ApplyFontAndLayout();
}

void CTelnetView::ConnectCommand() {
    quint16 port = TelnetSession::kDefaultPort;
    QString host;
    Protocol protocol = lastProtocol_;
    {
        CTelnetConnectDialog dialog(lastHost_, DefaultPort(protocol), protocol, this);
        if (RunModal(dialog) != QDialog::Accepted) return;
        host = dialog.host();
        port = quint16(dialog.port());
        protocol = dialog.protocol();
    }
    lastHost_ = host;
    if (protocol != lastProtocol_) StoreProtocol(protocol);
    lastProtocol_ = protocol;
    if (protocol == Protocol::Ssh)
        ConnectSsh(host, port);
    else
        Connect(host, port);
}

void CTelnetView::SetTitle(const QString& host) {
    // A telnet session keeps the plain host title; an SSH one says it is encrypted.
    const QString shown =
        session_.secure() ? QStringLiteral("%1 (SSH, encrypted)").arg(host) : host;
    window()->setWindowTitle(QStringLiteral("%1 - %2").arg(shown, kModeTitle));
}

void CTelnetView::Connect(const QString& host, quint16 port) {
    session_.Connect(host, port);
    SetTitle(host);
}

void CTelnetView::ConnectSsh(const QString& userAndHost, quint16 port, SshLogin login) {
    // user@host as ssh takes it; the last '@' splits, for user names that hold one.
    QString host = userAndHost;
    const qsizetype at = userAndHost.lastIndexOf(QLatin1Char('@'));
    if (at > 0) {
        login.user = userAndHost.left(at);
        host = userAndHost.mid(at + 1);
    }
    session_.ConnectSsh(host, port, login);
    SetTitle(userAndHost);
}

// ---- damage and painting

QSize CTelnetView::pictureSize() const {
    const Emulation& e = session_.emulation();
    return {e.columns() * cw_ + 3, e.viewLines() * ch_ + 3};
}

QSize CTelnetView::sizeHint() const {
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const Emulation& e = session_.emulation();
    return {e.columns() * cw_ + 3 + bar + 2 * frameWidth(),
            (e.rows() + e.trailingLines()) * ch_ + 3 + bar + 2 * frameWidth()};
}

QRect CTelnetView::LineRect(int line) const {
    return {0, line * ch_, pictureSize().width(), ch_};
}

void CTelnetView::CollectDamage() {
    const Emulation& e = session_.emulation();
    const Damage d = session_.emulation().TakeDamage();
    const int cursorLine = e.ScreenToView(e.cursorY());
    if (d.scrolled > 0) {
        // What was selected has moved under the selection. The scroll bars follow once per
        // frame: moving them repaints at once, outside the frame's pace.
        scrolledSinceFlush_ = true;
        selStart_ = selEnd_ = {};
        pending_ = QRegion(QRect(QPoint(0, 0), pictureSize()));
    } else {
        if (d.bottom >= d.top) {
            const int top = e.ScreenToView(d.top);
            const int bottom = e.ScreenToView(d.bottom);
            pending_ += QRect(0, top * ch_, pictureSize().width(), (bottom - top + 1) * ch_);
        }
        if (cursorLine != cursorLine_ || e.cursorX() != cursorColumn_) {
            // The frame reaches one pixel past the cell.
            if (cursorLine_ >= 0)
                pending_ += QRect(cursorColumn_ * cw_, cursorLine_ * ch_, cw_ + 1, ch_ + 1);
            pending_ += QRect(e.cursorX() * cw_, cursorLine * ch_, cw_ + 1, ch_ + 1);
        }
    }
    ScheduleRepaint();
}

void CTelnetView::ScheduleRepaint() {
    if (pending_.isEmpty()) return;
    // At most one repaint per frame, however many reads arrive.
    const qint64 frame = scrolledSinceFlush_ ? kScrollingFrameMs : kFrameMs;
    if (!sinceFlush_.isValid() || sinceFlush_.elapsed() >= frame)
        FlushDamage();
    else if (!frameTimer_.isActive())
        frameTimer_.start(int(frame - sinceFlush_.elapsed()));
}

void CTelnetView::FlushDamage() {
    frameTimer_.stop();
    sinceFlush_.restart();
    if (scrolledSinceFlush_) {
        scrolledSinceFlush_ = false;
        UpdateScrollBars();
        ScrollToBottom();
    }
    if (pending_.isEmpty()) return;
    const QPoint scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    viewport()->update(pending_.translated(-scroll));
    pending_ = QRegion();
}

void CTelnetView::UpdateScrollBars() {
    const QSize picture = pictureSize();
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, picture.width() - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    horizontalScrollBar()->setSingleStep(cw_);
    verticalScrollBar()->setRange(0, std::max(0, picture.height() - view.height()));
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setSingleStep(ch_);
}

void CTelnetView::ScrollToBottom() {
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void CTelnetView::FollowWindow() {
    if (!session_.emulation().followsWindow()) return;
    const QSize view = viewport()->size();
    session_.FollowWindow(std::max(1, (view.height() - 3) / ch_),
                          std::max(1, (view.width() - 3) / cw_));
}

void CTelnetView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    FollowWindow();
    UpdateScrollBars();
    if (isVisible()) ScrollToBottom();
}

void CTelnetView::ApplyFontAndLayout() {
    const std::optional<QFont> font = MakeFont(LoadFontDescription());
    if (!font) {
        cw_ = 16;
        ch_ = 18;
        font_ = QFont();
        ascent_ = QFontMetrics(font_).ascent();
    } else {
        font_ = *font;
        const QFontMetrics metrics(font_);
        // The face's own advance: cells as wide as its letters, no gaps between them.
        cw_ = std::max(1, metrics.horizontalAdvance(QLatin1Char('M')));
        ch_ = std::max(1, metrics.height());
        ascent_ = metrics.ascent();
    }
    setFont(font_);
    rawFont_ = QRawFont::fromFont(font_);
    glyphs_.clear();
    if (rawFont_.isValid()) {
        for (int b = 0; b < 256; ++b) {
            const QList<quint32> index = rawFont_.glyphIndexesForString(QString(QChar(b)));
            latinGlyphs_[size_t(b)] = index.isEmpty() ? 0 : index.first();
        }
    }
    // A screen that follows the window never needs a sideways scroll bar.
    const bool follows = session_.emulation().followsWindow();
    setHorizontalScrollBarPolicy(follows ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(follows ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
    FollowWindow();
    session_.emulation().TakeDamage();
    UpdateScrollBars();
    ScrollToBottom();
    cursorLine_ = -1;
    pending_ = QRegion();
    viewport()->update();
}

quint32 CTelnetView::Glyph(char32_t ch) {
    if (ch < 256) return latinGlyphs_[size_t(ch)];
    const auto found = glyphs_.constFind(ch);
    if (found != glyphs_.cend()) return *found;
    const QList<quint32> index = rawFont_.glyphIndexesForString(QString::fromUcs4(&ch, 1));
    const quint32 glyph = index.isEmpty() ? 0 : index.first();
    glyphs_.insert(ch, glyph);
    return glyph;
}

void CTelnetView::PaintLine(QPainter& p, int line, int c0, int c1, int sx, int sy) {
    const Emulation& e = session_.emulation();
    thread_local std::vector<Cell> cells;
    cells.resize(size_t(e.columns()));
    e.LineCells(line, cells.data());
    const int y0 = line * ch_ - sy;
    // The selection shows its cells in swapped colours.
    const bool anySelected = hasSelection() && line >= selStart_.line && line <= selEnd_.line;
    if (anySelected) {
        for (int c = c0; c <= c1; ++c) {
            const CellPos pos{line, c};
            if (!(pos < selStart_) && pos < selEnd_)
                std::swap(cells[size_t(c)].text, cells[size_t(c)].fill);
        }
    }

    // Fills, merged into runs of one colour.
    for (int c = c0; c <= c1;) {
        const uint32_t fill = cells[size_t(c)].fill;
        int end = c + 1;
        while (end <= c1 && cells[size_t(end)].fill == fill)
            ++end;
        p.fillRect(c * cw_ - sx, y0, (end - c) * cw_, ch_, Colour(fill));
        c = end;
    }

    // Characters: one glyph run per text colour; box characters as lines.
    struct Run {
        uint32_t colour;
        QList<quint32> glyphs;
        QList<QPointF> positions;
    };
    std::vector<Run> runs;
    for (int c = c0; c <= c1; ++c) {
        const Cell& cell = cells[size_t(c)];
        const int x0 = c * cw_ - sx;
        if (cell.flags & kCellUnderline) {
            p.setPen(QPen(Colour(cell.text), 1));
            p.drawLine(x0, y0 + ascent_ + 1, x0 + cw_ - 1, y0 + ascent_ + 1);
        }
        if (cell.ch == U' ') continue;
        if (const uint8_t arms = BoxArms(cell.ch)) {
            p.setPen(QPen(Colour(cell.text), 1));
            DrawBox(p, arms, x0, y0, cw_, ch_);
        } else if (rawFont_.isValid()) {
            auto run = std::find_if(runs.begin(), runs.end(),
                                    [&](const Run& r) { return r.colour == cell.text; });
            if (run == runs.end()) run = runs.insert(runs.end(), Run{cell.text, {}, {}});
            run->glyphs.append(Glyph(cell.ch));
            run->positions.append(QPointF(x0, y0 + ascent_));
        } else {
            p.setPen(Colour(cell.text));
            p.drawText(QPoint(x0, y0 + ascent_), QString::fromUcs4(&cell.ch, 1));
        }
    }
    for (const Run& r : runs) {
        QGlyphRun run;
        run.setRawFont(rawFont_);
        run.setGlyphIndexes(r.glyphs);
        run.setPositions(r.positions);
        p.setPen(Colour(r.colour));
        p.drawGlyphRun(QPointF(0, 0), run);
    }
}

void CTelnetView::paintEvent(QPaintEvent* event) {
    ++paints_;
    const Emulation& e = session_.emulation();
    QPainter p(viewport());
    const QRect area = event->rect();
    const int sx = horizontalScrollBar()->value();
    const int sy = verticalScrollBar()->value();
    const QRect picture(QPoint(-sx, -sy), pictureSize());

    const int firstLine = std::max(0, (area.top() + sy) / ch_);
    const int lastLine = std::min(e.viewLines() - 1, (area.bottom() + sy) / ch_);
    const int firstColumn = std::max(0, (area.left() + sx) / cw_);
    const int lastColumn = std::min(e.columns() - 1, (area.right() + sx) / cw_);
    // The cells fill their own background; around the picture: the emulation's window
    // colour; its 3-pixel margin: black.
    QRegion cells;
    if (firstColumn <= lastColumn && firstLine <= lastLine)
        cells = QRect(firstColumn * cw_ - sx, firstLine * ch_ - sy,
                      (lastColumn - firstColumn + 1) * cw_, (lastLine - firstLine + 1) * ch_);
    for (const QRect& r : QRegion(area) - picture)
        p.fillRect(r, Colour(e.windowColour()));
    for (const QRect& r : QRegion(area & picture) - cells)
        p.fillRect(r, Colour(0));
    if (!cells.isEmpty())
        for (int line = firstLine; line <= lastLine; ++line)
            PaintLine(p, line, firstColumn, lastColumn, sx, sy);

    // The frame cursor.
    cursorLine_ = e.ScreenToView(e.cursorY());
    cursorColumn_ = e.cursorX();
    if (e.cursorVisible()) {
        p.setPen(QPen(kCursorColour, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(cursorColumn_ * cw_ - sx, cursorLine_ * ch_ - sy, cw_, ch_);
    }
}

// ---- selection and the clipboard

CellPos CTelnetView::CellAt(QPoint point) const {
    const Emulation& e = session_.emulation();
    const int x = point.x() + horizontalScrollBar()->value();
    const int y = point.y() + verticalScrollBar()->value();
    return {std::clamp(y / ch_, 0, std::max(0, e.viewLines() - 1)),
            std::clamp((x + cw_ / 2) / cw_, 0, e.columns())};
}

void CTelnetView::SetSelection(CellPos start, CellPos end) {
    if (end < start) std::swap(start, end);
    selStart_ = start;
    selEnd_ = end;
    viewport()->update();
}

QString CTelnetView::SelectedText() const {
    if (!hasSelection()) return {};
    const Emulation& e = session_.emulation();
    std::vector<Cell> cells(size_t(e.columns()));
    QStringList lines;
    for (int line = selStart_.line; line <= selEnd_.line && line < e.viewLines(); ++line) {
        e.LineCells(line, cells.data());
        const int from = line == selStart_.line ? selStart_.column : 0;
        const int to = line == selEnd_.line ? selEnd_.column : e.columns();
        QString text;
        for (int c = from; c < to && c < e.columns(); ++c) {
            if (c > 0 && (cells[size_t(c - 1)].flags & kCellWide)) continue;
            text += QString::fromUcs4(&cells[size_t(c)].ch, 1);
        }
        // Blanks at a line's end are the screen's, not the text's.
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        lines << text;
    }
    return lines.join(QLatin1Char('\n'));
}

void CTelnetView::PublishSelection() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(SelectedText(), QClipboard::Selection);
}

void CTelnetView::CopyCommand() {
    if (hasSelection()) QGuiApplication::clipboard()->setText(SelectedText());
}

void CTelnetView::PasteCommand() {
    const QString text = QGuiApplication::clipboard()->text();
    if (!text.isEmpty()) session_.Paste(text);
}

void CTelnetView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        anchor_ = CellAt(event->position().toPoint());
        selecting_ = true;
        SetSelection(anchor_, anchor_);
        return;
    }
    if (event->button() == Qt::MiddleButton) {
        // The X11 primary selection, as every terminal there pastes it.
        QClipboard* clipboard = QGuiApplication::clipboard();
        const QString text = clipboard->text(
            clipboard->supportsSelection() ? QClipboard::Selection : QClipboard::Clipboard);
        if (!text.isEmpty()) session_.Paste(text);
        return;
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void CTelnetView::mouseMoveEvent(QMouseEvent* event) {
    if (!selecting_) return;
    SetSelection(anchor_, CellAt(event->position().toPoint()));
}

void CTelnetView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !selecting_) return;
    selecting_ = false;
    SetSelection(anchor_, CellAt(event->position().toPoint()));
    PublishSelection();
}

void CTelnetView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const Emulation& e = session_.emulation();
    const QPoint point = event->position().toPoint();
    const int line = CellAt(point).line;
    const int column =
        std::clamp((point.x() + horizontalScrollBar()->value()) / cw_, 0, e.columns() - 1);
    std::vector<Cell> cells(size_t(e.columns()));
    e.LineCells(line, cells.data());
    if (!IsWordCharacter(cells[size_t(column)].ch)) return;
    int from = column, to = column + 1;
    while (from > 0 && IsWordCharacter(cells[size_t(from - 1)].ch))
        --from;
    while (to < e.columns() && IsWordCharacter(cells[size_t(to)].ch))
        ++to;
    selecting_ = false;
    SetSelection({line, from}, {line, to});
    PublishSelection();
}

// ---- keyboard

bool CTelnetView::event(QEvent* event) {
    // Keys belong to the host while the terminal has the focus, not to menu shortcuts; the
    // clipboard's Ctrl+Shift keys stay commands.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool clipboardKey = key->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier) &&
                                  (key->key() == Qt::Key_C || key->key() == Qt::Key_V);
        if (!(key->modifiers() & Qt::AltModifier) && !clipboardKey) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void CTelnetView::Key(const KeyPress& key) {
    session_.Key(key);
}

void CTelnetView::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers();
    KeyPress press;
    press.shift = mods & Qt::ShiftModifier;
    press.ctrl = mods & Qt::ControlModifier;
    press.alt = mods & Qt::AltModifier;
    const int key = event->key();
    if (press.ctrl && press.shift && (key == Qt::Key_C || key == Qt::Key_V)) {
        if (key == Qt::Key_C)
            CopyCommand();
        else
            PasteCommand();
        return;
    }
    press.vk = VirtualKeyOf(key);
    if (press.vk == kVkBack) press.ch = 8;
    if (press.vk != 0) {
        Key(press);
        return;
    }
    if (press.ctrl && key >= Qt::Key_A && key <= Qt::Key_Z) {
        press.ch = char32_t('a' + (key - Qt::Key_A));
        Key(press);
        return;
    }
    if (press.ctrl && key == Qt::Key_Space) {
        press.ch = U' ';
        Key(press);
        return;
    }
    const QString text = event->text();
    if (text.isEmpty()) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    for (const uint ch : text.toUcs4()) {
        press.ch = char32_t(ch);
        Key(press);
    }
}

// ---- options, font, saving

void CTelnetView::OptionCommand() {
    Emulation& e = session_.emulation();
    int lines = 0, rows = 0, columns = 0;
    EmulationKind kind = session_.kind();
    {
        CTelnetOptionDialog dialog(e.lines(), e.rows(), e.columns(), kind, e.followsWindow(), this);
        if (RunModal(dialog) != QDialog::Accepted) return;
        lines = dialog.lines();
        rows = dialog.rows();
        columns = dialog.columns();
        kind = dialog.kind();
    }
    if (kind != session_.kind()) {
        StoreEmulationKind(kind);
        session_.SetKind(kind);
    }
    Emulation& now = session_.emulation();
    if (now.followsWindow()) {
        rows = now.rows();
        columns = now.columns();
    }
    const SizeChange change = session_.SetSize(lines, rows, columns);
    if (change.outOfMemory)
        ShowMessage(QStringLiteral("Out of memory. Please decrease buffer size"), MessageKind::Info,
                    this);
    if (change.changed) ApplyFontAndLayout();
}

void CTelnetView::FontCommand() {
    FontDescription chosen;
    {
        CChooseFontDialog dialog(LoadFontDescription(), this);
        if (RunModal(dialog) != QDialog::Accepted) return;
        chosen = dialog.description();
    }
    StoreFontDescription(chosen);
    ApplyFontAndLayout();
}

void CTelnetView::SaveCommand() {
    QString name;
    {
        QFileDialog dialog(this);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("txt"));
        dialog.setNameFilters(
            {QStringLiteral("Text files (*.txt)"), QStringLiteral("All files (*)")});
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (RunModal(dialog) != QDialog::Accepted) return;
        name = dialog.selectedFiles().value(0);
    }
    if (name.isEmpty() || QFileInfo(name).isDir()) {
        ShowMessage(QStringLiteral("File name is empty"), MessageKind::Info, this);
        return;
    }
    if (QFileInfo::exists(name) &&
        !AskYesNo(QStringLiteral("%1 already exists.\nDo you want to replace it?")
                      .arg(QFileInfo(name).fileName()),
                  this))
        return;
    QFile file(name);
    const QByteArray bytes = session_.emulation().SaveText();
    // A buffer that did not reach the disk must not pass for saved.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush())
        ShowMessage(file.errorString(), MessageKind::Error, this);
}

} // namespace velmar::telnet
