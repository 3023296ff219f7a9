// The file commands on two real panes: Copy and Move under the real progress dialog (its
// worker thread asking through the message seam), Delete with its question, New Dir with
// its dialog, and the keys that run them.
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
            pane.selectionModel()->select(pane.paneModel()->index(pane.FindRow(n), 0),
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
    w.left->setCurrentIndex(w.left->paneModel()->index(w.left->FindRow("a.txt"), 0));
    Select(*w.left, {"A", "b"});
    EXPECT_TRUE(w.left->OnCommand(ids::kCmdCopy));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Copy");
    EXPECT_EQ(shown[0].name, "Done");
    // b, A/.dot and A/inner/deep.txt (the settings show hidden files).
    EXPECT_EQ(shown[0].counter, "Files: 3");
    EXPECT_EQ(ReadAll(target.file("T/A/inner/deep.txt")), "deep");
    EXPECT_EQ(ReadAll(target.file("T/b")), QByteArray(300, 'x'));
    EXPECT_FALSE(QFileInfo::exists(target.file("T/a.txt")));               // focused, not selected
    EXPECT_TRUE(w.right->FindRow("A") >= 0 && w.right->FindRow("b") >= 0); // refilled
    EXPECT_TRUE(script.shown.isEmpty());

    // Nothing selected: Copy takes the focused row, Move beeps and does nothing.
    w.left->clearSelection();
    w.left->setCurrentIndex(w.left->paneModel()->index(w.left->FindRow("c.doc"), 0));
    w.left->clearSelection();
    EXPECT_TRUE(w.left->OnCommand(ids::kCmdMove));
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_TRUE(QFileInfo::exists(dir.file("c.doc")));
    QTest::keyClick(w.left, Qt::Key_F5);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(ReadAll(target.file("T/c.doc")), QByteArray(10, 'x'));
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
    QTest::keyClick(w.left, Qt::Key_F6);
    ASSERT_FALSE(script.shown.isEmpty());
    EXPECT_EQ(script.shown.first(), kAskOverwrite.arg(target.file("T/one")));
    EXPECT_EQ(ReadAll(target.file("T/one")), "new one");
    EXPECT_FALSE(QFileInfo::exists(dir.file("one")));
    EXPECT_EQ(ReadAll(target.file("T/two")), "old two");
    EXPECT_EQ(ReadAll(dir.file("two")), "new two");
    EXPECT_EQ(w.left->FindRow("one"), -1); // refilled
}

TEST_F(FileCommandsTest, DeleteAsksWithCountsAndNewDirMakesAFolder) {
    Select(*w.left, {"a.txt", "b", "A"});
    script.answer(QMessageBox::No);
    QTest::keyClick(w.left, Qt::Key_Delete);
    EXPECT_EQ(script.shown, QStringList{"Do you want to delete 2 files and 1 folders?"});
    EXPECT_TRUE(QFileInfo::exists(dir.file("a.txt")));

    script.shown.clear();
    script.answer(QMessageBox::Yes); // the files
    script.answer(QMessageBox::Yes); // folder A
    script.answer(QMessageBox::Yes); // A/inner
    Select(*w.left, {"a.txt", "b", "A"});
    QTest::keyClick(w.left, Qt::Key_F8);
    EXPECT_EQ(script.shown.size(), 3);
    EXPECT_FALSE(QFileInfo::exists(dir.file("a.txt")));
    EXPECT_FALSE(QFileInfo::exists(dir.file("b")));
    EXPECT_FALSE(QFileInfo::exists(dir.file("A")));
    EXPECT_EQ(w.left->FindRow("A"), -1);

    AnswerDialogs("fresh");
    QTest::keyClick(w.left, Qt::Key_F7);
    EXPECT_TRUE(QFileInfo(dir.file("fresh")).isDir());
    EXPECT_GE(w.left->FindRow("fresh"), 0);
    // An empty name makes nothing; the panes refill all the same.
    AnswerDialogs("");
    const int rows = w.left->RowCount();
    EXPECT_TRUE(w.left->OnCommand(ids::kCmdNewDir));
    EXPECT_EQ(w.left->RowCount(), rows);
    EXPECT_EQ(script.shown.size(), 3);
}
