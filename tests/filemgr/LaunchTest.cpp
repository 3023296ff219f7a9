// The launch rule decided on real files, and the launch thread handing its plan over.
#include "filemgr/Launch.h"
#include "PaneTestSupport.h"
#include "platform/Shell.h"
#include "support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>
#include <mutex>

using namespace velmar;
using namespace velmar::test;

namespace {

void MakeExecutable(const QString& path) {
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
}

LaunchPlan Plan(const QString& file, const QString& parameters = {}, const QString& dir = {}) {
    LaunchJob job;
    job.file = file;
    job.parameters = parameters;
    job.directory = dir;
    return PlanLaunch(job);
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

    // Only what the kernel runs, with its execute bit, starts as a program; anything else
    // opens in its viewer, execute bit or not (as every file on an exFAT or CIFS mount).
    const QString script = dir.write("plain-script", "#!/bin/sh -e\nexit 0\n");
    EXPECT_EQ(Plan(script).action, LaunchAction::OpenDocument);
    EXPECT_EQ(platform::ReadInterpreterLine(script), (QStringList{"/bin/sh", "-e"}));
    for (const char* name : {"photo.png", "notes", "x "}) {
        const QString file = dir.write(name, "\x89PNG data");
        MakeExecutable(file);
        p = Plan(file);
        EXPECT_EQ(p.action, LaunchAction::OpenDocument) << name;
        EXPECT_EQ(p.document, file) << name;
    }

    // A bare program name is found in PATH.
    p = Plan("sh");
    EXPECT_EQ(p.action, LaunchAction::StartProgram);
    EXPECT_TRUE(p.program.endsWith("/sh"));
}

TEST(LaunchRule, DocumentsOpenOnlyWithAKnownOrProgramExtension) {
    TempDir dir;
    // No extension: always launched; not executable, so the desktop opens it.
    const QString readme = dir.write("README", "text");
    EXPECT_EQ(Plan(readme).action, LaunchAction::OpenDocument);
    EXPECT_EQ(Plan(readme).document, readme);
    EXPECT_FALSE(platform::IsExecutableFile(readme));
    // A program extension of the old device, whatever its case.
    EXPECT_EQ(Plan(dir.write("setup.EXE", "MZ")).action, LaunchAction::OpenDocument);
    // An extension the MIME database knows.
    EXPECT_EQ(Plan(dir.write("x.TXT", "t")).action, LaunchAction::OpenDocument);
    EXPECT_EQ(Plan(dir.write("page.html", "<p>")).action, LaunchAction::OpenDocument);
    // An unknown one: nothing happens.
    EXPECT_EQ(Plan(dir.write("data.zqxv", "?")).action, LaunchAction::None);
    // The extension is the name's: a dot in a folder does not count.
    EXPECT_EQ(Plan(dir.write("v1.zqxv/notes", "n")).action, LaunchAction::OpenDocument);
    // Nothing to open.
    EXPECT_EQ(Plan(dir.file("gone")).action, LaunchAction::None);
    EXPECT_EQ(Plan({}).action, LaunchAction::None);
}

TEST(LaunchRule, ShortcutsLaunchTheirTarget) {
    TempDir dir;
    const QString tool = dir.write("tool", "#!/bin/sh\n");
    MakeExecutable(tool);
    ASSERT_TRUE(QFile::link(tool, dir.file("Tool.lnk")));
    LaunchPlan p = Plan(dir.file("Tool.lnk"));
    EXPECT_EQ(p.action, LaunchAction::StartProgram);
    EXPECT_EQ(p.program, tool);
}

TEST(LaunchRule, ThreadHandsThePlanToTheLauncher) {
    TempDir dir;
    const QString doc = dir.write("notes.txt", "n");
    std::mutex m;
    std::vector<LaunchPlan> plans;
    SetLauncherForTesting([&](const LaunchPlan& p) {
        std::lock_guard<std::mutex> lock(m);
        plans.push_back(p);
    });
    LaunchJob job;
    job.file = doc;
    StartLaunch(job);
    EXPECT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> lock(m);
        return !plans.empty();
    }));
    SetLauncherForTesting(nullptr);
    ASSERT_EQ(plans.size(), 1u);
    EXPECT_EQ(plans[0].action, LaunchAction::OpenDocument);
    EXPECT_EQ(plans[0].document, doc);
}

TEST(LaunchRule, ParametersSplitAsAShellWould) {
    using platform::SplitParameters;
    EXPECT_EQ(SplitParameters("  -e top"), (QStringList{"-e", "top"}));
    EXPECT_EQ(SplitParameters(R"(a 'b c' "d \"e\"" f\ g '')"),
              (QStringList{"a", "b c", "d \"e\"", "f g", ""}));
    EXPECT_EQ(SplitParameters(R"(x"y z"w)"), QStringList{"xy zw"});
    EXPECT_TRUE(SplitParameters("   ").isEmpty());
}

TEST(RenameEntry, NeverReplacesAnExistingEntry) {
    TempDir dir;
    dir.write("a", "A");
    dir.write("b", "B");
    EXPECT_FALSE(platform::RenameEntry(dir.file("a"), dir.file("b")));
    EXPECT_EQ(ReadAll(dir.file("b")), "B");
    EXPECT_TRUE(platform::RenameEntry(dir.file("a"), dir.file("c")));
    EXPECT_EQ(ReadAll(dir.file("c")), "A");
    EXPECT_FALSE(platform::RenameEntry(dir.file("a"), dir.file("d")));
}
