#include "telnet/TelnetSession.h"

#include "telnet/Terminal.h"
#include "telnet/XtermEmulation.h"

#include <QTcpSocket>
#include <cstring>

namespace velmar::telnet {

namespace {
constexpr int kDropCheckMs = 100;
} // namespace

TelnetSession::TelnetSession(QObject* parent) : QObject(parent) {
    MakeEmulation();
    dropTimer_.setInterval(kDropCheckMs);
    connect(&dropTimer_, &QTimer::timeout, this, [this] { DropCheck(); });
    dropTimer_.start();
}

TelnetSession::~TelnetSession() {
    delete ssh_;
    if (socket_) {
        socket_->disconnect(this);
        socket_->abort();
    }
}

void TelnetSession::MakeEmulation() {
    if (kind_ == EmulationKind::Xterm) {
        // The new screen keeps the size the window gave the old one.
        const int rows = emulation_ ? emulation_->rows() : Terminal::kResetRows - 1;
        const int columns = emulation_ ? emulation_->columns() : Terminal::kResetColumns;
        emulation_ = std::make_unique<XtermEmulation>(rows, columns);
    } else {
        emulation_ = std::make_unique<Terminal>();
    }
}

void TelnetSession::SetKind(EmulationKind kind) {
    if (kind == kind_) return;
    kind_ = kind;
    if (socket_ || ssh_) return; // from the next connection on
    MakeEmulation();
    emit screenReset();
}

void TelnetSession::Close() {
    if (ssh_) {
        // Not deleted here: this may run inside one of its own signals.
        SshTransport* old = ssh_;
        ssh_ = nullptr;
        old->Stop();
        old->disconnect(this);
        old->deleteLater();
        sshPending_.clear();
    }
    if (!socket_) return;
    QTcpSocket* old = socket_;
    socket_ = nullptr;
    old->disconnect(this);
    old->abort();
    old->deleteLater();
}

void TelnetSession::StartOver() {
    Close();
    const bool sameKind = (kind_ == EmulationKind::Xterm) == emulation_->followsWindow();
    if (sameKind)
        emulation_->Reset();
    else
        MakeEmulation();
    dropped_ = false;
    wasConnected_ = false;
    sliceQueued_ = false;
}

void TelnetSession::Connect(const QString& host, quint16 port) {
    StartOver();
    protocol_.Reset();

    auto* socket = new QTcpSocket(this);
    socket_ = socket;
    socket->setReadBufferSize(kReadBuffer);
    connect(socket, &QTcpSocket::connected, this, [this, socket] {
        if (socket != socket_) return;
        wasConnected_ = true;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 0);
        emit updated();
    });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError) {
        if (socket != socket_ || wasConnected_) return;
        // The reason in the platform's words (unknown host, refused, timed out); the dead
        // socket goes, so typing afterwards sends nothing and says nothing.
        const QString why = socket->errorString();
        Close();
        emit connectFailed(why);
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        if (socket == socket_ && !paused_) ReadSlice();
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        if (socket != socket_ || !wasConnected_) return;
        // What came before the close is still shown, however much the socket holds.
        while (socket_ && socket_->bytesAvailable() > 0 && !paused_)
            ReadSlice();
        dropped_ = true;
        Close();
        emit closedByPeer();
    });
    socket->connectToHost(host, port);
    emit screenReset();
}

void TelnetSession::SetAskers(trust::Asker askTrust, PasswordAsker askPassword) {
    askTrust_ = std::move(askTrust);
    askPassword_ = std::move(askPassword);
}

void TelnetSession::ConnectSsh(const QString& host, quint16 port, SshLogin login) {
    StartOver();
    // The reduced dialect is the "ansi" terminal of the host's terminfo.
    login.terminalType = kind_ == EmulationKind::Xterm ? QByteArrayLiteral("xterm-256color")
                                                       : QByteArrayLiteral("ansi");
    login.columns = emulation_->columns();
    login.rows = emulation_->reportedRows();
    auto* ssh = new SshTransport(host, port, login, askTrust_, askPassword_, this);
    ssh_ = ssh;
    connect(ssh, &SshTransport::opened, this, [this] {
        wasConnected_ = true;
        ResizePty(); // the window may have changed while logging in
        emit updated();
    });
    connect(ssh, &SshTransport::received, this, [this](const QByteArray& bytes) {
        sshPending_.append(bytes);
        if (!paused_) SshSlice();
    });
    connect(ssh, &SshTransport::failed, this, [this](const QString& why) {
        Close();
        emit connectFailed(why);
    });
    connect(ssh, &SshTransport::closed, this, [this] {
        while (ssh_ && !sshPending_.isEmpty() && !paused_)
            SshSlice();
        dropped_ = true;
        Close();
        emit closedByPeer();
    });
    connect(ssh, &SshTransport::dropped, this, [this](const QString&) {
        dropped_ = true;
        Close();
        emit dropped();
    });
    emit screenReset();
}

