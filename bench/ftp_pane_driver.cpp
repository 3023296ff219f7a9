// Drives a pane's FTP connection for the benchmarks, anonymous log-in on HOST:PORT.
//   ftp_pane_driver list curl|own HOST PORT FOLDER   one listing thread filling a pane's model,
//                                                    until the last batch is in and the
//                                                    thread's done flag is set
//   ftp_pane_driver get  HOST PORT REMOTE LOCAL      one libcurl download into a local file
// Server paths are absolute.
#include "filemgr/PaneModel.h"
#include "platform/NameCodec.h"
#include "FtpDriverSupport.h"
#include "sources/InetFtpDirSource.h"
#include "sources/ListingThread.h"

#include <QCoreApplication>
#include <QEvent>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <thread>

namespace {

QString Arg(const char* arg) {
    return velmar::platform::DecodeName(std::string_view(arg));
}

// Stands in for the pane: takes over what the listing thread posts into the pane's model,
// as the pane does, and learns the listing's end after the last batch.
class Receiver : public QObject {
public:
    explicit Receiver(velmar::ListingJob& j) : job(j) {
        model.InsertRow(0, velmar::PaneRow::Parent());
    }
    bool event(QEvent* e) override {
        const QEvent::Type type = velmar::ReceivedType(e);
        if (type == velmar::EntryEventType()) {
            auto* batch = static_cast<velmar::EntryPostedEvent*>(e);
            job.TookBatch();
            model.InsertEntries(batch->rows, batch->first);
        } else if (type == velmar::ListingDoneEventType() ||
                   type == velmar::ListingFailedEventType()) {
            ended = true;
        }
        return true;
    }
    velmar::ListingJob& job;
    velmar::CPaneModel model;
    bool ended = false;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    using namespace velmar;
    if (argc >= 6 && std::strcmp(argv[1], "list") == 0) {
        const bool own = std::strcmp(argv[2], "own") == 0;
        const FtpLogin login{Arg(argv[3]), std::atoi(argv[4]), {}, {}};
        RegisterInetFtpDirSource();
        std::unique_ptr<FtpConnection> connection;
        ListingJob job;
        Receiver pane(job);
        job.pane = &pane;
        job.sourceKind = kSourceFtp;
        bool failed = false;
        job.connect = [&](QString& text) {
            FtpStatusInfo status;
            connection = ConnectFtp(own, login, {}, status);
            text = status.text;
            failed = !connection;
            return !failed;
        };
        job.attach = [&](DirSource& s) {
            static_cast<InetFtpDirSource&>(s).SetConnection(connection.get(), &job.stop);
        };
        QString folder = Arg(argv[5]);
        if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
        StartListing(job, folder + QStringLiteral("*.*"));
        // The pane's thread sleeps in its event loop and takes each batch as it comes, until
        // the pane is filled.
        while (!pane.ended)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        while (!job.done.load())
            std::this_thread::yield();
        const int entries = pane.model.size() - 1;
        std::fprintf(stderr, "%d entries\n", entries);
        return failed || entries == 0 ? 1 : 0;
    }
    if (argc >= 6 && std::strcmp(argv[1], "get") == 0) {
        const FtpLogin login{Arg(argv[2]), std::atoi(argv[3]), {}, {}};
        return bench::DownloadOnce(login, Arg(argv[4]), Arg(argv[5]));
    }
    std::fprintf(stderr, "usage: ftp_pane_driver list curl|own HOST PORT FOLDER | get HOST PORT "
                         "REMOTE LOCAL\n");
    return 2;
}
