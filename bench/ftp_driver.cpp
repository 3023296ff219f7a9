// Drives FtpClient for the FTP benchmarks, anonymous log-in on HOST:PORT.
//   ftp_driver get  HOST PORT REMOTE LOCAL      one download (GetFile, image type)
//   ftp_driver put  HOST PORT LOCAL REMOTE      one upload (PutFile)
//   ftp_driver many HOST PORT PREFIX FILE...    uploads each FILE as PREFIX+its name, one log-in
#include "ftp/client/FtpClient.h"
#include "platform/NameCodec.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {
QString DecodeName(const char* arg) {
    return velmar::platform::DecodeName(std::string_view(arg));
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 6) {
        std::fprintf(stderr, "usage: ftp_driver get|put|many HOST PORT ARGS...\n");
        return 2;
    }
    const QString host = DecodeName(argv[2]);
    const int port = std::atoi(argv[3]);
    auto client = velmar::ftp::ConnectClient(host, port, {}, {});
    if (!client) {
        std::fprintf(stderr, "log-in failed\n");
        return 1;
    }
    bool ok = true;
    if (std::strcmp(argv[1], "get") == 0) {
        ok = client->GetFile(nullptr, nullptr, DecodeName(argv[4]), DecodeName(argv[5]), 0, true,
                             128, velmar::ftp::type::Image);
    } else if (std::strcmp(argv[1], "put") == 0) {
        ok = client->PutFile(nullptr, nullptr, DecodeName(argv[4]), DecodeName(argv[5]), 0);
    } else if (std::strcmp(argv[1], "many") == 0) {
        const QString prefix = DecodeName(argv[4]);
        for (int i = 5; i < argc && ok; ++i) {
            const QString local = DecodeName(argv[i]);
            ok = client->PutFile(nullptr, nullptr, local, prefix + QFileInfo(local).fileName(), 0);
        }
    } else {
        ok = false;
    }
    if (!ok) std::fprintf(stderr, "%s\n", client->StatusMessage().toUtf8().constData());
    client->Disconnect();
    return ok ? 0 : 1;
}
