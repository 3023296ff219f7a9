// The file commands on two real panes: Copy and Move under the real progress dialog (its
// worker thread asking through the message seam), Delete with its question, New Dir with
// its dialog, both as workers under the progress dialog. (The keys that run them: the frame's
// tests.)
#include "filemgr/FileCommands.h"
#include "PaneTestSupport.h"
#include "platform/Trash.h"
#include "sources/TransferJob.h"

#include <QTimer>
#include <sys/mount.h>
#include <unistd.h>

using namespace velmar;
using namespace velmar::test;

namespace {

class FileCommandsTest : public PaneFolderTest {
protected:
    void SetUp() override {
        PaneFolderTest::SetUp();
        dir.write("A/inner/deep.txt", "deep");
        dir.write("A/.dot", "dot");
        target.mkdir("T");
        ShowFolder(*w.left, dir.path());
        ShowFolder(*w.right, target.file("T"));
    }
    void TearDown() override { SetDialogHookForTesting(nullptr); }

    // Every progress dialog runs to its end, is recorded and closed; New Folder gets `name`.
    void AnswerDialogs(const QString& name = {}) {
        SetDialogHookForTesting([this, name](QDialog* d) {
            if (ControlIdOf(d) == ids::kDlgNewFolder) {
                FindControl<QLineEdit>(d, ids::kIdcNewFolderName)->setText(name);
                d->accept();
                return;
            }
            const QString end = WaitDone(d) ? "|Done|" : "|not done|";
            // Caption, name and counter as the user last saw them.
            shown << d->windowTitle() + end +
                         FindControl<QLabel>(d, ids::kIdcProgressCount)->text();
            d->accept();
        });
    }

    PaneWindow w;
    TempDir target;
    MessageScript script;
    QStringList shown;
};

} // namespace

TEST_F(FileCommandsTest, CopyRunsUnderTheProgressDialogAndRefillsBothPanes) {
    AnswerDialogs();
    w.left->setCurrentIndex(w.left->model()->index(w.left->controller().FindRow("a.txt"), 0));
    Mark(*w.left, {"A", "b"});
    EXPECT_TRUE(w.left->OnCommand(ids::kCmdCopy));
    w.WaitListed();
    // b, A/.dot and A/inner/deep.txt (the settings show hidden files).
    EXPECT_EQ(shown, QStringList{"Copy|Done|Files: 3"});
    EXPECT_EQ(ReadAll(target.file("T/A/inner/deep.txt")), "deep");
    EXPECT_EQ(ReadAll(target.file("T/b")), QByteArray(300, 'x'));
    EXPECT_FALSE(QFileInfo::exists(target.file("T/a.txt"))); // focused, not selected
    EXPECT_TRUE(w.right->controller().FindRow("A") >= 0 &&
                w.right->controller().FindRow("b") >= 0); // refilled
    EXPECT_TRUE(script.shown.isEmpty());
}

TEST_F(FileCommandsTest, MoveAsksFromTheWorkerAndClosingStopsIt) {
    AnswerDialogs();
    dir.write("one", "new one");
    dir.write("two", "new two");
    target.write("T/one", "old one");
    target.write("T/two", "old two");
    ShowFolder(*w.left, dir.path());
    // The first question (asked from the worker thread) is answered Yes, and the dialog is
    // closed meanwhile: the second file is never moved.
    QDialog* progress = nullptr;
    SetDialogHookForTesting([&](QDialog* d) {
        progress = d;
        WaitDone(d);
    });
    SetMessageAnswererForTesting([&](const QString& text, MessageKind) {
        script.shown.append(text);
        if (progress) QTimer::singleShot(0, progress, [progress] { progress->reject(); });
        return script.shown.size() == 1 ? QMessageBox::Yes : QMessageBox::No;
    });
    Mark(*w.left, {"one", "two"});
    EXPECT_TRUE(w.left->OnCommand(ids::kCmdMove));
    w.WaitListed();
    ASSERT_FALSE(script.shown.isEmpty());
    EXPECT_EQ(script.shown.first(), kAskOverwrite.arg(target.file("T/one")));
    EXPECT_EQ(ReadAll(target.file("T/one")), "new one");
    EXPECT_FALSE(QFileInfo::exists(dir.file("one")));
    EXPECT_EQ(ReadAll(target.file("T/two")), "old two");
    EXPECT_EQ(ReadAll(dir.file("two")), "new two");
    EXPECT_EQ(w.left->controller().FindRow("one"), -1); // refilled

    // A 0 stored by an older version (which always asked) still asks.
    WriteStoreSetting("QestionOnRewrite", 0);
    EXPECT_TRUE(AskBeforeReplacing());
    // "Question on rewrite" cleared in Preferences: the user chose to replace unasked.
    WriteStoreSettings({1, 0, 1, 0, 1, 1, 15, 5, 5, 0});
    script.shown.clear();
    Mark(*w.left, {"two"});
    EXPECT_TRUE(w.left->OnCommand(ids::kCmdMove));
    w.WaitListed();
    EXPECT_TRUE(script.shown.isEmpty());
    EXPECT_EQ(ReadAll(target.file("T/two")), "new two");
}

