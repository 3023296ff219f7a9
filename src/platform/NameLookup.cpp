#include "platform/NameLookup.h"

#include "platform/Cancel.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace velmar::platform {

namespace {

bool SystemResolve(const QByteArray& name, uint32_t& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.constData(), nullptr, &hints, &found) != 0 || !found) return false;
    sockaddr_in first{};
    std::memcpy(&first, found->ai_addr, sizeof first);
    ::freeaddrinfo(found);
    address = first.sin_addr.s_addr;
    return true;
}

std::mutex g_resolverLock;
NameResolver g_resolver; // empty: the system's

NameResolver CurrentResolver() {
    std::lock_guard<std::mutex> lock(g_resolverLock);
    return g_resolver ? g_resolver : NameResolver(SystemResolve);
}

// What the look-up thread hands back; shared, so that a caller who stopped waiting can
// leave it to the thread.
struct Answer {
    Answer() : ready(::eventfd(0, EFD_CLOEXEC)) {}
    ~Answer() {
        if (ready >= 0) ::close(ready);
    }
    int ready;
    bool ok = false;          // written before `ready` is signalled
    uint32_t address = 0;
};

} // namespace

bool LookUpIPv4(const QByteArray& name, uint32_t& address, bool* stopped) {
    if (stopped) *stopped = false;
    const NameResolver resolve = CurrentResolver();
    CancelToken* token = CurrentCancelToken();
    auto answer = std::make_shared<Answer>();
    if (!token || token->WakeHandle() < 0 || answer->ready < 0) return resolve(name, address);
    if (token->IsCancelled()) {
        if (stopped) *stopped = true;
        return false;
    }
    std::thread([answer, resolve, name] {
        uint32_t a = 0;
        answer->ok = resolve(name, a);
        answer->address = a;
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(answer->ready, &one, sizeof one);
    }).detach();
    pollfd fds[2] = {{answer->ready, POLLIN, 0}, {token->WakeHandle(), POLLIN, 0}};
    for (;;) {
        const int r = ::poll(fds, 2, -1);
        if (r < 0 && errno == EINTR) continue;
        if (fds[0].revents & POLLIN) {
            // The eventfd's read orders the thread's writes before ours.
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(answer->ready, &count, sizeof count);
            if (answer->ok) address = answer->address;
            return answer->ok;
        }
        if (stopped) *stopped = true;
        return false;
    }
}

void SetNameResolverForTesting(NameResolver resolver) {
    std::lock_guard<std::mutex> lock(g_resolverLock);
    g_resolver = std::move(resolver);
}

} // namespace velmar::platform
