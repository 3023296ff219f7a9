// The launch rule decided on real files, and the launch thread started by opening a row.
#include "filemgr/Launch.h"
#include "PaneTestSupport.h"
#include "platform/NameCodec.h"
#include "platform/Shell.h"

#include <QTimer>
#include <mutex>
#include <sys/stat.h>
#include <thread>

using namespace velmar;
using namespace velmar::test;

namespace {

void MakeExecutable(const QString& path) {
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
}

LaunchPlan Plan(const QString& file, const QString& parameters = {}, const QString& dir = {}) {
    return PlanLaunch({.file = file, .parameters = parameters, .directory = dir});
}

} // namespace

TEST(LaunchRule, ProgramsStartInTheirFolderWithParameters) {
    TempDir dir;
    const QString tool = dir.write("bin/tool", "#!/bin/sh\necho hi\n");
    MakeExecutable(tool);
    LaunchPlan p = Plan(tool, "  -a 'two words' b");
    EXPECT_EQ(p.action, LaunchAction::StartProgram);
    EXPECT_EQ(p.program, tool);
    EXPECT_EQ(p.arguments, (QStringList{"-a", "two words", "b"}));
    EXPECT_EQ(p.workingDirectory, dir.file("bin"));
    // A given directory wins over the file's own.
    EXPECT_EQ(Plan(tool, {}, dir.path()).workingDirectory, dir.path());
    // A bare program name is found in PATH.
    p = Plan("sh");
    EXPECT_EQ(p.action, LaunchAction::StartProgram);
    EXPECT_TRUE(p.program.endsWith("/sh"));
    EXPECT_EQ(platform::ReadInterpreterLine(dir.write("s", "#!/bin/sh -e\nexit 0\n")),
              (QStringList{"/bin/sh", "-e"}));
}

TEST(LaunchRule, OnlyWhatTheKernelRunsStartsAndOnlyKnownExtensionsOpen) {
    TempDir dir;
    // A file's name, its bytes, its execute bit, and what opening it does.
    using Row = std::tuple<const char*, const char*, bool, LaunchAction>;
    const Row cases[] = {
        // A script without its execute bit; anything else with it (as on exFAT or CIFS).
        {"plain-script", "#!/bin/sh\n", false, LaunchAction::OpenDocument},
        {"photo.png", "\x89PNG data", true, LaunchAction::OpenDocument},
        // A program whose name says it is a document never runs without a question.
        {"holiday.jpg", "#!/bin/sh\n", true, LaunchAction::AskFirst},
        {"notes.txt", "\177ELF\2\1\1", true, LaunchAction::AskFirst},
        {"build.sh", "#!/bin/sh\n", true, LaunchAction::StartProgram},
        {"notes", "\x89PNG data", true, LaunchAction::OpenDocument},
        {"x ", "\x89PNG data", true, LaunchAction::OpenDocument},
        {"README", "text", false, LaunchAction::OpenDocument},
        // A program extension of the old device, whatever its case; ones the MIME database knows.
        {"setup.EXE", "MZ", false, LaunchAction::OpenDocument},
        {"x.TXT", "t", false, LaunchAction::OpenDocument},
        {"page.html", "<p>", false, LaunchAction::OpenDocument},
        {"data.zqxv", "?", false, LaunchAction::None},
        // The extension is the name's: a dot in a folder does not count.
        {"v1.zqxv/notes", "n", false, LaunchAction::OpenDocument},
    };
    for (const auto& [name, bytes, executable, action] : cases) {
        const QString file = dir.write(name, bytes);
        if (executable) MakeExecutable(file);
        const LaunchPlan p = Plan(file);
        EXPECT_EQ(p.action, action) << name;
        if (action == LaunchAction::OpenDocument) EXPECT_EQ(p.document, file) << name;
        if (action == LaunchAction::AskFirst) EXPECT_EQ(p.program, file) << name;
    }
    const QString question = Plan(dir.file("holiday.jpg")).question;
    EXPECT_TRUE(question.startsWith("holiday.jpg\n")) << question.toStdString();
    EXPECT_TRUE(question.contains("application/x-shellscript")) << question.toStdString();
    EXPECT_EQ(Plan(dir.file("gone")).action, LaunchAction::None);
    EXPECT_EQ(Plan({}).action, LaunchAction::None);
}

