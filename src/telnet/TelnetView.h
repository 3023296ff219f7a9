#pragma once
// The terminal window: paints the session's emulation (cells, damage, scrollback) with a
// frame cursor, maps keys, mouse selection and the clipboard, and runs the terminal menu's
// dialogs. The session owns the connection.

#include "framework/View.h"
#include "telnet/Emulation.h"
#include "telnet/TelnetDialogs.h"
#include "telnet/TelnetSession.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QFont>
#include <QHash>
#include <QRawFont>
#include <QRegion>
#include <QTimer>
#include <array>

class QTcpSocket;

namespace velmar::telnet {

class Terminal;

// A position in the window's lines (scrollback first, then the screen).
struct CellPos {
    int line = 0;
    int column = 0;
    friend bool operator==(CellPos, CellPos) = default;
    friend bool operator<(CellPos a, CellPos b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    }
};

class CTelnetView : public QAbstractScrollArea, public CView {
    Q_OBJECT
public:
    explicit CTelnetView(QWidget* parent = nullptr);
    ~CTelnetView() override;

    QWidget* widget() override { return this; }
    void OnUpdate(CView*) override {}
    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, CommandState& state) override;

    // The connect command: the dialog, then Connect.
    void ConnectCommand();
    void Connect(const QString& host, quint16 port);
    // SSH to [user@]host; the host key and the log-in are asked through the message seam and
    // the password dialog.
    void ConnectSsh(const QString& userAndHost, quint16 port, SshLogin login = {});
    bool secure() const { return session_.secure(); }
    bool connected() const { return session_.connected(); }
    QTcpSocket* socket() const { return session_.socket(); }
    const QString& lastHost() const { return lastHost_; }
    TelnetSession& session() { return session_; }

    // One read from the host, as if it came from the socket.
    void Feed(const QByteArray& bytes) { session_.Feed(bytes); }

    void OptionCommand();
    void FontCommand();
    void SaveCommand();
    void CopyCommand();
    void PasteCommand();
    void ApplyFontAndLayout();

    Emulation& emulation() { return session_.emulation(); }
    // The reduced dialect's emulator (nullptr in xterm mode).
    Terminal* terminal();
    int cellWidth() const { return cw_; }
    int cellHeight() const { return ch_; }
    QSize pictureSize() const;
    // The whole width of the terminal and its screen rows.
    QSize sizeHint() const override;
    // Paints and drawing passes since construction (tests of the repaint rate, benchmarks).
    int paintCount() const { return paints_; }
    // Pushes pending damage to the window now instead of at the next frame.
    void FlushDamage();

    // The selection, ordered, end exclusive; empty when nothing is selected.
    bool hasSelection() const { return selStart_ != selEnd_; }
    QString SelectedText() const;
    // The cell under a point of the viewport.
    CellPos CellAt(QPoint point) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }
    bool event(QEvent* event) override;

private:
    void StartUp();
    void CollectDamage();
    void ScheduleRepaint();
    void UpdateScrollBars();
    void ScrollToBottom();
    void FollowWindow();
    void Key(const KeyPress& key);
    void ShowSessionMessage(const QString& text, bool error);
    void SetTitle(const QString& host);
    QRect LineRect(int line) const;
    void PaintLine(class QPainter& p, int line, int c0, int c1, int sx, int sy);
    quint32 Glyph(char32_t ch);
    void SetSelection(CellPos start, CellPos end);
    void PublishSelection();

    TelnetSession session_;
    QString lastHost_;
    Protocol lastProtocol_ = Protocol::Telnet;
    bool started_ = false;

    QFont font_;
    QRawFont rawFont_;
    std::array<quint32, 256> latinGlyphs_{};
    QHash<char32_t, quint32> glyphs_;
    int cw_ = 16;
    int ch_ = 18;
    int ascent_ = 14;

    QTimer frameTimer_;
    QElapsedTimer sinceFlush_;
    bool scrolledSinceFlush_ = false;
    QRegion pending_; // damage in picture coordinates, not yet handed to the window
    int cursorLine_ = -1, cursorColumn_ = 0; // where the cursor was last painted
    int paints_ = 0;

    CellPos selStart_, selEnd_, anchor_;
    bool selecting_ = false;
};

} // namespace velmar::telnet
