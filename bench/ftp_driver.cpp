// Drives FtpClient for the FTP benchmarks, anonymous log-in on HOST:PORT.
//   ftp_driver get  HOST PORT REMOTE LOCAL      one download (Retrieve into a local file)
//   ftp_driver put  HOST PORT LOCAL REMOTE      one upload (Store from a local file)
//   ftp_driver many HOST PORT PREFIX FILE...    uploads each FILE as PREFIX+its name, one log-in
#include "ftp/client/FtpClient.h"
#include "platform/LocalFiles.h"
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

// As the file engine does it: the bytes go to a new file that replaces the target when whole.
bool Get(velmar::ftp::FtpClient& client, const QString& remote, const QString& local) {
    velmar::platform::ReplacingFile out;
    if (!out.Open(local, false)) return false;
    return client.Retrieve(remote,
                           [&out](const char* data, size_t size) { return out.Write(data, size); }) &&
           out.Commit();
}

bool Put(velmar::ftp::FtpClient& client, const QString& local, const QString& remote) {
    velmar::platform::InputFile in;
    if (!in.Open(local)) return false;
    return client.Store(remote, [&in](char* buffer, size_t capacity) {
        return in.Read(buffer, capacity);
    });
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
        ok = Get(*client, DecodeName(argv[4]), DecodeName(argv[5]));
    } else if (std::strcmp(argv[1], "put") == 0) {
        ok = Put(*client, DecodeName(argv[4]), DecodeName(argv[5]));
    } else if (std::strcmp(argv[1], "many") == 0) {
        const QString prefix = DecodeName(argv[4]);
        for (int i = 5; i < argc && ok; ++i) {
            const QString local = DecodeName(argv[i]);
            ok = Put(*client, local, prefix + QFileInfo(local).fileName());
        }
    } else {
        ok = false;
    }
    if (!ok) std::fprintf(stderr, "%s\n", client->StatusMessage().toUtf8().constData());
    client->Disconnect();
    return ok ? 0 : 1;
}
