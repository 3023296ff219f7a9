// An FTP pane in the real window against real servers: rename through the side, the
// connect a command makes beside the window, leaving the server for a typed local folder.
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

namespace {

FtpLogin LoginOf(const PyFtpServer& server) {
    return {QStringLiteral("127.0.0.1"), server.port(), PyFtpServer::kUser, PyFtpServer::kPassword};
}

// Connects the pane and waits until the server's root is listed.
void ConnectAndList(CPaneList& pane, const FtpLogin& login, bool own) {
    pane.controller().ConnectTo(login, own, FtpOptions{});
    ASSERT_TRUE(WaitFor([&] {
        return pane.controller().ftpState() == FtpState::Connected &&
               !pane.controller().IsListing();
    })) << "never listed";
}

const QString kCannot = QStringLiteral("Can't rename file.");

} // namespace

// Rename on a server: RNFR/RNTO through the pane's side, for files and folders, never over a
// listed name, names that would climb or break the command refused before the question. (The
// rename of each back end: the side contract.)
TEST(PaneFtp, RenameActsOnTheServer) {
    ResetPaneSettings();
    PyFtpServer server;
    ASSERT_TRUE(server.ok()) << server.error().toStdString();
    server.home().write("old.txt", "content");
    server.home().write("taken.txt", "other");
    server.home().mkdir("dir");
    PaneWindow w;
    CPaneList& pane = *w.left;
    ConnectAndList(pane, LoginOf(server), false);
    MessageScript script;

    pane.controller().SelectAndFocus(pane.controller().FindRow("old.txt"));
    CommandState state;
    ASSERT_TRUE(pane.OnUpdateCommand(ids::kCmdRename, state));
    EXPECT_TRUE(state.enabled) << "Rename is offered on a server row";

    const struct {
        const char* from;
        QString to;
        bool renamed;
        bool asked; // refused names are told before any question
    } kCases[] = {
        {"old.txt", "new.txt", true, true},
        {"new.txt", "taken.txt", false, true}, // a listed name is never replaced
        {"dir", "folder", true, true},
        {"new.txt", "..\\up.txt", false, false}, // a backslash travels as a slash
        {"new.txt", "a\r\nDELE taken.txt", false, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.to.toStdString());
        script.shown.clear();
        script.answer(QMessageBox::Yes);
        const int row = pane.controller().FindRow(c.from);
        ASSERT_GE(row, 0);
        EXPECT_EQ(pane.EndLabelEdit(row, c.to), c.renamed);
        w.WaitListed();
        ASSERT_TRUE(WaitFor([&] { return !pane.controller().IsListing(); }));
        if (!c.asked) script.answers.clear();
        EXPECT_EQ(script.shown.size(), c.asked && !c.renamed ? 2 : 1)
            << script.shown.join(" | ").toStdString();
        if (!c.renamed) EXPECT_EQ(script.shown.last(), kCannot);
        EXPECT_EQ(QFileInfo::exists(server.home().file(c.to)), c.renamed || c.to == "taken.txt");
        EXPECT_EQ(QFileInfo::exists(server.home().file(c.from)), !c.renamed);
        EXPECT_NE(pane.controller().FindRow(c.renamed ? c.to : QString(c.from)), -1);
    }
    EXPECT_EQ(ReadAll(server.home().file("new.txt")), "content");
    EXPECT_EQ(ReadAll(server.home().file("taken.txt")), "other");
    EXPECT_TRUE(QFileInfo(server.home().file("folder")).isDir());
    EXPECT_FALSE(QFileInfo::exists(server.home().path() + "/../up.txt"));
    EXPECT_EQ(pane.controller().sourceKind(), kSourceFtp);
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