// Opening a file row plans and launches on a thread of its own: the window's event loop runs
// while that thread is stuck, and a fifo (whose blocking open would hang it) is never waited on.
// The path field's folder check runs there too.
TEST(LaunchThread, TheWindowRunsWhileALaunchIsStuck) {
    ResetPaneSettings();
    TempDir dir;
    MakeExecutable(dir.write("run.sh", "#!/bin/sh\nexit 0\n"));
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.file("pipe")).constData(), 0755), 0);
    PaneWindow w;
    ShowFolder(*w.left, dir.path());
    const std::thread::id window = std::this_thread::get_id();
    std::mutex m;     // guards seen
    QStringList seen; // each launch: what it does, and on which thread
    std::atomic<int> launches{0};
    std::atomic<bool> release{false};
    SetLauncherForTesting([&](const LaunchPlan& p) {
        {
            std::lock_guard<std::mutex> lock(m);
            seen << (p.action == LaunchAction::OpenDocument ? "open " + p.document
                     : p.action == LaunchAction::StartProgram
                         ? "start " + p.program + " in " + p.workingDirectory
                         : QString("other")) +
                        (std::this_thread::get_id() == window ? " here" : " beside");
        }
        ++launches;
        // Bounded, so that a launch run on the window's thread fails instead of hanging.
        for (QDeadlineTimer t(10000); !release && !t.hasExpired();)
            QThread::msleep(1);
    });
    PaneController& pane = w.left->controller();
    pane.OpenRow(pane.FindRow("pipe"));
    WaitListed(pane);
    ASSERT_TRUE(WaitFor([&] { return launches == 1; }));
    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    EXPECT_TRUE(WaitFor([&] { return fired; }));
    release = true;
    OpenAndWait(pane, pane.FindRow("run.sh"));
    // An FTP pane launches nothing.
    pane.setSourceKind(kSourceFtp);
    OpenAndWait(pane, pane.FindRow("run.sh"));
    // A folder typed in the path field is looked at there too, and handed back to this thread.
    QString entered;
    LaunchJob typed;
    typed.file = typed.folder = dir.path();
    typed.enterFolder = [&](const QString& folder) {
        EXPECT_EQ(std::this_thread::get_id(), window);
        entered = folder;
    };
    StartLaunch(typed);
    EXPECT_TRUE(WaitFor([&] { return entered == dir.path(); }));
    WaitForLaunches();
    SetLauncherForTesting([](const LaunchPlan&) {});
    std::lock_guard<std::mutex> lock(m);
    EXPECT_EQ(seen, (QStringList{"open " + dir.file("pipe") + " beside",
                                 "start " + dir.file("run.sh") + " in " + dir.path() + " beside"}));
}

// Names and parameters that are not UTF-8 reach the system as their own bytes: a program so
// named starts, a shortcut to it (NAME.lnk, a symbolic link) launches, and a disguised one runs
// after a Yes only.
TEST(LaunchRule, RawNamesLaunchAndADisguisedProgramWaitsForYes) {
    TempDir dir;
    MessageScript messages;
    SetLauncherForTesting({});
    auto raw = [&](const char* name) { return dir.file(platform::DecodeName(QByteArray(name))); };
    const QString tool = raw("tool\xfe"), photo = raw("holiday\xff.jpg");
    for (const QString& f : {tool, photo}) {
        ASSERT_TRUE(WriteRaw(platform::EncodeName(f), "#!/bin/sh\nprintf %s \"$1\" > \"$2\"\n"));
        ASSERT_EQ(::chmod(platform::EncodeName(f).constData(), 0755), 0);
    }
    ASSERT_TRUE(platform::MakeLink(tool, raw("tool\xfe.lnk")));
    EXPECT_EQ(Plan(raw("tool\xfe.lnk")).program, tool);
    EXPECT_EQ(platform::LocalFileUrl(photo).toEncoded(),
              "file://" + platform::EncodeName(dir.path()).toPercentEncoding("/") +
                  "/holiday%FF.jpg");

    RunLaunch({.file = tool, .parameters = platform::DecodeName(QByteArray("a\376b out1"))});
    EXPECT_TRUE(WaitFor([&] { return ReadAll(dir.file("out1")) == "a\376b"; }));
    RunLaunch({.file = photo, .parameters = "x out2"});
    EXPECT_TRUE(WaitFor([&] { return messages.shown.size() == 1; }));
    messages.answer(QMessageBox::Yes);
    RunLaunch({.file = photo, .parameters = "y out3"});
    EXPECT_TRUE(WaitFor([&] { return ReadAll(dir.file("out3")) == "y"; }));
    EXPECT_FALSE(QFile::exists(dir.file("out2")));
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_TRUE(
        messages.shown[0].startsWith(platform::DecodeName(QByteArray("holiday\xff.jpg\n"))));
    // A document goes to the desktop's opener as its own bytes; an opener that finds no
    // application for it (xdg-open ends 3) is told, not taken for an opened file.
    const QString opener = dir.mkdir("bin"), page = raw("page\xfe.html");
    MakeExecutable(
        dir.write("bin/xdg-open", "#!/bin/sh\nprintf %s \"$1\" > \"$0.seen\"\nexit 3\n"));
    ASSERT_TRUE(WriteRaw(platform::EncodeName(page), "<p>"));
    const ScopedEnv path("PATH", platform::EncodeName(opener) + ":" + qgetenv("PATH"));
    RunLaunch({.file = page});
    EXPECT_TRUE(WaitFor([&] { return messages.shown.size() == 3; }));
    EXPECT_EQ(ReadAll(opener + "/xdg-open.seen"), platform::EncodeName(page));
    ASSERT_EQ(messages.shown.size(), 3);
    EXPECT_EQ(messages.shown[2], kLaunchNoApplication.arg(page));
    SetLauncherForTesting([](const LaunchPlan&) {});
}

TEST(LaunchRule, ParametersSplitAsAShellWould) {
    using platform::SplitParameters;
    EXPECT_EQ(SplitParameters("  -e top"), (QStringList{"-e", "top"}));
    EXPECT_EQ(SplitParameters(R"(a 'b c' "d \"e\"" f\ g '')"),
              (QStringList{"a", "b c", "d \"e\"", "f g", ""}));
    EXPECT_EQ(SplitParameters(R"(x"y z"w)"), QStringList{"xy zw"});
    EXPECT_TRUE(SplitParameters("   ").isEmpty());
}
