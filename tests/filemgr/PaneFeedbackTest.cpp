// What the user is told: a slow listing shows it is busy, a launch that cannot happen says
// why, F1 without a browser says so, a folder moved by a rename is counted. An FTP pane against
// scripted servers: the connect a command makes beside the window, leaving the server for a
// typed local folder. (Rename on a server: RenameTest.)
#include "PaneTestSupport.h"
#include "filemgr/MainFrame.h"
#include "filemgr/PathBar.h"
#include "support/FtpServer.h"
#include "support/TransferFixture.h"

#include <QTimer>

using namespace velmar;
using namespace velmar::test;

// Presses Esc in `pane` every `ms` while `timer` runs.
static void PressEscEvery(QTimer& timer, CPaneList& pane, int ms) {
    QObject::connect(&timer, &QTimer::timeout, &pane,
                     [&pane] { QTest::keyClick(&pane, Qt::Key_Escape); });
    timer.start(ms);
}

// A server whose listing stalls after one line: the pane keeps its busy cursor and, after a
// moment, says it is listing; Esc ends both. A quick local listing leaves neither behind.
TEST(PaneFeedback, ASlowListingSaysItIsBusyUntilItEnds) {
    ResetPaneSettings();
    ScriptedServer server; // our client's log-in, then a listing that never ends
    server.Login().Answer("250 CWD fine").Pasv().Answer("150 Here it comes");
    server.DataHold("-rw-r--r-- 1 u g 5 Jan 01 2020 first.txt\r\n").WaitForClose();
    server.Start();
    PaneWindow w;
    CPaneList& pane = *w.left;
    EXPECT_FALSE(pane.listingNote()->isVisibleTo(&pane)) << "a quick listing shows no note";
    EXPECT_FALSE(pane.viewport()->testAttribute(Qt::WA_SetCursor));
    w.Focus(&pane);
    ConnectWithoutTimeOut(pane.controller(), server.port(), true);
    ASSERT_TRUE(WaitFor([&] { return pane.listingNote()->isVisible(); }));
    EXPECT_EQ(pane.viewport()->cursor().shape(), Qt::BusyCursor);
    ASSERT_TRUE(WaitFor([&] { return pane.listingNote()->text().startsWith("Listing... "); }))
        << pane.listingNote()->text().toStdString();
    QTest::keyClick(&pane, Qt::Key_Escape);
    EXPECT_FALSE(pane.controller().IsListing());
    EXPECT_FALSE(pane.listingNote()->isVisible());
    EXPECT_FALSE(pane.viewport()->testAttribute(Qt::WA_SetCursor));
    EXPECT_EQ(pane.controller().sourceKind(), kSourceFtp);
}

// Enter in the path field on what cannot be launched says why; what can is launched unasked.
TEST(PaneFeedback, PathFieldTellsWhatCannotBeLaunched) {
    TempDir dir;
    const QString unknown = dir.write("notes.qqqzz", "x");
    const QString program = dir.write("tool", "#!/bin/sh\n");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    std::atomic<int> launched{0};
    SetLauncherForTesting([&](const LaunchPlan&) { ++launched; });
    PathBar bar;
    // The text entered and what the user is told (empty: launched, nothing told).
    using Row = std::tuple<QString, QString>;
    const Row kCases[] = {
        {dir.file("no-such-program") + " --x", dir.file("no-such-program") + " was not found."},
        {unknown, "No application opens " + unknown + "."},
        {program + " -v", ""},
    };
    for (const auto& [text, told] : kCases) {
        SCOPED_TRACE(text.toStdString());
        MessageScript script;
        const int before = launched.load();
        bar.setText(text);
        QTest::keyClick(&bar, Qt::Key_Return);
        ASSERT_TRUE(WaitFor([&] { return !script.shown.isEmpty() || launched.load() > before; }));
        WaitForLaunches();
        QCoreApplication::processEvents();
        EXPECT_EQ(script.shown, told.isEmpty() ? QStringList() : QStringList{told});
        EXPECT_EQ(launched.load() - before, told.isEmpty() ? 1 : 0);
    }
    SetLauncherForTesting(nullptr);
}

// F1 without a browser to start tells the user where the manual is. (With one: the framework's
// help test.)
TEST(PaneFeedback, HelpWithoutABrowserSaysSo) {
    ResetPaneSettings();
    CVelmarDoc doc;
    CMainFrame frame(&doc);
    UrlRecorder urls;
    urls.answer = false;
    MessageScript script;
    EXPECT_TRUE(frame.OnCommand(ids::kCmdHelp));
    ASSERT_EQ(urls.opened.size(), 1u);
    EXPECT_EQ(script.shown, QStringList{"No web browser could be started to show the manual.\n" +
                                        urls.opened[0].toLocalFile()});
}

