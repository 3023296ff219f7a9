#include "telnet/SshTransport.h"

#include <QDir>
#include <QFile>
#include <QMetaObject>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <libssh/libssh.h>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace velmar::telnet {

namespace {
constexpr long kConnectTimeoutS = 15;
constexpr int kPasswordTries = 3;
constexpr int kReadChunk = 64 * 1024;
constexpr int kPollMs = 200; // a bound on waiting; the eventfd wakes the worker sooner
constexpr auto kExitWait = std::chrono::seconds(3);

// Workers still running. At exit the program waits a little for them (they were told to
// stop), so none is inside libssh while the library and its crypto are torn down.
std::mutex gWorkersMutex;
std::condition_variable gWorkersDone;
int gWorkers = 0;

void WaitForWorkersAtExit() {
    std::unique_lock lock(gWorkersMutex);
    gWorkersDone.wait_for(lock, kExitWait, [] { return gWorkers == 0; });
}

void WorkerStarts() {
    static std::once_flag registered;
    std::call_once(registered, [] { std::atexit(WaitForWorkersAtExit); });
    std::lock_guard lock(gWorkersMutex);
    ++gWorkers;
}

void WorkerEnds() {
    std::lock_guard lock(gWorkersMutex);
    --gWorkers;
    gWorkersDone.notify_all();
}
} // namespace

// What the window's thread and the worker share; either may outlive the other.
struct SshTransport::Shared {
    std::mutex m;
    std::condition_variable cv;
    SshTransport* owner = nullptr; // null once the window's side went
    bool stop = false;
    QByteArray out;
    bool resize = false;
    int columns = 80, rows = 24;
    qsizetype backlog = 0;
    bool answered = false;
    bool trustYes = false;
    std::optional<QString> password;
    int wake = -1;

    Shared() : wake(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~Shared() {
        if (wake >= 0) close(wake);
    }
    void Wake() const {
        const uint64_t one = 1;
        if (wake >= 0) (void)!write(wake, &one, sizeof one);
    }
    // Runs `f` on the window's thread with the transport, if it is still there. Call locked.
    template <class F> void PostLocked(F f) {
        if (!owner) return;
        SshTransport* o = owner;
        // A call posted to an object that is deleted before it runs is dropped with it.
        QMetaObject::invokeMethod(o, [o, f] { f(o); }, Qt::QueuedConnection);
    }
    template <class F> void Post(F f) {
        std::lock_guard lock(m);
        PostLocked(std::move(f));
    }
    // Posts a question and waits for its answer; false when the window's side went.
    template <class F> bool Ask(F f) {
        std::unique_lock lock(m);
        answered = false;
        PostLocked(std::move(f));
        cv.wait(lock, [this] { return answered || stop; });
        return answered && !stop;
    }
    bool stopped() {
        std::lock_guard lock(m);
        return stop;
    }
};

namespace {

using Shared = SshTransport::Shared;

struct Params {
    QByteArray host;
    unsigned int port;
    SshLogin login;
};

QString ErrorOf(ssh_session s) {
    return QString::fromUtf8(ssh_get_error(s));
}

trust::KeyState StateOf(ssh_known_hosts_e known) {
    switch (known) {
    case SSH_KNOWN_HOSTS_OK:
        return trust::KeyState::Known;
    case SSH_KNOWN_HOSTS_NOT_FOUND:
    case SSH_KNOWN_HOSTS_UNKNOWN:
        return trust::KeyState::Unknown;
    case SSH_KNOWN_HOSTS_CHANGED:
        return trust::KeyState::Changed;
    case SSH_KNOWN_HOSTS_OTHER:
        return trust::KeyState::OtherType;
    case SSH_KNOWN_HOSTS_ERROR:
        break;
    }
    return trust::KeyState::Error;
}

// The host key against known_hosts, asking about an unknown one. Empty when trusted.
QString CheckHostKey(ssh_session s, const Params& p, Shared& shared) {
    trust::KeyQuestion q;
    q.host = QString::fromUtf8(p.host);
    q.port = quint16(p.port);
    q.store = p.login.knownHosts.isEmpty() ? QDir::homePath() + QStringLiteral("/.ssh/known_hosts")
                                           : p.login.knownHosts;
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(s, &key) != SSH_OK) return ErrorOf(s);
    unsigned char* hash = nullptr;
    size_t hashLength = 0;
    const int hashed = ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &hashLength);
    q.keyType = QString::fromLatin1(ssh_key_type_to_char(ssh_key_type(key)));
    ssh_key_free(key);
    if (hashed != 0) return ErrorOf(s);
    char* fingerprint = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, hashLength);
    ssh_clean_pubkey_hash(&hash);
    q.fingerprint = QString::fromLatin1(fingerprint ? fingerprint : "");
    ssh_string_free_char(fingerprint);

    const trust::KeyState state = StateOf(ssh_session_is_known_server(s));
    bool yes = false;
    if (trust::ActionFor(state) == trust::Action::Ask) {
        if (!shared.Ask([q](SshTransport* t) { t->AnswerTrust(q); })) return QStringLiteral("");
        std::lock_guard lock(shared.m);
        yes = shared.trustYes;
    }
    const trust::Verdict verdict = trust::Decide(state, q, [yes](const trust::KeyQuestion&) {
        return yes;
    });
    if (!verdict.accepted) return verdict.refusal;
    if (verdict.store && ssh_session_update_known_hosts(s) != SSH_OK)
        return QStringLiteral("The host key could not be added to %1: %2").arg(q.store, ErrorOf(s));
    return {};
}

