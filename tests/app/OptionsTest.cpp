// The command line: options, the folders the panes start in, and --help/--version being
// found before the windowing system starts.
#include "app/Options.h"
#include "app/VelmarApp.h"
#include "filemgr/MainFrame.h"
#include "filemgr/PaneList.h"
#include "support/MessageScript.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <gtest/gtest.h>

using namespace velmar;

namespace {

struct ParseCase {
    QStringList args; // after the program name
    QStringList folders;
    bool help;
    bool version;
    QString error; // a part of the message, empty when none is expected
    int mode = ids::kResFileManager;
};

} // namespace

TEST(Options, ParseTakesFoldersOptionsModesAndRefusesWhatItDoesNotKnow) {
    const ParseCase cases[] = {
        {{}, {}, false, false, {}},
        {{"/srv"}, {"/srv"}, false, false, {}},
        {{"left", "--size", "900x700", "right"}, {"left", "right"}, false, false, {}},
        {{"a", "b", "c"}, {"a", "b"}, false, false, "too many folders"},
        {{"--", "-odd", "--help"}, {"-odd", "--help"}, false, false, {}},
        {{"-"}, {"-"}, false, false, {}},
        {{"--help"}, {}, true, false, {}},
        {{"-h", "--version"}, {}, true, true, {}},
        {{"--bogus", "/srv"}, {}, false, false, "unknown option --bogus"},
        {{"--size"}, {}, false, false, "--size needs a value"},
        {{"--size", "wide"}, {}, false, false, "WIDTHxHEIGHT"},
        {{"--mode", "telnet"}, {}, false, false, {}, ids::kResTelnet},
        {{"--mode", "game", "/srv"}, {"/srv"}, false, false, {}, ids::kResGame},
        {{"--mode", "chess"}, {}, false, false, "not chess"},
        {{"--mode"}, {}, false, false, "--mode wants"},
    };
    for (const ParseCase& c : cases) {
        const ProgramOptions o = ParseOptions(QStringList{"velmar"} + c.args);
        const QString what = c.args.join(' ');
        if (c.error.isEmpty()) {
            EXPECT_TRUE(o.error.isEmpty()) << qPrintable(what) << ": " << qPrintable(o.error);
            EXPECT_EQ(o.folders, c.folders) << qPrintable(what);
            EXPECT_EQ(o.mode, c.mode) << qPrintable(what);
        } else {
            EXPECT_TRUE(o.error.contains(c.error))
                << qPrintable(what) << ": " << qPrintable(o.error);
        }
        EXPECT_EQ(o.help, c.help) << qPrintable(what);
        EXPECT_EQ(o.version, c.version) << qPrintable(what);
    }
}

TEST(Options, HelpAndVersionAreFoundAmongQtsOptionsButNotAfterTheEndOfOptions) {
    EXPECT_EQ(FindInfoRequest({"velmar", "-platform", "offscreen", "--help"}), InfoRequest::Help);
    EXPECT_EQ(FindInfoRequest({"velmar", "/srv", "--version"}), InfoRequest::Version);
    EXPECT_EQ(FindInfoRequest({"velmar", "--", "--help"}), InfoRequest::None);
    EXPECT_EQ(FindInfoRequest({"velmar", "-help"}), InfoRequest::None);
    EXPECT_TRUE(UsageText(QStringLiteral("/usr/share/velmar/help/ce_velmar.htm"))
                    .contains(QStringLiteral("Manual: /usr/share/velmar/help/ce_velmar.htm\n")));
    EXPECT_FALSE(UsageText(QString()).contains(QStringLiteral("Manual:")));
}

TEST(Options, StartFoldersResolveAgainstTheWorkingFolderAndAFileGivesItsFolder) {
    test::TempDir dir;
    const QString root = dir.path();
    dir.write(QStringLiteral("work/notes.txt"), "x");
    dir.mkdir(QStringLiteral("other"));
    struct Case {
        QString arg;
        QString cwd;
        QString folder;
        QString focus;
        bool error;
    };
    const Case cases[] = {
        {root + "/work", "/", root + "/work/", {}, false},
        {root + "/work/", "/", root + "/work/", {}, false},
        {"work", root, root + "/work/", {}, false},
        {"../other", root + "/work", root + "/other/", {}, false},
        {".", root + "/work", root + "/work/", {}, false},
        {"/", root, "/", {}, false},
        {"work/notes.txt", root, root + "/work/", "notes.txt", false},
        {root + "/missing", "/", {}, {}, true},
        {"notes.txt", root, {}, {}, true}, // relative to the working folder, not a pane's
        {{}, root, {}, {}, true},
    };
    for (const Case& c : cases) {
        const StartFolder s = ResolveStartFolder(c.arg, c.cwd);
        EXPECT_EQ(s.error.isEmpty(), !c.error) << qPrintable(c.arg) << ": " << qPrintable(s.error);
        if (c.error) continue;
        EXPECT_EQ(s.folder, c.folder) << qPrintable(c.arg);
        EXPECT_EQ(s.focus, c.focus) << qPrintable(c.arg);
    }
}

TEST(Options, ThePanesStartInTheFoldersGivenAndTheRightOneAtTheRootWithoutASecond) {
    test::MessageScript messages;
    test::TempDir dir;
    dir.write(QStringLiteral("left/a.txt"), "a");
    dir.write(QStringLiteral("right/b.txt"), "b");
    dir.write(QStringLiteral("right/c.txt"), "c");
    CVelmarApp::System system;
    system.quit = [] {};
    {
        CVelmarApp app(system);
        ASSERT_TRUE(app.InitInstance());
        CMainFrame* frame = app.mainFrame();
        OpenStartFolders(frame, {ResolveStartFolder(QStringLiteral("left"), dir.path()),
                                 ResolveStartFolder(QStringLiteral("right/c.txt"), dir.path())});
        // The panes list beside the window: wait for their rows.
        for (CPaneList* pane : {frame->firstPane(), frame->secondPane()})
            for (QDeadlineTimer d(20000); pane->controller().IsListing() && !d.hasExpired();)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(frame->firstPane()->controller().currentPath(), dir.path() + "/left/");
        EXPECT_GE(frame->firstPane()->controller().FindRow(QStringLiteral("a.txt")), 0);
        CPaneList* right = frame->secondPane();
        EXPECT_EQ(right->controller().currentPath(), dir.path() + "/right/");
        EXPECT_EQ(right->controller().RowName(right->controller().FocusedRow()),
                  QStringLiteral("c.txt"));
    }
    CVelmarApp app(system);
    ASSERT_TRUE(app.InitInstance());
    OpenStartFolders(app.mainFrame(), {ResolveStartFolder(dir.path() + "/left", "/")});
    EXPECT_EQ(app.mainFrame()->firstPane()->controller().currentPath(), dir.path() + "/left/");
    EXPECT_EQ(app.mainFrame()->secondPane()->controller().currentPath(), QStringLiteral("/"));
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.shown.join('\n'));
}
