#include "support/FtpServer.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmar::test {

namespace {

const char kPyServer[] = R"(
import errno, os, sys, logging
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer
home, user, password = sys.argv[1], sys.argv[2], sys.argv[3]
store_limit, rate = int(sys.argv[4]), int(sys.argv[5])
logging.basicConfig(level=logging.ERROR)
auth = DummyAuthorizer()
auth.add_user(user, password, home, perm='elradfmwMT')
class FullDisk:
    # Writes what fits, then fails as a full disk does; the part stays on disk.
    def __init__(self, f):
        self.f, self.left = f, store_limit
    def write(self, data):
        if len(data) > self.left:
            self.f.write(data[:self.left])
            self.left = 0
            raise OSError(errno.ENOSPC, os.strerror(errno.ENOSPC))
        self.left -= len(data)
        return self.f.write(data)
    def __getattr__(self, name):
        return getattr(self.f, name)
class FS(AbstractedFS):
    def open(self, filename, mode):
        f = AbstractedFS.open(self, filename, mode)
        return FullDisk(f) if store_limit >= 0 and 'r' not in mode else f
class Dtp(ThrottledDTPHandler):
    read_limit = write_limit = rate
    # A data connection reset before the server took it is closed inside the base class's
    # constructor, before this one has set its timer; without the default the server
    # fails there and stops serving.
    _throttler = None
class Handler(FTPHandler):
    abstracted_fs = FS
    if rate:
        dtp_handler = Dtp
Handler.authorizer = auth
# Names are bytes, as on vsftpd or ProFTPD: no replacement characters.
Handler.unicode_errors = 'surrogateescape'
Handler.auth_failed_timeout = 0.1
Handler.banner = 'velmar test server ready'
server = FTPServer(('127.0.0.1', 0), Handler)
print(server.address[1], flush=True)
server.serve_forever()
)";

// Closing with a zero linger time sends a reset instead of an orderly end.
void ResetFd(int s) {
    const linger reset{1, 0};
    ::setsockopt(s, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

sockaddr_in Loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    return a;
}

bool WaitReadable(int s, int ms) {
    pollfd p{s, POLLIN, 0};
    int r;
    do {
        r = ::poll(&p, 1, ms);
    } while (r < 0 && errno == EINTR);
    return r > 0;
}

void WriteAll(int s, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::send(s, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n <= 0) return;
        done += n;
    }
}

void CloseFd(int& s) {
    if (s >= 0) ::close(s);
    s = -1;
}

// The handlers a server forks per connection (vsftpd, sshd, which gives each a session of its
// own) die with it, and everything they started.
void KillChildren(qint64 pid) {
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        // "pid (name) state ppid ...": the name may hold blanks, the last ')' ends it.
        const QByteArray stat = ReadAll("/proc/" + entry + "/stat");
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 2 || fields[1].toLongLong() != pid) continue;
        KillChildren(entry.toLongLong());
        ::kill(pid_t(entry.toLongLong()), SIGKILL);
    }
}

} // namespace

int ListenLoopback(int backlog) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = Loopback(0);
    if (s < 0) return -1;
    if (::bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(s, backlog) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

int PortOf(int s) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
}

int FreePort() {
    const int s = ListenLoopback();
    if (s < 0) return 0;
    const int port = PortOf(s);
    ::close(s);
    return port;
}

bool Accepts(int port) {
    const sockaddr_in a = Loopback(port);
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool up = ::connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return up;
}

pid_t Spawn(const QString& program, const QStringList& arguments, const QString& out,
            const QString& err) {
    std::vector<QByteArray> bytes{QFile::encodeName(program)};
    for (const QString& a : arguments)
        bytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    const QByteArray outName = out.isEmpty() ? "/dev/null" : QFile::encodeName(out);
    const QByteArray errName = err.isEmpty() ? "/dev/null" : QFile::encodeName(err);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return -1;
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child == 0) {
        // It goes with the test even when the test dies (a sanitizer stopping it, a crash).
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        const int in = ::open("/dev/null", O_RDONLY);
        const int o = ::open(outName.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = ::open(errName.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || o < 0 || e < 0 || ::dup2(in, 0) < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0)
            ::_exit(127);
        ::execvp(argv[0], argv.data());
        const int error = errno;
        ssize_t ignored = ::write(report[1], &error, sizeof error);
        (void)ignored;
        ::_exit(127);
    }
    ::close(report[1]);
    int error = 0;
    ssize_t got = -1;
    if (child > 0) {
        do
            got = ::read(report[0], &error, sizeof error);
        while (got < 0 && errno == EINTR);
    }
    ::close(report[0]);
    if (got == 0) return child; // the pipe closed on exec
    if (child > 0) ::waitpid(child, nullptr, 0);
    return -1;
}

