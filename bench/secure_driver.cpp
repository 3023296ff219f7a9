// Downloads one file over a secure connection for the benchmarks, as a pane copies it into
// its folder (ReadFileTo through the libcurl back end).
//   secure_driver ftps HOST PORT PIN REMOTE LOCAL    anonymous, explicit TLS, the certificate
//                                                    trusted by its SHA-256 (hex)
//   secure_driver sftp HOST PORT HOME REMOTE LOCAL   this user, HOME/.ssh's key and known_hosts
// Server paths are absolute.
#include "FtpDriverSupport.h"
#include "platform/NameCodec.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <string_view>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    using namespace velmar;
    const auto arg = [&](int i) { return platform::DecodeName(std::string_view(argv[i])); };
    if (argc < 7 || (std::strcmp(argv[1], "ftps") != 0 && std::strcmp(argv[1], "sftp") != 0)) {
        std::fprintf(stderr, "usage: secure_driver ftps|sftp HOST PORT PIN|HOME REMOTE LOCAL\n");
        return 2;
    }
    FtpLogin login;
    login.host = arg(2);
    login.port = std::atoi(argv[3]);
    if (std::strcmp(argv[1], "ftps") == 0) {
        login.protocol = FtpProtocol::FtpTls;
        login.pinnedCertificate = QByteArray(argv[4]);
    } else {
        login.protocol = FtpProtocol::Sftp;
        login.sshDir = arg(4) + QStringLiteral("/.ssh");
        login.knownHosts = login.sshDir + QStringLiteral("/known_hosts");
    }
    return bench::DownloadOnce(login, arg(5), arg(6));
}