using FolderMove = TransferFixture<>;
TEST_F(FolderMove, ByARenameCountsItsFiles) {
    dir.write("A/one", "1");
    dir.write("A/two", "2");
    dir.write("A/sub/three", "3");
    dir.mkdir("A/empty");
    dir.write("outside/not-counted", "x");
    QFile::link(dir.file("outside"), dir.file("A/link"));
    Prepare(false, dir.path(), dir.mkdir("B"), {FolderItem("A")});
    RunTransfer(job);
    EXPECT_TRUE(user.told.isEmpty()) << user.told.join(" | ").toStdString();
    EXPECT_TRUE(QFileInfo::exists(dir.file("B/A/sub/three")));
    EXPECT_FALSE(QFileInfo::exists(dir.file("A")));
    EXPECT_EQ(job.progress.files.load(), 4);
}

// A server that accepts and never greets: the connect Search files makes for a pane without a
// connection runs beside the window, and Esc ends it at once (not after the 10-minute
// time-out) through either back end; the pane stays on the server and nothing is told.
TEST(PaneFtp, SearchConnectToASilentServerEndsOnEsc) {
    ResetPaneSettings();
    for (const bool own : {false, true}) {
        SCOPED_TRACE(own ? "own client" : "libcurl");
        ScriptedServer silent;
        silent.WaitForClose();
        silent.Start();
        PaneWindow w;
        CPaneList& pane = *w.left;
        MessageScript script;
        ConnectWithoutTimeOut(pane.controller(), silent.port(), own);
        ASSERT_TRUE(WaitFor([&] { return silent.Accepted(); }));
        SetDialogHookForTesting([](QDialog* d) { d->accept(); });
        // Esc until the command returns: the first ones may come before the wait began.
        QTimer esc;
        PressEscEvery(esc, pane, 200);
        QDeadlineTimer bound(60000);
        ASSERT_TRUE(pane.OnCommand(ids::kCmdSearchFiles));
        esc.stop();
        SetDialogHookForTesting(nullptr);
        EXPECT_FALSE(bound.hasExpired()) << "the connect waited out its time-out";
        EXPECT_EQ(pane.controller().sourceKind(), kSourceFtp);
        EXPECT_EQ(pane.controller().ftpState(), FtpState::None);
        EXPECT_TRUE(script.shown.isEmpty()) << script.shown.join(" | ").toStdString();
    }
}

// Enter on a local folder in the path field while the pane is on a server: the pane logs out
// (QUIT reaches the server) and lists the folder; a server that never answers the QUIT holds
// the window only until Esc. (Our own client, whose clean-up watches the token; the log-out of
// each back end: the connection's tests.)
TEST(PaneFtp, GoingToALocalFolderLogsOutOfTheServer) {
    ResetPaneSettings();
    TempDir local;
    local.write("here.txt", "x");
    const QByteArray listing = "-rw-r--r-- 1 u g 5 Jan 01 2020 remote.txt\r\n";
    for (const bool answersQuit : {true, false}) {
        SCOPED_TRACE(answersQuit ? "QUIT answered" : "QUIT never answered");
        ScriptedServer server; // the log-in and one listing of the root
        server.Login().Answer("250 CWD fine").Pasv();
        server.Answer("150 Here it comes").DataSend(listing).Send("226 Done\r\n");
        if (answersQuit) server.Answer("221 Bye");
        server.WaitForClose();
        server.Start();
        PaneWindow w;
        CPaneList& pane = *w.left;
        MessageScript script;
        ConnectWithoutTimeOut(pane.controller(), server.port(), true);
        ASSERT_TRUE(WaitFor([&] { return pane.controller().FindRow("remote.txt") >= 0; }))
            << server.Commands().join(" ").toStdString();
        WaitListed(pane.controller());
        QTimer esc;
        if (!answersQuit) PressEscEvery(esc, pane, 300);
        pane.controller().GoToFolder(local.path());
        esc.stop();
        WaitListed(pane.controller());
        EXPECT_EQ(pane.controller().sourceKind(), kSourceLocal);
        EXPECT_EQ(pane.controller().ftpState(), FtpState::None);
        EXPECT_EQ(pane.controller().currentPath(), PanePath(local.path()));
        EXPECT_GE(pane.controller().FindRow("here.txt"), 0);
        const QList<QByteArray> commands = server.Commands();
        ASSERT_FALSE(commands.isEmpty());
        EXPECT_EQ(commands.last(), "QUIT");
        EXPECT_TRUE(script.shown.isEmpty()) << script.shown.join(" | ").toStdString();
    }
}