bool ServerProcess::Start(const QString& program, const QStringList& arguments) {
    pid_ = Spawn(program, arguments, output_.file("out"), output_.file("err"));
    if (pid_ > 0) return true;
    pid_ = 0;
    error_ = program + QStringLiteral(" did not start");
    return false;
}

bool ServerProcess::Running() {
    if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) != 0) pid_ = 0;
    return pid_ > 0;
}

bool ServerProcess::Listen(int port, const char* name) {
    for (int i = 0; i < 400 && Running(); ++i) {
        if (Accepts(port)) {
            port_ = port;
            return true;
        }
        QThread::msleep(25);
    }
    error_ = QString::fromLatin1(name) + QStringLiteral(" did not listen: ") +
             QString::fromLocal8Bit(ReadAll(output_.file("err")));
    return false;
}

void ServerProcess::Stop() {
    if (!Running()) return;
    KillChildren(pid_);
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = 0;
}

PyFtpServer::PyFtpServer(Limits limits) {
    // Debian's interpreter: the one on PATH may lack pyftpdlib.
    if (!Start(QStringLiteral("/usr/bin/python3"),
               {QStringLiteral("-c"), QString::fromLatin1(kPyServer), home_.path(),
                QString::fromLatin1(kUser), QString::fromLatin1(kPassword),
                QString::number(limits.storeBytes), QString::number(limits.bytesPerSecond)}))
        return;
    QByteArray out;
    for (int i = 0; i < 1500 && !out.contains('\n') && Running(); ++i) {
        QThread::msleep(10);
        out = ReadAll(output_.file("out"));
    }
    if (!out.contains('\n')) {
        error_ = QStringLiteral("pyftpdlib did not report its port: ") +
                 QString::fromLocal8Bit(ReadAll(output_.file("err")));
        return;
    }
    port_ = out.trimmed().toInt();
    if (port_ == 0) error_ = QStringLiteral("bad port line: ") + QString::fromLatin1(out);
}

bool ServerProcess::StartVsftpd(const TempDir& state, const QString& more) {
    const int port = FreePort();
    if (port == 0) {
        error_ = QStringLiteral("no free port");
        return false;
    }
    ::chmod(QFile::encodeName(home_.path()).constData(), 0777);
    const QString config =
        QStringLiteral("listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\n"
                       "listen_port=%1\nbackground=NO\nrun_as_launching_user=YES\n"
                       "anonymous_enable=YES\nno_anon_password=YES\nanon_root=%2\n"
                       "local_enable=NO\nwrite_enable=YES\nanon_upload_enable=YES\n"
                       "anon_mkdir_write_enable=YES\nanon_other_write_enable=YES\n"
                       "anon_umask=022\npasv_enable=YES\nconnect_from_port_20=NO\n"
                       "secure_chroot_dir=%3\nseccomp_sandbox=NO\nisolate=NO\n"
                       "isolate_network=NO\nxferlog_enable=NO\ndirmessage_enable=NO\n"
                       "max_clients=0\nmax_per_ip=0\n")
            .arg(port)
            .arg(home_.path(), state.mkdir(QStringLiteral("empty")));
    const QString conf = state.write(QStringLiteral("vsftpd.conf"), (config + more).toUtf8());
    return Start(QStringLiteral("/usr/sbin/vsftpd"), {conf}) && Listen(port, "vsftpd");
}

VsFtpServer::VsFtpServer(bool otherWrites) {
    // A later line wins.
    StartVsftpd(state_, otherWrites ? QString() : QStringLiteral("anon_other_write_enable=NO\n"));
}

