// The application: start-up steps and their messages, modes kept in their frames, the
// application's commands, exit, the About box and its link, the program's options.
#include "app/AboutBox.h"
#include "app/HotStatic.h"
#include "app/Options.h"
#include "app/VelmarApp.h"
#include "filemgr/MainFrame.h"
#include "filemgr/PaneList.h"
#include "framework/Browser.h"
#include "framework/Dialogs.h"
#include "framework/DocTemplate.h"
#include "framework/Routing.h"
#include "res/Ids.h"
#include "support/Gui.h"
#include "support/MessageScript.h"
#include "support/TempDir.h"

#include <QLabel>
#include <gtest/gtest.h>

using namespace velmar;

namespace {

struct Fixture : ::testing::Test {
    test::MessageScript messages;
    int quits = 0;
    // The telnet mode opens its connect dialog when first shown: cancel it.
    Fixture() {
        SetDialogHookForTesting([](QDialog* d) { d->reject(); });
    }
    ~Fixture() override { SetDialogHookForTesting(nullptr); }
    CVelmarApp::System system(bool sockets = true, bool processes = true) {
        CVelmarApp::System s;
        s.socketsAvailable = [sockets] { return sockets; };
        s.processesReadable = [processes] { return processes; };
        s.quit = [this] { ++quits; };
        return s;
    }
};

// An application started as the program starts it.
struct Started : Fixture {
    CVelmarApp app{system()};
    void SetUp() override { ASSERT_TRUE(app.InitInstance()); }
};

} // namespace

using StartUp = Fixture;

TEST_F(StartUp, WithoutSocketsItEndsAndWithoutAProcessListItWarnsAndGoesOn) {
    {
        CVelmarApp app(system(false, true));
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(app.mainFrame(), nullptr);
    }
    CVelmarApp app(system(true, false));
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(messages.shown, (QStringList{"Windows sockets initialization failed.",
                                           "ToolHelp library not loaded"}));
    EXPECT_EQ(messages.kinds.front(), MessageKind::Plain);
    EXPECT_EQ(app.activeFrame(), app.mainFrame());
}

TEST_F(Started, TheMainWindowIsTheFileManagerWithTwoPanesOfOneDocument) {
    EXPECT_TRUE(messages.shown.isEmpty());
    CMainFrame* frame = app.mainFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("CE Velmar 1.1"));
    EXPECT_EQ(frame->firstPane()->document(), frame->secondPane()->document());
    EXPECT_EQ(app.fileManagerTemplate()->document()->views().size(), 2u);
    // The other modes are made on first use only.
    EXPECT_EQ(app.telnetTemplate()->frame(), nullptr);
    EXPECT_EQ(app.gameTemplate()->frame(), nullptr);

    // A --screenshot that cannot be saved says so (the package's test saves one per mode).
    test::TempDir dir;
    EXPECT_FALSE(SaveWindowShot(app.mainFrame(), dir.file(QStringLiteral("no/such/dir/x.png"))));
}

using Modes = Started;

TEST_F(Modes, TelnetTwiceMakesOneFrameAndEachModeIsKeptAsItWasLeft) {
    CMainFrame* fm = app.mainFrame();
    fm->show();
    CPaneList* first = fm->firstPane();
    CPaneList* second = fm->secondPane();
    fm->SetActivePane(second);

    ASSERT_TRUE(fm->RouteCommand(ids::kCmdTelnet));
    CFrame* telnet = app.telnetTemplate()->frame();
    ASSERT_NE(telnet, nullptr);
    EXPECT_EQ(ActiveFrame(), telnet);
    EXPECT_TRUE(telnet->isVisible());
    EXPECT_FALSE(fm->isVisible());
    EXPECT_EQ(telnet->commandBarId(), ids::kMenuTelnet);

    ASSERT_TRUE(telnet->RouteCommand(ids::kCmdTelnet));
    EXPECT_EQ(app.telnetTemplate()->frame(), telnet);

    ASSERT_TRUE(telnet->RouteCommand(ids::kCmdGame));
    CFrame* game = app.gameTemplate()->frame();
    ASSERT_NE(game, nullptr);
    EXPECT_EQ(game->commandBarId(), ids::kMenuGame);
    EXPECT_FALSE(telnet->isVisible());
    // Leaving deactivates the view of the frame left behind.
    EXPECT_EQ(telnet->activeView(), nullptr);

    ASSERT_TRUE(game->RouteCommand(ids::kCmdFileManager));
    EXPECT_EQ(app.activeFrame(), fm);
    EXPECT_TRUE(fm->isVisible());
    EXPECT_EQ(fm->firstPane(), first);
    EXPECT_EQ(fm->secondPane(), second);
    // Coming back makes the first view of the document the active one.
    EXPECT_EQ(fm->activeView(), static_cast<CView*>(first));

    ASSERT_TRUE(fm->RouteCommand(ids::kCmdTelnet));
    EXPECT_EQ(app.telnetTemplate()->frame(), telnet);
    EXPECT_NE(telnet->activeView(), nullptr);
}

