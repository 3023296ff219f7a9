// Preloaded into the program when it serves its window over VNC: any listening socket
// that asks for "every address" is bound to the loopback address instead.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <netinet/in.h>
#include <string.h>
#include <sys/socket.h>

int bind(int fd, const struct sockaddr* addr, socklen_t len) {
    static int (*real_bind)(int, const struct sockaddr*, socklen_t);
    if (!real_bind) real_bind = (int (*)(int, const struct sockaddr*, socklen_t))dlsym(RTLD_NEXT, "bind");
    if (addr && addr->sa_family == AF_INET && len >= sizeof(struct sockaddr_in)) {
        struct sockaddr_in a;
        memcpy(&a, addr, sizeof a);
        if (a.sin_addr.s_addr == htonl(INADDR_ANY)) a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return real_bind(fd, (struct sockaddr*)&a, sizeof a);
    }
    if (addr && addr->sa_family == AF_INET6 && len >= sizeof(struct sockaddr_in6)) {
        struct sockaddr_in6 a;
        memcpy(&a, addr, sizeof a);
        if (IN6_IS_ADDR_UNSPECIFIED(&a.sin6_addr)) {
            // A dual-stack socket: the IPv4-mapped loopback accepts 127.0.0.1 only.
            static const unsigned char mapped[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 127, 0, 0, 1};
            memcpy(&a.sin6_addr, mapped, 16);
        }
        return real_bind(fd, (struct sockaddr*)&a, sizeof a);
    }
    return real_bind(fd, addr, len);
}
