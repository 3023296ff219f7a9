#pragma once
// A one-connection TCP server on 127.0.0.1 for whois and finger tests: it reads the
// question (up to CR LF), then plays its script, and keeps what it was asked. A real
// daemon can be put behind the accepted socket instead (Serve).

#include <QByteArray>
#include <arpa/inet.h>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace velmar::test {

class ScriptedServer {
public:
    struct Step {
        QByteArray bytes; // sent as one piece
        int pauseMs = 0;  // before sending it
    };
    // holdOpenMs: after the script, how long the connection stays open (silent server).
    ScriptedServer() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_, 4);
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~ScriptedServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        ::close(fd_);
    }
    int port() const { return port_; }

    // Answers one connection: reads the question, then the steps, then stays open for
    // holdOpenMs (until the client goes) and closes.
    void Play(std::vector<Step> steps, int holdOpenMs = 0) {
        Serve([this, steps, holdOpenMs](int c) {
            ReadQuestion(c);
            for (const Step& s : steps) {
                if (s.pauseMs) std::this_thread::sleep_for(std::chrono::milliseconds(s.pauseMs));
                ::send(c, s.bytes.constData(), size_t(s.bytes.size()), MSG_NOSIGNAL);
            }
            for (int waited = 0; waited < holdOpenMs && !stop_; waited += 20) {
                pollfd p{c, POLLIN, 0};
                char b;
                if (::poll(&p, 1, 20) > 0 && ::recv(c, &b, 1, MSG_DONTWAIT) == 0) break;
            }
        });
    }

    // Hands the accepted connection to `handler` on the server's thread.
    void Serve(std::function<void(int)> handler) {
        thread_ = std::thread([this, handler] {
            pollfd p{fd_, POLLIN, 0};
            while (!stop_ && ::poll(&p, 1, 20) == 0) {
            }
            if (stop_) return;
            const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) return;
            handler(c);
            ::close(c);
        });
    }

    QByteArray question() {
        std::lock_guard lock(mutex_);
        return question_;
    }

private:
    void ReadQuestion(int c) {
        QByteArray q;
        char b;
        while (!q.endsWith("\r\n") && ::recv(c, &b, 1, 0) == 1)
            q.append(b);
        std::lock_guard lock(mutex_);
        question_ = q;
    }

    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    QByteArray question_;
};

} // namespace velmar::test
