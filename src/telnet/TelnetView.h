#pragma once
// The terminal window: owns the connection and the emulator, paints the visible rows of the
// buffer with a frame cursor, and turns keys, characters and tool-bar buttons into bytes.

#include "framework/View.h"
#include "telnet/Terminal.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QFont>
#include <QPointer>
#include <QRawFont>
#include <QRegion>
#include <QTimer>
#include <array>

#include <QTcpSocket>

namespace velmar::telnet {

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
    bool connected() const;
    QTcpSocket* socket() const { return socket_; }
    const QString& lastHost() const { return lastHost_; }

    // One read from the host, as if it came from the socket.
    void Feed(const QByteArray& bytes);
    // Sends bytes to the host (nothing without a connection).
    void SendBytes(const QByteArray& bytes);

    void OptionCommand();
    void FontCommand();
    void SaveCommand();
    void ApplyFontAndLayout();

    Terminal& terminal() { return term_; }
    int cellWidth() const { return cw_; }
    int cellHeight() const { return ch_; }
    bool escapePrefix() const { return escapePrefix_; }
    QSize pictureSize() const;
    // The whole width of the terminal and its screen rows.
    QSize sizeHint() const override;
    // Paints and drawing passes since construction (tests of the repaint rate, benchmarks).
    int paintCount() const { return paints_; }
    // Pushes pending damage to the window now instead of at the next frame.
    void FlushDamage();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }
    bool event(QEvent* event) override;

private:
    void StartUp();
    void ReadPending();
    void Interpret(const uint8_t* data, size_t n);
    void CollectDamage();
    void ScheduleRepaint();
    void UpdateScrollBars();
    void ScrollToBottom();
    void KeyDown(int vk);
    void Character(int c, bool shift, bool ctrl, bool alt);
    void DropCheck();
    void CloseConnection();
    QRect CellRect(int line, int column) const;
    void PaintLine(class QPainter& p, int line, int c0, int c1, int sx, int sy);

    Terminal term_;
    QPointer<QTcpSocket> socket_;
    bool wasConnected_ = false;
    bool dropped_ = false;
    QString lastHost_;
    bool started_ = false;
    bool escapePrefix_ = false;

    QFont font_;
    QRawFont rawFont_;
    std::array<quint32, 256> glyphs_{};
    int cw_ = 16;
    int ch_ = 18;
    int ascent_ = 14;

    QTimer dropTimer_;
    QTimer frameTimer_;
    QElapsedTimer sinceFlush_;
    QRegion pending_; // damage in picture coordinates, not yet handed to the window
    int cursorLine_ = -1, cursorColumn_ = 0; // where the cursor was last painted
    int paints_ = 0;
};

} // namespace velmar::telnet
