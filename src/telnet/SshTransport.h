#pragma once
// One SSH connection for the terminal: libssh on a worker thread of its own, so connecting,
// logging in and waiting for the host never block the window. Bytes in and out, the
// pseudo-terminal's size, and the end come and go as queued calls and signals on the
// window's thread. Host keys are checked against known_hosts; the questions (trust this
// key? the password?) are asked on the window's thread while the worker waits.

#include "trust/HostTrust.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace velmar::telnet {

struct SshLogin {
    QString user;              // empty: the local user's name
    QString knownHosts;        // empty: ~/.ssh/known_hosts
    QString sshDir;            // where the keys are; empty: ~/.ssh
    bool readUserConfig = true; // ~/.ssh/config (host aliases, users, ports)
    QByteArray terminalType;   // the pseudo-terminal's type ("ansi", "xterm-256color")
    int columns = 80;
    int rows = 24;
};

// Asks for the password of user@host; nullopt when the user cancels.
using PasswordAsker = std::function<std::optional<QString>(const QString& userAtHost)>;

class SshTransport : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 22;
    // The worker stops reading when this much waits unread on the window's side.
    static constexpr qsizetype kBacklog = 256 * 1024;

    SshTransport(const QString& host, quint16 port, const SshLogin& login,
                 trust::Asker askTrust, PasswordAsker askPassword, QObject* parent = nullptr);
    ~SshTransport() override;
    // Tells the worker to end (it closes the connection on its own thread); nothing is
    // signalled afterwards.
    void Stop();

    bool open() const { return open_; }
    void Write(const QByteArray& bytes);
    void Resize(int columns, int rows);
    // The window's side has this much unread: the worker holds back while it is large.
    void SetBacklog(qsizetype unread);

    struct Shared;
    // The worker's calls, run on the window's thread.
    void AnswerTrust(const trust::KeyQuestion& q);
    void AnswerPassword(const QString& userAtHost);
    void SetOpen(bool open) { open_ = open; }

signals:
    void opened();
    void received(const QByteArray& bytes);
    void failed(const QString& why); // before it opened: could not connect or log in
    void closed();                   // the host ended the session
    void dropped(const QString& why); // the connection broke while open

private:
    std::shared_ptr<Shared> shared_;
    trust::Asker askTrust_;
    PasswordAsker askPassword_;
    bool open_ = false;
};

} // namespace velmar::telnet