TEST_F(FileCommandsTest, DeleteAsksWithCountsAndNewDirMakesAFolder) {
    AnswerDialogs();
    Mark(*w.left, {"a.txt", "b", "A"});
    script.answer(QMessageBox::No);
    EXPECT_TRUE(w.left->OnCommand(ids::kCmdDelete));
    EXPECT_TRUE(shown.isEmpty()) << "no worker after No";
    EXPECT_EQ(script.shown, QStringList{"Do you want to delete 2 files and 1 folders?"});
    EXPECT_TRUE(QFileInfo::exists(dir.file("a.txt")));

    script.shown.clear();
    for (int k = 0; k < 3; ++k) // the files, folder A, A/inner
        script.answer(QMessageBox::Yes);
    Mark(*w.left, {"a.txt", "b", "A"});
    EXPECT_TRUE(w.left->OnCommand(ids::kCmdDeleteForGood)); // past the trash, as Shift+F8
    w.WaitListed();
    EXPECT_EQ(script.shown.size(), 3);
    EXPECT_FALSE(QFileInfo::exists(platform::HomeTrashFolder() + "/files/a.txt"));
    // The worker ran under the progress dialog and counted the files it removed.
    EXPECT_EQ(shown, QStringList{"Delete|Done|Files: 2"});
    for (const char* gone : {"a.txt", "b", "A"})
        EXPECT_FALSE(QFileInfo::exists(dir.file(gone))) << gone;
    EXPECT_EQ(w.left->controller().FindRow("A"), -1);

    // Delete sends the rows whole to the trash after its one question; nothing is removed, so
    // the folder is not asked about.
    script.shown.clear();
    script.answer(QMessageBox::Yes);
    Mark(*w.left, {"c.doc", "B"});
    EXPECT_TRUE(w.left->OnCommand(ids::kCmdDelete));
    w.WaitListed();
    EXPECT_EQ(script.shown, QStringList{"Do you want to delete 1 files and 1 folders?"});
    EXPECT_EQ(shown.last(), "Delete|Done|Files: 1");
    EXPECT_FALSE(QFileInfo::exists(dir.file("c.doc")));
    EXPECT_EQ(ReadAll(platform::HomeTrashFolder() + "/files/c.doc"), QByteArray(10, 'x'));
    EXPECT_TRUE(QFileInfo(platform::HomeTrashFolder() + "/files/B").isDir());

    AnswerDialogs("fresh");
    EXPECT_TRUE(w.left->OnCommand(ids::kCmdNewDir));
    w.WaitListed();
    EXPECT_TRUE(QFileInfo(dir.file("fresh")).isDir());
    EXPECT_GE(w.left->controller().FindRow("fresh"), 0);
    // An empty name makes nothing; the panes refill all the same.
    AnswerDialogs("");
    const int rows = w.left->controller().RowCount();
    EXPECT_TRUE(w.left->OnCommand(ids::kCmdNewDir));
    w.WaitListed();
    EXPECT_EQ(w.left->controller().RowCount(), rows);
    EXPECT_EQ(script.shown.size(), 1);
}

// A file on a disk where no trash can be made is deleted for good only after a question; with
// the trash turned off in Preferences, Delete deletes for good at once.
TEST_F(FileCommandsTest, WithoutATrashDeleteAsksBeforeDeletingForGood) {
    const QString disk = dir.mkdir("disk");
    struct Mount {
        QByteArray at;
        bool done = ::mount("tmpfs", at.constData(), "tmpfs", 0, "size=1m") == 0;
        ~Mount() {
            if (done) ::umount2(at.constData(), MNT_DETACH);
        }
    } mount{QFile::encodeName(disk)};
    if (!mount.done) GTEST_SKIP() << "mounting a tmpfs needs root";
    const QString uid = QString::number(::getuid());
    dir.write("disk/.Trash-" + uid, "a file where the trash would be");
    dir.write("disk/f1", "1");
    dir.write("disk/f2", "2");
    AnswerDialogs();
    ShowFolder(*w.left, disk);
    for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        script.shown.clear();
        script.answer(QMessageBox::Yes);
        script.answer(answer);
        Mark(*w.left, {"f1"});
        EXPECT_TRUE(w.left->OnCommand(ids::kCmdDelete));
        w.WaitListed();
        EXPECT_EQ(script.shown, (QStringList{"Do you want to delete 1 files and 0 folders?",
                                             kAskNoTrash.arg(disk + "/f1")}));
        EXPECT_EQ(QFileInfo::exists(disk + "/f1"), answer == QMessageBox::No);
    }
    WriteStoreSetting(kDeleteToTrash.name, 0);
    script.shown.clear();
    script.answer(QMessageBox::Yes);
    Mark(*w.left, {"f2"});
    EXPECT_TRUE(w.left->OnCommand(ids::kCmdDelete));
    w.WaitListed();
    EXPECT_EQ(script.shown.size(), 1);
    EXPECT_FALSE(QFileInfo::exists(disk + "/f2"));
    ShowFolder(*w.left, dir.path());
}