// Keys and the agent first, then the password. Empty when logged in.
QString LogIn(ssh_session s, const Params& p, Shared& shared) {
    int rc = ssh_userauth_none(s, nullptr);
    if (rc == SSH_AUTH_SUCCESS) return {};
    if (rc == SSH_AUTH_ERROR) return ErrorOf(s);
    const int methods = ssh_userauth_list(s, nullptr);
    if ((methods & SSH_AUTH_METHOD_PUBLICKEY) &&
        ssh_userauth_publickey_auto(s, nullptr, nullptr) == SSH_AUTH_SUCCESS)
        return {};
    if (methods & SSH_AUTH_METHOD_PASSWORD) {
        char* user = nullptr;
        ssh_options_get(s, SSH_OPTIONS_USER, &user);
        const QString who = QString::fromUtf8(user ? user : "") + QLatin1Char('@') +
                            QString::fromUtf8(p.host);
        ssh_string_free_char(user);
        for (int i = 0; i < kPasswordTries; ++i) {
            if (!shared.Ask([who](SshTransport* t) { t->AnswerPassword(who); }))
                return QStringLiteral("");
            std::optional<QString> password;
            {
                std::lock_guard lock(shared.m);
                password = std::move(shared.password);
                shared.password.reset();
            }
            if (!password) return QStringLiteral("Log-in cancelled.");
            rc = ssh_userauth_password(s, nullptr, password->toUtf8().constData());
            if (rc == SSH_AUTH_SUCCESS) return {};
            if (rc == SSH_AUTH_ERROR) return ErrorOf(s);
        }
    }
    return QStringLiteral("Permission denied (no key or password was accepted).");
}

// The session after log-in: bytes both ways until either side ends it.
void Pump(ssh_session s, ssh_channel ch, Shared& shared) {
    QByteArray buffer(kReadChunk, Qt::Uninitialized);
    for (;;) {
        // Drained before the queue is taken, so a wake for anything queued later stays.
        uint64_t drained;
        (void)!read(shared.wake, &drained, sizeof drained);
        QByteArray out;
        bool resize = false;
        int columns = 0, rows = 0;
        bool reading = true;
        {
            std::lock_guard lock(shared.m);
            if (shared.stop) return;
            out.swap(shared.out);
            std::swap(resize, shared.resize);
            columns = shared.columns;
            rows = shared.rows;
            reading = shared.backlog < SshTransport::kBacklog;
        }
        if (resize) ssh_channel_change_pty_size(ch, columns, rows);
        if (!out.isEmpty() && ssh_channel_write(ch, out.constData(), uint32_t(out.size())) < 0) {
            const QString why = ErrorOf(s);
            shared.Post([why](SshTransport* t) {
                t->SetOpen(false);
                emit t->dropped(why);
            });
            return;
        }
        bool got = false;
        while (reading) {
            const int n = ssh_channel_read_nonblocking(ch, buffer.data(), kReadChunk, 0);
            if (n == SSH_ERROR) {
                const QString why = ErrorOf(s);
                shared.Post([why](SshTransport* t) {
                    t->SetOpen(false);
                    emit t->dropped(why);
                });
                return;
            }
            if (n <= 0) break;
            got = true;
            QByteArray bytes(buffer.constData(), n);
            std::lock_guard lock(shared.m);
            shared.backlog += n;
            reading = shared.backlog < SshTransport::kBacklog;
            shared.PostLocked([bytes](SshTransport* t) { emit t->received(bytes); });
        }
        if (ssh_channel_is_eof(ch) || ssh_channel_is_closed(ch)) {
            shared.Post([](SshTransport* t) {
                t->SetOpen(false);
                emit t->closed();
            });
            return;
        }
        if (got) continue;
        pollfd fds[2] = {{.fd = reading ? ssh_get_fd(s) : -1, .events = POLLIN, .revents = 0},
                         {.fd = shared.wake, .events = POLLIN, .revents = 0}};
        poll(fds, 2, kPollMs);
    }
}

void RunSession(const std::shared_ptr<Shared>& shared, const Params& p);

void Run(std::shared_ptr<Shared> shared, Params p) {
    RunSession(shared, p);
    shared.reset();
    WorkerEnds();
}

