#pragma once
// One telnet connection: the socket, the telnet framing and negotiation, and the emulation
// the host's output goes to. The window only paints the emulation's damage and hands keys
// over, as a libvterm embedder owns its transport. Results come back as signals; the window
// decides what to show.

#include "telnet/Emulation.h"
#include "telnet/SshTransport.h"
#include "telnet/TelnetProtocol.h"

#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

namespace velmar::telnet {

class TelnetSession : public QObject {
    Q_OBJECT
public:
    // The socket reads at most this much ahead of us; beyond it TCP holds the host back.
    static constexpr qint64 kReadBuffer = 256 * 1024;
    // Interpreted per turn of the event loop, so a backlog never freezes the window.
    static constexpr qint64 kSlice = 64 * 1024;
    static constexpr quint16 kDefaultPort = 23;

    explicit TelnetSession(QObject* parent = nullptr);
    ~TelnetSession() override;

    EmulationKind kind() const { return kind_; }
    // The emulation of the next connection; without a connection it takes over at once
    // with a fresh screen (the host of a running one was told the other terminal type).
    void SetKind(EmulationKind kind);
    Emulation& emulation() { return *emulation_; }
    const Emulation& emulation() const { return *emulation_; }

    // Closes any connection, resets the screen and connects.
    void Connect(const QString& host, quint16 port);
    // The same over SSH: a pseudo-terminal of the emulation's type and size, the host key
    // checked and the log-in asked through the askers (see SetAskers).
    void ConnectSsh(const QString& host, quint16 port, SshLogin login);
    void SetAskers(trust::Asker askTrust, PasswordAsker askPassword);
    void Close();
    bool connected() const;
    // The connection (or the attempt) is SSH: encrypted.
    bool secure() const { return ssh_ != nullptr; }
    QTcpSocket* socket() const { return socket_; }

    // One read, as if it came from the socket.
    void Feed(const QByteArray& bytes);
    // Keys, pastes and terminal data for the host (255 doubled); nothing without a connection.
    void Key(const KeyPress& key);
    void Paste(const QString& text);
    void Send(const QByteArray& data);

    // While paused (the window is hidden) nothing is read.
    void SetPaused(bool paused);
    bool paused() const { return paused_; }

    // The size dialog's rules; a new screen size is sent to the host.
    SizeChange SetSize(int lines, int rows, int columns);
    // The window's size in cells, for an emulation that follows it; the host that asked
    // for window sizes is told each new one.
    void FollowWindow(int rows, int columns);

signals:
    void updated();     // damage to collect
    void screenReset(); // a fresh screen: lay out again
    void connectFailed(const QString& why);
    void closedByPeer();
    void dropped();
    void sendFailed(const QString& why);

private:
    void MakeEmulation();
    // Before a new connection: the old one closed, a fresh screen of the chosen emulation.
    void StartOver();
    void ReadSlice();
    void Interpret(const uint8_t* bytes, size_t n);
    void Write(const QByteArray& bytes);
    void DropCheck();
    void SshSlice();
    void ResizePty();

    EmulationKind kind_ = EmulationKind::Ansi;
    std::unique_ptr<Emulation> emulation_;
    TelnetProtocol protocol_;
    QPointer<QTcpSocket> socket_;
    bool wasConnected_ = false;
    bool dropped_ = false;
    bool paused_ = false;
    bool sliceQueued_ = false;
    QByteArray data_;
    QByteArray readBuffer_;
    QTimer dropTimer_;
    // SSH: the transport, and what it delivered that the emulation has not taken yet.
    QPointer<SshTransport> ssh_;
    QByteArray sshPending_;
    trust::Asker askTrust_;
    PasswordAsker askPassword_;
};

} // namespace velmar::telnet
