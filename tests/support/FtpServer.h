#pragma once
// FTP peers for the tests, all on 127.0.0.1:
// - PyFtpServer: Debian's pyftpdlib in a child process, a temporary home and one user.
// - ScriptedServer: plays a transcript of replies for what no real server does, and keeps
//   the exact command lines it received.
// Every wait is bounded, so a test that goes wrong fails instead of hanging.

#include "support/TempDir.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace velmar::test {

// A socket listening on 127.0.0.1 at a free port (-1 on failure), and the port of a socket.
int ListenLoopback(int backlog = 4);
int PortOf(int socket);
// A port on 127.0.0.1 that nobody listens on (0 when none could be had).
int FreePort();
// Whether something on 127.0.0.1 takes a connection at `port` now.
bool Accepts(int port);

// Runs `program` in a child made by fork(2), which ThreadSanitizer follows (QProcess makes its
// children in a way it does not see, and it then takes later hand-overs between our threads
// for races). Standard output and error go to the files named ("": nowhere); the child dies
// with the thread that made it. The child's id, or -1 when the program could not run.
pid_t Spawn(const QString& program, const QStringList& arguments, const QString& out = {},
            const QString& err = {});

// A server in a child process on 127.0.0.1 with a temporary root, killed when it goes.
class ServerProcess {
public:
    virtual ~ServerProcess() { Stop(); }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool ok() const { return port_ != 0; }
    const QString& error() const { return error_; }
    int port() const { return port_; }
    // The server's root folder; files made here are what the client sees as "/".
    const TempDir& home() const { return home_; }
    // Ends the server and the handlers it forked at once, as a crash would: open connections
    // break.
    void Stop();

protected:
    ServerProcess() = default;
    bool Start(const QString& program, const QStringList& arguments);
    // vsftpd at a free port: anonymous, uploads allowed, serving home() (made writable), with
    // `more` lines of configuration; its files and the empty folder it insists on in `state`.
    bool StartVsftpd(const TempDir& state, const QString& more);
    // Bounded wait until the child takes connections at `port`: then port() is it, else
    // error() says why.
    bool Listen(int port, const char* name);

    // Whether the child still runs (it is reaped once it ended).
    bool Running();

    TempDir home_;
    pid_t pid_ = 0;  // the child, 0 when there is none
    TempDir output_; // its standard output ("out") and error ("err")
    int port_ = 0;
    QString error_;
};

// Debian's pyftpdlib: one user.
class PyFtpServer : public ServerProcess {
public:
    static constexpr const char* kUser = "velmar";
    static constexpr const char* kPassword = "s3cret";
    struct Limits {
        qint64 storeBytes = -1; // an upload fails past this many bytes, as on a full disk
        int bytesPerSecond = 0; // data connections throttled to this, 0 for no limit
    };
    PyFtpServer() : PyFtpServer(Limits{}) {}
    explicit PyFtpServer(Limits limits);
};

// vsftpd: anonymous log-in (any password), uploads allowed. Never the system's own server.
class VsFtpServer : public ServerProcess {
public:
    // Without `otherWrites` anonymous users may upload but neither rename nor delete, as on
    // the usual anonymous upload folder.
    explicit VsFtpServer(bool otherWrites = true);

private:
    TempDir state_; // configuration and the empty secure folder
};

class ScriptedServer {
public:
    // Bound for every single wait of the script (accept, read).
    static constexpr int kStepTimeoutMs = 10000;

    ScriptedServer();
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    // Building the transcript (before Start). Send: raw bytes on the control connection;
    // Expect: read one command line and keep it; Pause: lets bytes sent so far go out alone;
    // DataSend: accept, send, close; DataHold: accept, send, then stall (no close).
    ScriptedServer& Send(const QByteArray& b) { return Push(Op::Send, b); }
    ScriptedServer& Expect() { return Push(Op::Expect); }
    ScriptedServer& Answer(const QByteArray& line) { return Expect().Send(line + "\r\n"); }
    ScriptedServer& Pause(int ms) { return Push(Op::Pause, {}, ms); }
    // Expect PASV, listen on 127.0.0.1, answer 227 naming `host` (a,b,c,d) and the port.
    ScriptedServer& Pasv(const QByteArray& host = "127,0,0,1") { return Push(Op::Pasv, host); }
    ScriptedServer& DataSend(const QByteArray& b) { return Push(Op::DataSend, b); }
    ScriptedServer& DataHold(const QByteArray& b) { return Push(Op::DataHold, b); }
    // Accept, read `limit` bytes and reset the connection.
    ScriptedServer& DataReceive(int limit) { return Push(Op::DataReceive, {}, limit); }
    ScriptedServer& Reset() { return Push(Op::Close, {}, 1); } // the control connection
    ScriptedServer& Close() { return Push(Op::Close); }        // an orderly end of it
    ScriptedServer& WaitForClose() { return Push(Op::Drain); } // until the client closes
    // The usual greeting and log-in answers: 220, 331, 230, HELP, SYST, PWD.
    ScriptedServer& Login(const QByteArray& systemAnswer = "215 UNIX Type: L8",
                          const QByteArray& pwdAnswer = "257 \"/\" is the current directory");

    void Start();
    int port() const { return port_; }
    // Ends the script (waits for it, bounded) and gives the command lines received.
    QList<QByteArray> Commands() { return Join(), commands_; }
    bool Accepted() const { return accepted_; } // the control connection came in
    int Heard() const { return heard_; }        // command lines read so far

private:
    enum class Op { Send, Expect, Pause, Pasv, DataSend, DataHold, DataReceive, Close, Drain };
    struct Step {
        Op op;
        QByteArray bytes;
        int number = 0;
    };
    ScriptedServer& Push(Op op, const QByteArray& bytes = {}, int number = 0);
    void Run();
    void Join(); // after it nothing else touches the results
    bool ReadLine(QByteArray& line);
    int AcceptData();

    std::vector<Step> steps_;
    int listener_ = -1;
    int control_ = -1;
    int dataListener_ = -1;
    int held_ = -1; // a stalled data connection, closed when the script ends
    int port_ = 0;
    QByteArray pending_;
    std::thread thread_;
    QList<QByteArray> commands_;
    std::atomic<bool> accepted_{false};
    std::atomic<int> heard_{0};
    std::atomic<bool> stop_{false};
};

} // namespace velmar::test