void RunSession(const std::shared_ptr<Shared>& shared, const Params& p) {
    ssh_session s = ssh_new();
    if (!s) {
        shared->Post([](SshTransport* t) { emit t->failed(QStringLiteral("Out of memory")); });
        return;
    }
    auto fail = [&](const QString& why) {
        if (why.isEmpty()) return; // nobody is waiting any more
        shared->Post([why](SshTransport* t) { emit t->failed(why); });
    };
    ssh_options_set(s, SSH_OPTIONS_HOST, p.host.constData());
    const unsigned int port = p.port;
    ssh_options_set(s, SSH_OPTIONS_PORT, &port);
    const long timeout = kConnectTimeoutS;
    ssh_options_set(s, SSH_OPTIONS_TIMEOUT, &timeout);
    if (!p.login.user.isEmpty()) ssh_options_set(s, SSH_OPTIONS_USER, p.login.user.toUtf8().constData());
    if (!p.login.sshDir.isEmpty())
        ssh_options_set(s, SSH_OPTIONS_SSH_DIR, QFile::encodeName(p.login.sshDir).constData());
    if (!p.login.knownHosts.isEmpty())
        ssh_options_set(s, SSH_OPTIONS_KNOWNHOSTS, QFile::encodeName(p.login.knownHosts).constData());
    bool readConfig = p.login.readUserConfig;
    ssh_options_set(s, SSH_OPTIONS_PROCESS_CONFIG, &readConfig);

    ssh_channel ch = nullptr;
    QString why;
    if (ssh_connect(s) != SSH_OK) {
        why = ErrorOf(s);
    } else if (QString trust = CheckHostKey(s, p, *shared); !trust.isNull()) {
        why = trust;
    } else if (QString login = LogIn(s, p, *shared); !login.isNull()) {
        why = login;
    } else if (!(ch = ssh_channel_new(s)) || ssh_channel_open_session(ch) != SSH_OK) {
        why = ErrorOf(s);
    } else {
        int columns, rows;
        {
            std::lock_guard lock(shared->m);
            columns = shared->columns;
            rows = shared->rows;
            shared->resize = false;
        }
        if (ssh_channel_request_pty_size(ch, p.login.terminalType.constData(), columns, rows) !=
                SSH_OK ||
            ssh_channel_request_shell(ch) != SSH_OK)
            why = ErrorOf(s);
    }
    if (!why.isNull()) {
        if (!shared->stopped()) fail(why.isEmpty() ? QStringLiteral("Not connected.") : why);
    } else {
        shared->Post([](SshTransport* t) {
            t->SetOpen(true);
            emit t->opened();
        });
        Pump(s, ch, *shared);
    }
    if (ch) {
        ssh_channel_close(ch);
        ssh_channel_free(ch);
    }
    ssh_disconnect(s);
    ssh_free(s);
}

} // namespace

SshTransport::SshTransport(const QString& host, quint16 port, const SshLogin& login,
                           trust::Asker askTrust, PasswordAsker askPassword, QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>()), askTrust_(std::move(askTrust)),
      askPassword_(std::move(askPassword)) {
    shared_->owner = this;
    shared_->columns = login.columns;
    shared_->rows = login.rows;
    // Detached: a worker stuck in connecting ends on its own, and never holds the window up.
    WorkerStarts();
    std::thread(Run, shared_, Params{host.toUtf8(), port, login}).detach();
}

SshTransport::~SshTransport() {
    Stop();
}

void SshTransport::Stop() {
    std::lock_guard lock(shared_->m);
    shared_->owner = nullptr;
    shared_->stop = true;
    shared_->cv.notify_all();
    shared_->Wake();
}

void SshTransport::Write(const QByteArray& bytes) {
    if (bytes.isEmpty()) return;
    std::lock_guard lock(shared_->m);
    shared_->out.append(bytes);
    shared_->Wake();
}

void SshTransport::Resize(int columns, int rows) {
    std::lock_guard lock(shared_->m);
    if (columns == shared_->columns && rows == shared_->rows) return;
    shared_->columns = columns;
    shared_->rows = rows;
    shared_->resize = true;
    shared_->Wake();
}

void SshTransport::SetBacklog(qsizetype unread) {
    std::lock_guard lock(shared_->m);
    const bool wasFull = shared_->backlog >= kBacklog;
    shared_->backlog = unread;
    if (wasFull && unread < kBacklog) shared_->Wake();
}

void SshTransport::AnswerTrust(const trust::KeyQuestion& q) {
    // The question runs a dialog, during which this transport may go.
    const std::shared_ptr<Shared> shared = shared_;
    const trust::Asker ask = askTrust_;
    const bool yes = ask && ask(q);
    std::lock_guard lock(shared->m);
    shared->trustYes = yes;
    shared->answered = true;
    shared->cv.notify_all();
}

void SshTransport::AnswerPassword(const QString& userAtHost) {
    const std::shared_ptr<Shared> shared = shared_;
    const PasswordAsker ask = askPassword_;
    std::optional<QString> password = ask ? ask(userAtHost) : std::nullopt;
    std::lock_guard lock(shared->m);
    shared->password = std::move(password);
    shared->answered = true;
    shared->cv.notify_all();
}

} // namespace velmar::telnet
