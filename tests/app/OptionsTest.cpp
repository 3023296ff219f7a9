// The command line: options, the folders the panes start in, and --help/--version being
// found before the windowing system starts.
#include "app/Options.h"
#include "app/VelmarApp.h"
#include "filemgr/MainFrame.h"
#include "filemgr/PaneList.h"
#include "support/Gui.h"
#include "support/MessageScript.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace velmar;

namespace {

// The parse of `args` (after the program name) in words: "help", "version", the mode when it
// is not the file manager, then the folders; or those flags and "error: " with the message.
QString Parsed(const char* args) {
    const QStringList given = QString::fromLatin1(args).split(' ', Qt::SkipEmptyParts);
    const ProgramOptions o = ParseOptions(QStringList{"velmar"} + given);
    QStringList words;
    if (o.help) words << "help";
    if (o.version) words << "version";
    if (o.mode != ids::kResFileManager)
        words << (o.mode == ids::kResTelnet ? "telnet" : o.mode == ids::kResGame ? "game" : "?");
    if (!o.error.isEmpty()) return (words << "error: " + o.error).join(' ');
    return (words + o.folders).join(' ');
}

} // namespace

TEST(Options, ParseTakesFoldersOptionsModesAndRefusesWhatItDoesNotKnow) {
    // An expected error names a part of the message.
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"/srv", "/srv"},
        {"left --size 900x700 right", "left right"},
        {"a b c", "error: too many folders"},
        {"-- -odd --help", "-odd --help"},
        {"-", "-"},
        {"--help", "help"},
        {"-h --version", "help version"},
        {"--bogus /srv", "error: unknown option --bogus"},
        {"--size", "error: --size needs a value"},
        {"--size wide", "error: WIDTHxHEIGHT"},
        {"--mode telnet", "telnet"},
        {"--mode game /srv", "game /srv"},
        {"--mode chess", "error: not chess"},
        {"--mode", "error: --mode wants"},
    };
    for (const auto& [args, expected] : cases) {
        SCOPED_TRACE(args);
        const QString got = Parsed(args);
        const QString want = QString::fromLatin1(expected);
        if (want.startsWith("error: "))
            EXPECT_TRUE(got.startsWith("error: ") && got.contains(want.mid(7))) << qPrintable(got);
        else
            EXPECT_EQ(got, want);
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
    // The argument, the working folder, and the pane's folder with the row to focus after a
    // blank ("refused": an error).
    const std::tuple<QString, QString, QString> cases[] = {
        {root + "/work", "/", root + "/work/"},
        {root + "/work/", "/", root + "/work/"},
        {"work", root, root + "/work/"},
        {"../other", root + "/work", root + "/other/"},
        {".", root + "/work", root + "/work/"},
        {"/", root, "/"},
        {"work/notes.txt", root, root + "/work/ notes.txt"},
        {root + "/missing", "/", "refused"},
        {"notes.txt", root, "refused"}, // relative to the working folder, not a pane's
        {{}, root, "refused"},
    };
    for (const auto& [arg, cwd, expected] : cases) {
        const StartFolder s = ResolveStartFolder(arg, cwd);
        const QString got = s.error.isEmpty() ? (s.folder + ' ' + s.focus).trimmed() : "refused";
        EXPECT_EQ(got, expected) << qPrintable(arg);
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
            ASSERT_TRUE(test::WaitFor([&] { return !pane->controller().IsListing(); }));
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
