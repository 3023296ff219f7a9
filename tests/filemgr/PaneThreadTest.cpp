// The pane's work with the listing thread: entries posted, stale ones dropped, a stale
// refusal ignored, a stop that returns while the thread is blocked.
#include "PaneTestSupport.h"
#include "ftp/client/FtpClient.h"
#include "res/Ids.h"
#include "sources/ListingThread.h"
#include "support/FtpServer.h"

#include <QAbstractItemModelTester>
#include <climits>
#include <gtest/gtest.h>
#include <memory>

using namespace velmar;
using namespace velmar::test;

using PaneThreadTest = PaneFolderTest;

namespace {
// A server folder of `count` files named after the folder: "old-0001", ...
class NumberedSource : public DirSource {
public:
    static constexpr int count = 2 * kEntryBatchSize + 5;
    bool Open(const QString& path) override {
        mask = path;
        tag_ = path.section(QLatin1Char('/'), 1, 1);
        return true;
    }
    EntryKind Next(FindRecord& out) override {
        if (next_ > count) return kEntryEnd;
        out = FindRecord{};
        out.name = QStringLiteral("%1-%2").arg(tag_).arg(next_++, 4, 10, QLatin1Char('0'));
        return kEntryFile;
    }

private:
    QString tag_;
    int next_ = 1;
};
} // namespace

TEST_F(PaneThreadTest, FtpListingBatchesLandInOrderAndAStaleListingsBatchesAreDropped) {
    RegisterDirSourceFactory(kSourceFtp,
                             [] { return std::unique_ptr<DirSource>(new NumberedSource); });
    PaneWindow w;
    CPaneList& pane = *w.left;
    QAbstractItemModelTester tester(pane.model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    pane.controller().setSourceKind(kSourceFtp);
    pane.controller().setFtpHost("numbers");
    // The first listing has batches queued for the pane (and waits to post more)...
    pane.controller().setCurrentPath("/old/");
    pane.controller().RefillPane();
    while (pane.controller().listingJob().inFlight.load() < kEntryBatchesInFlight)
        QThread::msleep(1);
    // ...when the user opens another folder: none of them may reach its list.
    pane.controller().setCurrentPath("/new/");
    pane.controller().RefillPane();
    ASSERT_TRUE(WaitFor([&] {
        return pane.controller().listingJob().done.load() &&
               pane.controller().RowCount() >= NumberedSource::count + 1;
    }));
    QCoreApplication::processEvents();
    QStringList expected{".."};
    for (int i = 1; i <= NumberedSource::count; ++i)
        expected.append(QStringLiteral("new-%1").arg(i, 4, 10, QLatin1Char('0')));
    EXPECT_EQ(Names(pane), expected);
    RegisterDirSourceFactory(kSourceFtp, nullptr);
}

namespace {
// The listing after the connect is not the point here.
class EmptySource : public DirSource {
public:
    bool Open(const QString&) override { return true; }
    EntryKind Next(FindRecord&) override { return kEntryEnd; }
};
} // namespace

TEST_F(PaneThreadTest, StopEndsAListingBlockedOnASilentServer) {
    // Time-outs at their largest: only the stop can end the waits below.
    WriteStoreSetting("ConnectTimeout", INT_MAX);
    WriteStoreSetting("RecieveTimeout", INT_MAX);
    RegisterDirSourceFactory(kSourceFtp,
                             [] { return std::unique_ptr<DirSource>(new EmptySource); });
    ScriptedServer silent; // accepts, and never answers
    silent.WaitForClose();
    silent.Start();
    std::atomic<int> port{FreePort()};
    std::atomic<FtpResult> status{FtpResult::Ok};
    auto w = std::make_unique<PaneWindow>();
    CPaneList& pane = *w->left;
    pane.controller().listingJob().connect = [&](QString&) {
        ftp::FtpClient client;
        const bool ok = client.Connect(QStringLiteral("127.0.0.1"), {}, {}, port);
        status = client.Result();
        return ok;
    };
    // The first connection is refused; its report waits in the queue...
    pane.controller().setSourceKind(kSourceFtp);
    pane.controller().setFtpHost("refused");
    pane.controller().RefillPane();
    while (!pane.controller().listingJob().done.load())
        QThread::msleep(1);
    // ...while the user opens another server, which must not be thrown back to the root.
    port = silent.port();
    pane.controller().setFtpHost("silent");
    pane.controller().setCurrentPath("/pub/");
    pane.controller().RefillPane();
    ASSERT_TRUE(WaitFor([&] { return silent.Accepted(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(pane.controller().sourceKind(), kSourceFtp);
    EXPECT_EQ(pane.controller().currentPath(), "/pub/");
    // Closing the pane stops the listing thread, blocked on the greeting or, when the stop
    // comes as the server's accept is still reaching the client, on finishing its connect.
    w.reset();
    EXPECT_EQ(status.load(), FtpResult::Cancelled);
    RegisterDirSourceFactory(kSourceFtp, nullptr);
    ResetPaneSettings();
}

// The tool bar asks for command states every 500 ms while the listing thread connects: the
// states come from what the window's thread was told, never from the connection the thread
// is making (ThreadSanitizer watches this one).
TEST_F(PaneThreadTest, CommandStatesWhileTheListingThreadConnects) {
    ScriptedServer silent; // accepts, and never greets
    silent.WaitForClose();
    silent.Start();
    auto w = std::make_unique<PaneWindow>();
    PaneController& pane = w->left->controller();
    FtpOptions slow;
    slow.connectMs = slow.receiveMs = 600000;
    pane.ConnectTo(FtpLogin{"127.0.0.1", silent.port(), "user", "secret"}, true, slow);
    ASSERT_TRUE(WaitFor([&] { return silent.Accepted(); }));
    // The parent row is there at once, with the server's address in the path field.
    pane.SelectAndFocus(0);
    EXPECT_TRUE(pane.IsParentRow(0));
    EXPECT_EQ(w->host.pathTexts.last(), QString("ftp://127.0.0.1:%1/..").arg(silent.port()));
    w->right->controller().SelectAndFocus(w->right->controller().RowCount() - 1);
    for (int i = 0; i < 20; ++i) {
        CommandState newDir, copyThere;
        w->left->OnUpdateCommand(ids::kCmdNewDir, newDir);
        w->right->OnUpdateCommand(ids::kCmdCopy, copyThere);
        EXPECT_FALSE(newDir.enabled);
        EXPECT_FALSE(copyThere.enabled) << "no copy into a pane still connecting";
        QThread::msleep(2);
    }
    EXPECT_EQ(pane.ftpState(), FtpState::Connecting);
    w.reset(); // the stop ends the wait for the greeting at once
}