// ---- scripted ----

ScriptedServer::ScriptedServer() {
    listener_ = ListenLoopback();
    if (listener_ >= 0) port_ = PortOf(listener_);
}

ScriptedServer::~ScriptedServer() {
    stop_ = true;
    Join();
    CloseFd(control_);
    CloseFd(held_);
    CloseFd(dataListener_);
    CloseFd(listener_);
}

ScriptedServer& ScriptedServer::Push(Op op, const QByteArray& bytes, int number) {
    steps_.push_back({op, bytes, number});
    return *this;
}
ScriptedServer& ScriptedServer::Login(const QByteArray& systemAnswer, const QByteArray& pwdAnswer) {
    return Send("220 scripted server ready\r\n")
        .Answer("331 Password required")
        .Answer("230 Logged in")
        .Answer("214 No help here")
        .Answer(systemAnswer)
        .Answer(pwdAnswer);
}

void ScriptedServer::Start() {
    thread_ = std::thread([this] { Run(); });
}

void ScriptedServer::Join() {
    if (thread_.joinable()) thread_.join();
}

bool ScriptedServer::ReadLine(QByteArray& line) {
    for (;;) {
        const qsizetype eol = pending_.indexOf("\r\n");
        if (eol >= 0) {
            line = pending_.left(eol);
            pending_.remove(0, eol + 2);
            return true;
        }
        if (stop_ || !WaitReadable(control_, kStepTimeoutMs)) return false;
        char buf[4096];
        const ssize_t n = ::recv(control_, buf, sizeof buf, 0);
        if (n <= 0) return false;
        pending_.append(buf, n);
    }
}

int ScriptedServer::AcceptData() {
    if (dataListener_ < 0 || !WaitReadable(dataListener_, kStepTimeoutMs)) return -1;
    const int s = ::accept4(dataListener_, nullptr, nullptr, SOCK_CLOEXEC);
    CloseFd(dataListener_);
    return s;
}

void ScriptedServer::Run() {
    if (listener_ < 0 || !WaitReadable(listener_, kStepTimeoutMs)) return;
    control_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (control_ < 0) return;
    accepted_ = true;
    const int one = 1;
    ::setsockopt(control_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    for (const Step& step : steps_) {
        if (stop_) return;
        switch (step.op) {
        case Op::Send:
            WriteAll(control_, step.bytes);
            break;
        case Op::Pause:
            std::this_thread::sleep_for(std::chrono::milliseconds(step.number));
            break;
        case Op::Expect:
        case Op::Pasv: {
            QByteArray line;
            if (!ReadLine(line)) return;
            commands_.append(line);
            ++heard_;
            if (step.op == Op::Pasv) {
                CloseFd(dataListener_);
                dataListener_ = ListenLoopback();
                const int p = PortOf(dataListener_);
                WriteAll(control_, "227 Entering Passive Mode (" + step.bytes + ',' +
                                       QByteArray::number(p >> 8) + ',' +
                                       QByteArray::number(p & 255) + ").\r\n");
            }
            break;
        }
        case Op::DataSend:
        case Op::DataHold: {
            int s = AcceptData();
            if (s < 0) return;
            WriteAll(s, step.bytes);
            if (step.op == Op::DataHold) std::swap(s, held_); // the old one is closed
            CloseFd(s);
            break;
        }
        case Op::DataReceive: {
            int s = AcceptData();
            if (s < 0) return;
            char buf[65536];
            for (int got = 0; got < step.number && WaitReadable(s, kStepTimeoutMs);) {
                const ssize_t n =
                    ::recv(s, buf, std::min(sizeof buf, size_t(step.number - got)), 0);
                if (n <= 0) break;
                got += int(n);
            }
            ResetFd(s);
            CloseFd(s);
            break;
        }
        case Op::Close:
            if (step.number) ResetFd(control_);
            CloseFd(control_);
            break;
        case Op::Drain: {
            // Silent from here on, but every line that still comes is kept.
            QByteArray line;
            while (ReadLine(line))
                commands_.append(line);
            break;
        }
        }
    }
}

} // namespace velmar::test
