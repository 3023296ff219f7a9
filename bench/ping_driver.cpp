// ping: N echo requests to 127.0.0.1 one after another through EchoSend, as a run of the
// "Ping" dialog sends them (one echo socket, 32 bytes, TTL 128). Prints the replies counted.
#include "platform/Echo.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    velmar::platform::IcmpEcho echo;
    if (!echo.Open()) {
        std::fprintf(stderr, "ping_driver: no echo socket (%d)\n", echo.LastError());
        return 1;
    }
    const uint32_t loopback = htonl(INADDR_LOOPBACK);
    char data[32] = {};
    velmar::platform::IpOptionInfo options;
    velmar::platform::EchoReply reply;
    int answered = 0;
    for (int i = 0; i < count; ++i)
        answered +=
            echo.EchoSend(loopback, data, sizeof data, &options, &reply, sizeof reply, 5000);
    std::printf("%d replies\n", answered);
    return answered == count ? 0 : 1;
}
