// An FTP pane in the real window against scripted servers: the connect a command makes beside
// the window, leaving the server for a typed local folder. (Rename on a server: RenameTest.)
#include "PaneTestSupport.h"
#include "framework/Dialogs.h"
#include "res/Ids.h"
#include "support/FtpServer.h"
#include "support/MessageScript.h"

#include <QFile>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace velmar;
using namespace velmar::test;

namespace {} // namespace

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
        FtpOptions slow;
        slow.connectMs = slow.receiveMs = 600000;
        pane.controller().ConnectTo({"127.0.0.1", silent.port(), "u", "p"}, own, slow);
        ASSERT_TRUE(WaitFor([&] { return silent.Accepted(); }));
        SetDialogHookForTesting([](QDialog* d) { d->accept(); });
        // Esc until the command returns: the first ones may come before the wait began.
        QTimer esc;
        QObject::connect(&esc, &QTimer::timeout, &pane,
                         [&] { QTest::keyClick(&pane, Qt::Key_Escape); });
        esc.start(200);
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
        FtpOptions slow;
        slow.connectMs = slow.receiveMs = 600000;
        pane.controller().ConnectTo({"127.0.0.1", server.port(), "u", "p"}, true, slow);
        ASSERT_TRUE(WaitFor([&] { return pane.controller().FindRow("remote.txt") >= 0; }))
            << server.Commands().join(" ").toStdString();
        WaitListed(pane.controller());
        QTimer esc;
        QObject::connect(&esc, &QTimer::timeout, &pane,
                         [&] { QTest::keyClick(&pane, Qt::Key_Escape); });
        if (!answersQuit) esc.start(300);
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