void TelnetSession::SshSlice() {
    if (!ssh_ || paused_ || sshPending_.isEmpty()) return;
    const qsizetype n = std::min<qsizetype>(sshPending_.size(), kSlice);
    emulation_->Process(reinterpret_cast<const uint8_t*>(sshPending_.constData()), size_t(n));
    sshPending_.remove(0, n);
    Write(emulation_->TakeReplies());
    if (!ssh_) return;
    ssh_->SetBacklog(sshPending_.size());
    emit updated();
    // The rest on the next turn, after the window has painted and taken input.
    if (!sshPending_.isEmpty() && !sliceQueued_) {
        sliceQueued_ = true;
        QTimer::singleShot(0, this, [this] {
            sliceQueued_ = false;
            SshSlice();
        });
    }
}

void TelnetSession::ResizePty() {
    if (ssh_) ssh_->Resize(emulation_->columns(), emulation_->reportedRows());
}

bool TelnetSession::connected() const {
    if (ssh_) return ssh_->open();
    return socket_ && socket_->state() == QAbstractSocket::ConnectedState;
}

void TelnetSession::DropCheck() {
    if (dropped_ || !socket_ || !wasConnected_) return;
    if (socket_->state() != QAbstractSocket::UnconnectedState) return;
    dropped_ = true;
    Close();
    emit dropped();
}

void TelnetSession::SetPaused(bool paused) {
    paused_ = paused;
    if (!paused_ && ssh_ && !sshPending_.isEmpty() && !sliceQueued_) {
        sliceQueued_ = true;
        QTimer::singleShot(0, this, [this] {
            sliceQueued_ = false;
            SshSlice();
        });
    }
    if (!paused_ && socket_ && socket_->bytesAvailable() > 0 && !sliceQueued_) {
        sliceQueued_ = true;
        QTimer::singleShot(0, this, [this] {
            sliceQueued_ = false;
            ReadSlice();
        });
    }
}

void TelnetSession::ReadSlice() {
    if (!socket_ || paused_) return;
    readBuffer_.resize(kSlice);
    const qint64 n = socket_->read(readBuffer_.data(), kSlice);
    if (n > 0) {
        Interpret(reinterpret_cast<const uint8_t*>(readBuffer_.constData()), size_t(n));
        emit updated();
    }
    // The rest on the next turn, after the window has painted and taken input.
    if (socket_ && socket_->bytesAvailable() > 0 && !sliceQueued_) {
        sliceQueued_ = true;
        QTimer::singleShot(0, this, [this] {
            sliceQueued_ = false;
            ReadSlice();
        });
    }
}

void TelnetSession::Interpret(const uint8_t* bytes, size_t n) {
    protocol_.SetTerminalType(emulation_->terminalType());
    protocol_.SetWindowSize(emulation_->columns(), emulation_->reportedRows());
    if (protocol_.betweenCommands() && (n == 0 || !std::memchr(bytes, kIac, n))) {
        // The usual read, no telnet command in it: straight to the emulation.
        emulation_->Process(bytes, n);
    } else {
        data_.resize(0); // keeps its capacity
        protocol_.Receive(bytes, n, data_);
        emulation_->Process(data_);
    }
    QByteArray replies = protocol_.TakeReplies();
    replies.append(EscapeIac(emulation_->TakeReplies()));
    Write(replies);
}

void TelnetSession::Feed(const QByteArray& bytes) {
    Interpret(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    emit updated();
}

void TelnetSession::Write(const QByteArray& bytes) {
    if (bytes.isEmpty() || !connected()) return;
    if (ssh_) {
        ssh_->Write(bytes);
        return;
    }
    if (socket_->write(bytes) < 0) emit sendFailed(socket_->errorString());
}

void TelnetSession::Send(const QByteArray& data) {
    // Only telnet gives byte 255 a meaning.
    Write(ssh_ ? data : EscapeIac(data));
}

void TelnetSession::Key(const KeyPress& key) {
    emulation_->Key(key);
    Send(emulation_->TakeReplies());
}

void TelnetSession::Paste(const QString& text) {
    emulation_->Paste(text);
    Send(emulation_->TakeReplies());
}

SizeChange TelnetSession::SetSize(int lines, int rows, int columns) {
    const SizeChange change = emulation_->SetSize(lines, rows, columns);
    if (change.screenChanged && ssh_)
        ResizePty();
    else if (change.screenChanged)
        Write(WindowSizeUpdate(emulation_->columns(), emulation_->reportedRows()));
    if (change.changed) emit updated();
    return change;
}

void TelnetSession::FollowWindow(int rows, int columns) {
    if (!emulation_->followsWindow()) return;
    rows = std::clamp(rows, 1, kMaxScreenSize);
    columns = std::clamp(columns, 1, kMaxScreenSize);
    if (rows == emulation_->rows() && columns == emulation_->columns()) return;
    const SizeChange change = emulation_->SetSize(emulation_->lines(), rows, columns);
    if (change.screenChanged && ssh_)
        ResizePty();
    else if (change.screenChanged && protocol_.windowSizeAsked())
        Write(WindowSizeReply(emulation_->columns(), emulation_->reportedRows()));
    if (change.changed) emit updated();
}

} // namespace velmar::telnet
