#pragma once
// What the FTP bench drivers share: one download as a pane copies a file into its folder.

#include "ftp/FtpConnection.h"

#include <cstdio>

namespace velmar::bench {

// Logs in through libcurl and downloads `remote` into `local`; 0, or 1 with the failure on
// standard error.
inline int DownloadOnce(const FtpLogin& login, const QString& remote, const QString& local) {
    FtpStatusInfo status;
    auto connection = ConnectFtp(false, login, {}, status);
    if (!connection) {
        std::fprintf(stderr, "log-in failed: %s\n", status.text.toUtf8().constData());
        return 1;
    }
    std::atomic<int> running{1};
    std::atomic<uint64_t> counter{0};
    if (!connection->ReadFileTo(remote, local, &running, &counter)) {
        std::fprintf(stderr, "%s\n", connection->LastStatus().text.toUtf8().constData());
        return 1;
    }
    return 0;
}

} // namespace velmar::bench