TEST_F(Modes, ModeCommandsAreAlwaysEnabledAndToolsOnlyWhileRegistered) {
    CMainFrame* fm = app.mainFrame();
    CommandState s;
    // The modes, and the network and system tools start-up registers.
    for (int id :
         {ids::kCmdTelnet, ids::kCmdFileManager, ids::kCmdGame, ids::kCmdAbout, ids::kCmdExit,
          ids::kCmdPing, ids::kCmdWhois, ids::kCmdFinger, ids::kCmdSystemInfo})
        EXPECT_TRUE(fm->QueryCommand(id, s) && s.enabled) << id;
    app.RegisterTool(ids::kCmdPing, nullptr);
    EXPECT_FALSE(fm->QueryCommand(ids::kCmdPing, s));

    QWidget* owner = nullptr;
    app.RegisterTool(ids::kCmdPing, [&](QWidget* w) { owner = w; });
    EXPECT_TRUE(fm->QueryCommand(ids::kCmdPing, s) && s.enabled);
    EXPECT_TRUE(fm->RouteCommand(ids::kCmdPing));
    EXPECT_EQ(owner, fm);
}

TEST_F(Modes, ExitEndsTheLoopOnceAndLetsTheOtherModesGo) {
    app.mainFrame()->show();
    ASSERT_TRUE(app.mainFrame()->RouteCommand(ids::kCmdGame));
    CFrame* game = app.gameTemplate()->frame();
    // Exit chosen in the game frame's own menu.
    game->action(ids::kCmdExit)->trigger();
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(game->isVisible());
    EXPECT_FALSE(app.mainFrame()->isVisible());
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(app.gameTemplate(), nullptr);
    EXPECT_EQ(app.telnetTemplate(), nullptr);
    // A second exit (the window closing after the menu's exit) does nothing more.
    app.ExitInstance();
    EXPECT_EQ(quits, 1);
}

using About = Started;

TEST_F(About, TheBoxShowsNameVersionAndALinkToTheInstalledManual) {
    test::UrlRecorder urls;
    bool seen = false;
    SetDialogHookForTesting([&](QDialog* d) {
        EXPECT_EQ(ControlIdOf(d), ids::kDlgAbout);
        for (QLabel* l : d->findChildren<QLabel*>())
            seen = seen || l->text() == QLatin1String("CE Velmar 1.1");
        auto* link = FindControl<CHotStatic>(d, ids::kIdcAboutLink);
        ASSERT_NE(link, nullptr);
        EXPECT_TRUE(link->Click());
        d->accept();
    });
    EXPECT_TRUE(app.mainFrame()->RouteCommand(ids::kCmdAbout));
    SetDialogHookForTesting(nullptr);
    EXPECT_TRUE(seen);
    // No web site to link to; HelpFilePath() itself is checked with the frame's help request.
    EXPECT_EQ(urls.opened, std::vector{QUrl::fromLocalFile(HelpFilePath())});
}

TEST(HotStatic, OnlyWebAddressesOpenAndOnlyAnOpenedLinkTurnsVisited) {
    test::UrlRecorder urls;
    QWidget parent;
    // The text, the target (none: the text is), whether the browser starts, and whether the
    // link opened.
    const std::tuple<const char*, const char*, bool, bool> cases[] = {
        {"CE Velmar", nullptr, true, false},
        {"http://velmar.example.org/page", nullptr, true, true},
        {"our page", "https://velmar.example.org/", true, true},
        {"our page", "http://velmar.example.org/", false, false}};
    for (const auto& [text, target, browserStarts, opened] : cases) {
        CHotStatic link(&parent);
        link.setText(QString::fromLatin1(text));
        if (target) link.SetTarget(QString::fromLatin1(target));
        urls.answer = browserStarts;
        EXPECT_EQ(link.Click(), opened) << text;
        EXPECT_EQ(link.visited(), opened) << text;
        EXPECT_EQ(link.currentColor(), opened ? QColor(128, 0, 128) : QColor(0, 0, 255));
    }
    EXPECT_EQ(urls.opened, (std::vector<QUrl>{QUrl("http://velmar.example.org/page"),
                                              QUrl("https://velmar.example.org/"),
                                              QUrl("http://velmar.example.org/")}));
}
