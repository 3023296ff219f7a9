// The file commands on two real panes: Copy and Move under the real progress dialog (its
// worker thread asking through the message seam), Delete with its question, New Dir with
// its dialog, both as workers under the progress dialog. (The keys that run them: the frame's
// tests.)
#include "filemgr/FileCommands.h"
#include "PaneTestSupport.h"
#include "framework/Dialogs.h"
#include "res/Ids.h"
#include "support/MessageScript.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

using namespace velmar;
using namespace velmar::test;

namespace {

struct Shown {
    QString caption;
    QString name;
    QString counter;
    int bar = -1;
};

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
            auto* label = FindControl<QLabel>(d, ids::kIdcProgressName);
            WaitFor([&] { return label->text() == "Done"; });
            shown.push_back({d->windowTitle(), label->text(),
                             FindControl<QLabel>(d, ids::kIdcProgressCount)->text(),
                             FindControl<QProgressBar>(d, ids::kIdcProgressBar)->value()});
            d->accept();
        });
    }
    void Select(CPaneList& pane, const QStringList& names) {
        pane.clearSelection();
        for (const QString& n : names)
            pane.selectionModel()->select(
                pane.controller().model()->index(pane.controller().FindRow(n), 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    PaneWindow w;
    TempDir target;
    MessageScript script;
    std::vector<Shown> shown;
};

} // namespace

TEST_F(FileCommandsTest, CopyRunsUnderTheProgressDialogAndRefillsBothPanes) {
    AnswerDialogs();
    w.left->setCurrentIndex(
        w.left->controller().model()->index(w.left->controller().FindRow("a.txt"), 0));
    Select(*w.left, {"A", "b"});
    EXPECT_TRUE(w.left->OnCommand(ids::kCmdCopy));
    w.WaitListed();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Copy");
    EXPECT_EQ(shown[0].name, "Done");
    // b, A/.dot and A/inner/deep.txt (the settings show hidden files).
    EXPECT_EQ(shown[0].counter, "Files: 3");
    EXPECT_EQ(ReadAll(target.file("T/A/inner/deep.txt")), "deep");
    EXPECT_EQ(ReadAll(target.file("T/b")), QByteArray(300, 'x'));
    EXPECT_FALSE(QFileInfo::exists(target.file("T/a.txt"))); // focused, not selected
    EXPECT_TRUE(w.right->controller().FindRow("A") >= 0 &&
                w.right->controller().FindRow("b") >= 0); // refilled
    EXPECT_TRUE(script.shown.isEmpty());

    // Nothing marked: Move (as Copy) takes the row under the cursor; on the parent row,
    // nothing at all.
    w.left->controller().MoveCursorTo(0);
    w.left->clearSelection();
    EXPECT_TRUE(w.left->OnCommand(ids::kCmdCopy));
    EXPECT_EQ(shown.size(), 1u);
    w.left->controller().MoveCursorTo(w.left->controller().FindRow("c.doc"));
    EXPECT_TRUE(w.left->OnCommand(ids::kCmdMove));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(ReadAll(target.file("T/c.doc")), QByteArray(10, 'x'));
    EXPECT_FALSE(QFileInfo::exists(dir.file("c.doc")));
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
        auto* label = FindControl<QLabel>(d, ids::kIdcProgressName);
        WaitFor([&] { return label->text() == "Done"; });
    });
    SetMessageAnswererForTesting([&](const QString& text, MessageKind) {
        script.shown.append(text);
        if (progress) QTimer::singleShot(0, progress, [progress] { progress->reject(); });
        return script.shown.size() == 1 ? QMessageBox::Yes : QMessageBox::No;
    });
    Select(*w.left, {"one", "two"});
    EXPECT_TRUE(w.left->OnCommand(ids::kCmdMove));
    w.WaitListed();
    ASSERT_FALSE(script.shown.isEmpty());
    EXPECT_EQ(script.shown.first(), kAskOverwrite.arg(target.file("T/one")));
    EXPECT_EQ(ReadAll(target.file("T/one")), "new one");
    EXPECT_FALSE(QFileInfo::exists(dir.file("one")));
    EXPECT_EQ(ReadAll(target.file("T/two")), "old two");
    EXPECT_EQ(ReadAll(dir.file("two")), "new two");
    EXPECT_EQ(w.left->controller().FindRow("one"), -1); // refilled
}

TEST_F(FileCommandsTest, DeleteAsksWithCountsAndNewDirMakesAFolder) {
    AnswerDialogs();
    Select(*w.left, {"a.txt", "b", "A"});
    script.answer(QMessageBox::No);
    EXPECT_TRUE(w.left->OnCommand(ids::kCmdDelete));
    EXPECT_TRUE(shown.empty()) << "no worker after No";
    EXPECT_EQ(script.shown, QStringList{"Do you want to delete 2 files and 1 folders?"});
    EXPECT_TRUE(QFileInfo::exists(dir.file("a.txt")));

    script.shown.clear();
    script.answer(QMessageBox::Yes); // the files
    script.answer(QMessageBox::Yes); // folder A
    script.answer(QMessageBox::Yes); // A/inner
    Select(*w.left, {"a.txt", "b", "A"});
    EXPECT_TRUE(w.left->OnCommand(ids::kCmdDelete));
    w.WaitListed();
    EXPECT_EQ(script.shown.size(), 3);
    // The worker ran under the progress dialog and counted the files it removed.
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Delete");
    EXPECT_EQ(shown[0].counter, "Files: 2");
    EXPECT_FALSE(QFileInfo::exists(dir.file("a.txt")));
    EXPECT_FALSE(QFileInfo::exists(dir.file("b")));
    EXPECT_FALSE(QFileInfo::exists(dir.file("A")));
    EXPECT_EQ(w.left->controller().FindRow("A"), -1);

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
    EXPECT_EQ(script.shown.size(), 3);
}
