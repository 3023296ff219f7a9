#include "telnet/TelnetView.h"

#include "framework/Dialogs.h"
#include "framework/Message.h"
#include "res/Ids.h"
#include "telnet/KeyMap.h"
#include "telnet/TelnetDialogs.h"
#include "telnet/TelnetProtocol.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTcpSocket>
#include <algorithm>

namespace velmar::telnet {

namespace {

constexpr int kDropCheckMs = 100;
constexpr int kFrameMs = 16;
constexpr int kReadSize = 4096;
constexpr quint16 kDefaultPort = 23;
const QColor kCursorColour(85, 255, 85);
const QString kModeTitle = QStringLiteral("Telnet terminal (CE velmar)");

QColor Colour(int index) {
    return QColor::fromRgb(QRgb(kPalette[size_t(index & 15)]));
}

int VirtualKeyOf(int key) {
    switch (key) {
    case Qt::Key_Tab:
        return kVkTab;
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

// Indexed by byte, so the per-character test in painting stays one load.
constexpr std::array<uint8_t, 256> kBoxArms = [] {
    std::array<uint8_t, 256> arms{};
    arms[179] = kArmUp | kArmDown;
    arms[196] = kArmLeft | kArmRight;
    arms[180] = kArmUp | kArmDown | kArmLeft;
    arms[195] = kArmUp | kArmDown | kArmRight;
    arms[191] = kArmLeft | kArmDown;
    arms[192] = kArmUp | kArmRight;
    arms[217] = kArmLeft | kArmUp;
    arms[218] = kArmDown | kArmRight;
    return arms;
}();

void DrawBox(QPainter& p, uint8_t arms, int x0, int y0, int cw, int ch) {
    const int x1 = x0 + cw - 1, y1 = y0 + ch - 1;
    const int xm = x0 + cw / 2, ym = y0 + ch / 2;
    if (arms & kArmUp) p.drawLine(xm, ym, xm, y0);
    if (arms & kArmDown) p.drawLine(xm, ym, xm, y1);
    if (arms & kArmLeft) p.drawLine(xm, ym, x0, ym);
    if (arms & kArmRight) p.drawLine(xm, ym, x1, ym);
}

} // namespace

CTelnetView::CTelnetView(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral("telnetView"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    dropTimer_.setInterval(kDropCheckMs);
    connect(&dropTimer_, &QTimer::timeout, this, [this] { DropCheck(); });
    frameTimer_.setSingleShot(true);
    connect(&frameTimer_, &QTimer::timeout, this, [this] { FlushDamage(); });
    ApplyFontAndLayout();
}

CTelnetView::~CTelnetView() {
    if (socket_) {
        socket_->disconnect(this);
        socket_->abort();
    }
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
    case ids::kCmdTermEscape:
        KeyDown(kVkEscape);
        return true;
    case ids::kCmdTermDelete:
        KeyDown(kVkDelete);
        return true;
    case ids::kCmdTermCtrlC:
    case ids::kCmdTermCtrlD:
    case ids::kCmdTermCtrlS:
    case ids::kCmdTermCtrlQ:
    case ids::kCmdTermCtrlZ: {
        static constexpr char kLetters[] = "cdsqz";
        const int c = kLetters[id - ids::kCmdTermCtrlC];
        SendBytes(QByteArray(1, char(TranslateChar(c, false, true, false) & 0xFF)));
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
    if (!started_) {
        started_ = true;
        // After the frame is up, so the dialog has its owner on screen.
        QTimer::singleShot(0, this, [this] { StartUp(); });
    } else if (socket_) {
        // Nothing is read while hidden; take up what came meanwhile.
        QTimer::singleShot(0, this, [this] { ReadPending(); });
    }
}

void CTelnetView::StartUp() {
    ConnectCommand();
    ApplyFontAndLayout();
    dropTimer_.start();
}

void CTelnetView::ConnectCommand() {
    quint16 port = kDefaultPort;
    QString host;
    {
        CTelnetConnectDialog dialog(lastHost_, kDefaultPort, this);
        if (RunModal(dialog) != QDialog::Accepted) return;
        host = dialog.host();
        port = quint16(dialog.port());
    }
    lastHost_ = host;
    Connect(host, port);
}

void CTelnetView::CloseConnection() {
    if (!socket_) return;
    QTcpSocket* old = socket_;
    socket_ = nullptr;
    old->disconnect(this);
    old->abort();
    old->deleteLater();
}

void CTelnetView::Connect(const QString& host, quint16 port) {
    CloseConnection();
    auto* socket = new QTcpSocket(this);
    socket_ = socket;
    wasConnected_ = false;
    connect(socket, &QTcpSocket::connected, this, [this, socket] {
        if (socket != socket_) return;
        wasConnected_ = true;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 0);
        viewport()->update();
    });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError) {
        if (socket != socket_ || wasConnected_) return;
        ShowMessage(QStringLiteral("Connection error"), MessageKind::Info, this);
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        if (socket == socket_ && isVisible()) ReadPending();
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        if (socket != socket_ || !wasConnected_) return;
        if (isVisible()) ReadPending();
        dropped_ = true;
        ShowMessage(QStringLiteral("Connection Closed"), MessageKind::Info, this);
        CloseConnection();
    });
    socket->connectToHost(host, port);

    window()->setWindowTitle(host + QStringLiteral(" - ") + kModeTitle);
    term_.Reset();
    dropped_ = false;
    escapePrefix_ = false;
    ApplyFontAndLayout();
}

bool CTelnetView::connected() const {
    return socket_ && socket_->state() == QAbstractSocket::ConnectedState;
}

void CTelnetView::DropCheck() {
    if (dropped_ || !socket_ || !wasConnected_) return;
    if (socket_->state() != QAbstractSocket::UnconnectedState) return;
    dropped_ = true;
    ShowMessage(QStringLiteral("Connection Dropped"), MessageKind::Info, this);
    CloseConnection();
}

void CTelnetView::ReadPending() {
    if (!socket_) return;
    char buffer[kReadSize];
    bool any = false;
    while (socket_ && socket_->bytesAvailable() > 0) {
        const qint64 n = socket_->read(buffer, sizeof buffer);
        if (n <= 0) break;
        term_.Process(reinterpret_cast<const uint8_t*>(buffer), size_t(n));
        const QByteArray replies = term_.TakeReplies();
        if (!replies.isEmpty()) SendBytes(replies);
        any = true;
    }
    if (any) CollectDamage();
}

void CTelnetView::Feed(const QByteArray& bytes) {
    term_.Process(bytes);
    const QByteArray replies = term_.TakeReplies();
    if (!replies.isEmpty()) SendBytes(replies);
    CollectDamage();
}

void CTelnetView::SendBytes(const QByteArray& bytes) {
    if (!socket_ || bytes.isEmpty()) return;
    if (socket_->write(bytes) < 0) ShowMessage(socket_->errorString(), MessageKind::Error, this);
}

// ---- damage and painting

QSize CTelnetView::pictureSize() const {
    return {term_.columns() * cw_ + 3, term_.lines() * ch_ + 3};
}

QSize CTelnetView::sizeHint() const {
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    return {pictureSize().width() + bar + 2 * frameWidth(),
            (term_.rows() + 1) * ch_ + bar + 2 * frameWidth()};
}

QRect CTelnetView::CellRect(int line, int column) const {
    return {column * cw_, line * ch_, cw_, ch_};
}

void CTelnetView::CollectDamage() {
    const Damage d = term_.TakeDamage();
    const int cursorLine = term_.ScreenLine(term_.cursorY());
    if (d.scrolled > 0) {
        ScrollToBottom();
        pending_ = QRegion(QRect(QPoint(0, 0), pictureSize()));
    } else {
        if (d.bottom >= d.top) {
            const int top = term_.ScreenLine(d.top);
            const int bottom = term_.ScreenLine(d.bottom);
            pending_ += QRect(0, top * ch_, pictureSize().width(), (bottom - top + 1) * ch_);
        }
        if (cursorLine != cursorLine_ || term_.cursorX() != cursorColumn_) {
            // The frame reaches one pixel past the cell.
            if (cursorLine_ >= 0)
                pending_ += CellRect(cursorLine_, cursorColumn_).adjusted(0, 0, 1, 1);
            pending_ += CellRect(cursorLine, term_.cursorX()).adjusted(0, 0, 1, 1);
        }
    }
    ScheduleRepaint();
}

void CTelnetView::ScheduleRepaint() {
    if (pending_.isEmpty()) return;
    // At most one repaint per frame, however many reads arrive.
    if (!sinceFlush_.isValid() || sinceFlush_.elapsed() >= kFrameMs)
        FlushDamage();
    else if (!frameTimer_.isActive())
        frameTimer_.start(int(kFrameMs - sinceFlush_.elapsed()));
}

void CTelnetView::FlushDamage() {
    frameTimer_.stop();
    sinceFlush_.restart();
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

void CTelnetView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
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
        cw_ = 2 * metrics.horizontalAdvance(QLatin1Char('-')) + 1;
        ch_ = std::max(1, metrics.height());
        ascent_ = metrics.ascent();
    }
    setFont(font_);
    rawFont_ = QRawFont::fromFont(font_);
    if (rawFont_.isValid()) {
        for (int b = 0; b < 256; ++b) {
            const QList<quint32> index = rawFont_.glyphIndexesForString(QString(QChar(b)));
            glyphs_[size_t(b)] = index.isEmpty() ? 0 : index.first();
        }
    }
    UpdateScrollBars();
    ScrollToBottom();
    cursorLine_ = -1;
    pending_ = QRegion();
    viewport()->update();
}

void CTelnetView::PaintLine(QPainter& p, int line, int c0, int c1, int sx, int sy) {
    const uint8_t* text = term_.LineText(line);
    const uint16_t* attrs = term_.LineAttrs(line);
    const int length = term_.LineLength(line);
    const int y0 = line * ch_ - sy;

    // Fills, merged into runs of one colour.
    for (int c = c0; c <= c1;) {
        const int fill = ResolveColours(attrs[c]).fill;
        int end = c + 1;
        while (end <= c1 && ResolveColours(attrs[end]).fill == fill)
            ++end;
        p.fillRect(c * cw_ - sx, y0, (end - c) * cw_, ch_, Colour(fill));
        c = end;
    }

    // Characters: one glyph run per text colour; box characters as lines.
    std::array<QList<quint32>, 16> glyphs;
    std::array<QList<QPointF>, 16> positions;
    const int last = std::min(c1, length - 1);
    for (int c = c0; c <= last; ++c) {
        const uint8_t b = text[c];
        if (b == ' ') continue;
        const int colour = ResolveColours(attrs[c]).text;
        const int x0 = c * cw_ - sx;
        if (const uint8_t arms = kBoxArms[b]) {
            p.setPen(QPen(Colour(colour), 1));
            DrawBox(p, arms, x0, y0, cw_, ch_);
        } else if (rawFont_.isValid()) {
            glyphs[size_t(colour)].append(glyphs_[b]);
            positions[size_t(colour)].append(QPointF(x0, y0 + ascent_));
        } else {
            p.setPen(Colour(colour));
            p.drawText(QPoint(x0, y0 + ascent_), QString(QChar(b)));
        }
    }
    for (size_t k = 0; k < glyphs.size(); ++k) {
        if (glyphs[k].isEmpty()) continue;
        QGlyphRun run;
        run.setRawFont(rawFont_);
        run.setGlyphIndexes(glyphs[k]);
        run.setPositions(positions[k]);
        p.setPen(Colour(int(k)));
        p.drawGlyphRun(QPointF(0, 0), run);
    }
}

void CTelnetView::paintEvent(QPaintEvent* event) {
    ++paints_;
    QPainter p(viewport());
    const QRect area = event->rect();
    const int sx = horizontalScrollBar()->value();
    const int sy = verticalScrollBar()->value();
    const QRect picture(QPoint(-sx, -sy), pictureSize());

    // Around the picture: the colour of the default foreground; its 3-pixel margin: black.
    const QRegion outside = QRegion(area) - picture;
    for (const QRect& r : outside)
        p.fillRect(r, Colour(term_.defaultForeground()));
    p.fillRect(area & picture, Colour(0));

    const int firstLine = std::max(0, (area.top() + sy) / ch_);
    const int lastLine = std::min(term_.lines() - 1, (area.bottom() + sy) / ch_);
    const int firstColumn = std::max(0, (area.left() + sx) / cw_);
    const int lastColumn = std::min(term_.columns() - 1, (area.right() + sx) / cw_);
    if (firstColumn <= lastColumn)
        for (int line = firstLine; line <= lastLine; ++line)
            PaintLine(p, line, firstColumn, lastColumn, sx, sy);

    // The frame cursor.
    cursorLine_ = term_.ScreenLine(term_.cursorY());
    cursorColumn_ = term_.cursorX();
    p.setPen(QPen(kCursorColour, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(cursorColumn_ * cw_ - sx, cursorLine_ * ch_ - sy, cw_, ch_);
}

// ---- keyboard

bool CTelnetView::event(QEvent* event) {
    // Keys belong to the host while the terminal has the focus, not to menu shortcuts.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!(key->modifiers() & Qt::AltModifier)) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void CTelnetView::KeyDown(int vk) {
    if (vk == kVkEscape) {
        escapePrefix_ = !escapePrefix_;
        if (escapePrefix_) return; // the next character goes out behind an ESC
    }
    SendBytes(KeyBytes(vk, term_.keypadApplication()));
}

void CTelnetView::Character(int c, bool shift, bool ctrl, bool alt) {
    if (escapePrefix_) {
        escapePrefix_ = false;
        SendBytes(QByteArray{"\033"} + char(c & 0xFF));
        return;
    }
    // The keyboard layout has already shifted what it delivers; only control and Alt
    // combinations need the table.
    if (!ctrl && !alt && c >= 32 && c != 127) {
        SendBytes(QByteArray(1, char(c & 0xFF)));
        return;
    }
    SendBytes(QByteArray(1, char(TranslateChar(c, shift, ctrl, alt) & 0xFF)));
}

void CTelnetView::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool shift = mods & Qt::ShiftModifier;
    const bool ctrl = mods & Qt::ControlModifier;
    const bool alt = mods & Qt::AltModifier;
    const int key = event->key();
    const int vk = VirtualKeyOf(key);
    if (vk != 0 && !KeyBytes(vk, false).isEmpty()) {
        KeyDown(vk);
        return;
    }
    if (key == Qt::Key_Backspace) {
        Character(8, shift, ctrl, alt);
        return;
    }
    if (ctrl && key >= Qt::Key_A && key <= Qt::Key_Z) {
        Character('a' + (key - Qt::Key_A), shift, ctrl, alt);
        return;
    }
    if (ctrl && key == Qt::Key_Space) {
        Character(' ', shift, ctrl, alt);
        return;
    }
    const QString text = event->text();
    if (text.isEmpty()) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    for (const QChar ch : text)
        Character(ch.unicode(), shift, ctrl, alt);
}

// ---- options, font, saving

void CTelnetView::OptionCommand() {
    int lines = 0, rows = 0, columns = 0;
    {
        CTelnetOptionDialog dialog(term_.lines(), term_.rows(), term_.columns(), this);
        if (RunModal(dialog) != QDialog::Accepted) return;
        lines = dialog.lines();
        rows = dialog.rows();
        columns = dialog.columns();
    }
    const SizeChange change = term_.SetSize(lines, rows, columns);
    if (change.outOfMemory)
        ShowMessage(QStringLiteral("Out of memory. Please decrease buffer size"), MessageKind::Info,
                    this);
    if (change.screenChanged && connected())
        SendBytes(WindowSizeUpdate(term_.columns(), term_.rows() - 1));
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
    const QByteArray bytes = term_.SaveText();
    // A buffer that did not reach the disk must not pass for saved.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush())
        ShowMessage(file.errorString(), MessageKind::Error, this);
}

} // namespace velmar::telnet
