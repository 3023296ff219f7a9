// The pane's work with the listing thread: entries posted, stale ones dropped, a stale
// refusal ignored, a stop that returns while the thread is blocked; the copy worker's questions.
#include "PaneTestSupport.h"
#include "filemgr/FileCommands.h"
#include "sources/ListingThread.h"
#include "support/FtpServer.h"

#include <QAbstractItemModelTester>
#include <memory>
#include <thread>

using namespace velmar;
using namespace velmar::test;

using PaneThreadTest = PaneFolderTest;

namespace {
// A server's answer as it arrives: more files than two batches, named after the folder
// ("old-0250", ...), a folder among them, "." and a last folder. Files come in falling name
// order, so that only the arrival order fits.
class ArrivingSource : public DirSource {
public:
    static constexpr int files = 2 * kEntryBatchSize + 5;
    bool Open(const QString& path) override {
        mask = path;
        tag_ = path.section(QLatin1Char('/'), 1, 1);
        return true;
    }
    EntryKind Next(FindRecord&) override { return kEntryEnd; }
    PushResult Push(const Take& take, const std::function<void()>&) override {
        for (int i = files; i >= 1; --i) {
            if (i == 100) Give(take, "d1", true);
            if (i == 50) Give(take, ".", true);
            Give(take, tag_ + QString::asprintf("-%04d", i), false);
        }
        Give(take, "d2", true);
        return PushResult::Done;
    }
    // The rows a pane shows for folder `tag`.
    static QStringList Rows(const QString& tag) {
        QStringList rows{"..", "d1", "d2"};
        for (int i = files; i >= 1; --i)
            rows.append(tag + QString::asprintf("-%04d", i));
        return rows;
    }

private:
    static void Give(const Take& take, const QString& name, bool folder) {
        FindRecord r;
        r.name = name;
        if (folder) r.attributes = attr::Directory;
        take(r, folder ? kEntryFolder : kEntryFile);
    }
    QString tag_;
};
} // namespace

// Batches of a listing the user has left never reach the pane. Folders that arrive after
// files already shown still land ahead of them, each kind in its order of arrival; the cursor
// kept on a refill finds a folder that came that way.
TEST_F(PaneThreadTest, FtpEntriesArriveInOrderFoldersFirstAndAStaleListingsAreDropped) {
    RegisterDirSourceFactory(kSourceFtp,
                             [] { return std::unique_ptr<DirSource>(new ArrivingSource); });
    PaneWindow w;
    PaneController& pane = w.left->controller();
    QAbstractItemModelTester tester(w.left->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    pane.setSourceKind(kSourceFtp);
    pane.setFtpHost("arriving");
    // The first listing has batches queued for the pane (and waits to post more)...
    pane.setCurrentPath("/old/");
    pane.RefillPane();
    while (pane.listingJob().inFlight.load() < kEntryBatchesInFlight)
        QThread::msleep(1);
    // ...when the user opens another folder: none of them may reach its list.
    pane.setCurrentPath("/new/");
    pane.RefillPane();
    WaitListed(pane);
    EXPECT_EQ(Names(pane), ArrivingSource::Rows("new"));
    pane.SelectAndFocus(2);
    pane.RefillPane();
    WaitListed(pane);
    EXPECT_EQ(Names(pane), ArrivingSource::Rows("new"));
    EXPECT_EQ(FocusedName(pane), "d2");
    RegisterDirSourceFactory(kSourceFtp, nullptr);
}

// A refused connection's report still in the queue when the user opens another server; the
// tool bar asking for command states every 500 ms while the listing thread connects (they come
// from what the window's thread was told, never from the connection being made: ThreadSanitizer
// watches this); closing the pane while the server never greets.
TEST_F(PaneThreadTest, WhileTheListingThreadConnects) {
    ScriptedServer silent; // accepts, and never greets
    silent.WaitForClose();
    silent.Start();
    auto w = std::make_unique<PaneWindow>();
    PaneController& pane = w->left->controller();
    ConnectWithoutTimeOut(pane, FreePort(), true);
    while (!pane.listingJob().done.load())
        QThread::msleep(1);
    ConnectWithoutTimeOut(pane, silent.port(), true);
    ASSERT_TRUE(WaitFor([&] { return silent.Accepted(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(pane.sourceKind(), kSourceFtp) << "thrown back by the stale refusal";
    // The parent row is there at once, with the server's address in the path field.
    pane.SelectAndFocus(0);
    EXPECT_TRUE(pane.IsParentRow(0));
    EXPECT_EQ(w->host.pathTexts.last(), QString("ftp://127.0.0.1:%1/..").arg(silent.port()));
    w->right->controller().SelectAndFocus(w->right->controller().RowCount() - 1);
    for (int i = 0; i < 20; ++i) {
        EXPECT_FALSE(Enabled(*w->left, ids::kCmdNewDir));
        EXPECT_FALSE(Enabled(*w->right, ids::kCmdCopy)) << "no copy into a pane still connecting";
        QThread::msleep(2);
    }
    EXPECT_EQ(pane.ftpState(), FtpState::Connecting);
    // The stop ends the wait for the greeting (or, when it comes as the accept is still
    // reaching the client, for the connect) at once, not after the time-out.
    QDeadlineTimer bound(60000);
    w.reset();
    EXPECT_FALSE(bound.hasExpired());
}

// Questions of the copy worker: asked from its thread, shown on the interface thread, and
// given up (as No) once the job stops, so closing the progress dialog never waits on them.
TEST(SeamMessages, WorkerQuestionsAreAnsweredOnTheInterfaceThread) {
    MessageScript script;
    script.answer(QMessageBox::Yes);
    std::atomic<int> running{1};
    SeamMessages messages(&running);
    std::atomic<int> answer{-1};
    std::thread worker([&] {
        answer = messages.Ask(QStringLiteral("File /x exist. Copy?")) ? 1 : 0;
        messages.Tell(QStringLiteral("failed"));
    });
    EXPECT_TRUE(WaitFor([&] { return script.shown.size() == 2; }));
    worker.join();
    EXPECT_EQ(answer.load(), 1);
    EXPECT_EQ(script.shown, (QStringList{"File /x exist. Copy?", "failed"}));

    // A stopped job's question is not waited for and, never shown, counts as No.
    running.store(0);
    std::thread stopped([&] { answer = messages.Ask(QStringLiteral("late")) ? 1 : 0; });
    stopped.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(answer.load(), 0);
    EXPECT_EQ(script.shown.size(), 2);
}
