// Rename in place: the question, its answers, failures and the refusals.
#include "PaneTestSupport.h"
#include "res/Ids.h"
#include "support/MessageScript.h"
#include "support/TempDir.h"

#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace velmar;
using namespace velmar::test;

namespace {

class RenameTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPaneSettings();
        dir.write("old.txt", "content");
        dir.write("taken.txt", "other");
        w = std::make_unique<PaneWindow>();
        ShowFolder(*w->left, dir.path());
        ShowFolder(*w->right, dir.path());
    }
    CPaneList& pane() { return *w->left; }
    int Row(const QString& name) { return pane().controller().FindRow(name); }

    TempDir dir;
    std::unique_ptr<PaneWindow> w;
    MessageScript script;
};

const QString kQuestion = "Do you want to rename file\nold.txt\nto the file\nnew.txt ?";

// The open label editor; closed editors may still wait for their deferred deletion.
QLineEdit* Editor(CPaneList& pane) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return pane.viewport()->findChild<QLineEdit*>();
}

} // namespace

TEST_F(RenameTest, YesRenamesOnDiskAndRefillsBothPanes) {
    script.answer(QMessageBox::Yes);
    EXPECT_TRUE(pane().EndLabelEdit(Row("old.txt"), "new.txt"));
    w->WaitListed();
    EXPECT_EQ(script.shown, QStringList{kQuestion});
    EXPECT_EQ(script.kinds, QList<MessageKind>{MessageKind::StopQuestion});
    EXPECT_FALSE(QFile::exists(dir.file("old.txt")));
    EXPECT_EQ(ReadAll(dir.file("new.txt")), "content");
    // Both panes refilled through the document.
    EXPECT_NE(w->right->controller().FindRow("new.txt"), -1);
    EXPECT_EQ(w->right->controller().FindRow("old.txt"), -1);
    EXPECT_EQ(pane().controller().RowName(pane().controller().FocusedRow()), "new.txt");
}

TEST_F(RenameTest, NoEmptyAndUnchangedKeepTheOldName) {
    script.answer(QMessageBox::No);
    EXPECT_FALSE(pane().EndLabelEdit(Row("old.txt"), "new.txt"));
    EXPECT_EQ(script.shown, QStringList{kQuestion});
    EXPECT_TRUE(QFile::exists(dir.file("old.txt")));
    EXPECT_NE(Row("old.txt"), -1);
    // An empty or unchanged name asks nothing.
    EXPECT_FALSE(pane().EndLabelEdit(Row("old.txt"), ""));
    EXPECT_FALSE(pane().EndLabelEdit(Row("old.txt"), "old.txt"));
    // The parent row has no record: nothing to rename.
    EXPECT_FALSE(pane().EndLabelEdit(0, "x"));
    EXPECT_EQ(script.shown.size(), 1);
}

TEST_F(RenameTest, FailuresSayCantRenameAndReplaceNothing) {
    script.answer(QMessageBox::Yes);
    // The new name is taken: the other file must survive.
    EXPECT_FALSE(pane().EndLabelEdit(Row("old.txt"), "taken.txt"));
    EXPECT_EQ(script.shown.last(), "Can't rename file.");
    EXPECT_EQ(ReadAll(dir.file("taken.txt")), "other");
    EXPECT_EQ(ReadAll(dir.file("old.txt")), "content");
    EXPECT_NE(Row("old.txt"), -1);
    // The file went away behind the pane's back.
    QFile::remove(dir.file("old.txt"));
    script.answer(QMessageBox::Yes);
    EXPECT_FALSE(pane().EndLabelEdit(Row("old.txt"), "new.txt"));
    EXPECT_EQ(script.shown.last(), "Can't rename file.");
    // A slash would move the file into another folder: refused before asking.
    dir.write("old.txt", "content");
    dir.mkdir("sub");
    ShowFolder(pane(), dir.path());
    script.shown.clear();
    EXPECT_FALSE(pane().EndLabelEdit(Row("old.txt"), "sub/moved.txt"));
    EXPECT_EQ(script.shown, QStringList{"Can't rename file."});
    EXPECT_TRUE(QFile::exists(dir.file("old.txt")));
    EXPECT_FALSE(QFile::exists(dir.file("sub/moved.txt")));
}

TEST_F(RenameTest, EditorOpensOnTheCommandAndCommitsThroughTheQuestion) {
    w->Focus(&pane());
    int launched = 0;
    SetLauncherForTesting([&](const LaunchPlan&) { ++launched; });
    // Opens the editor on `from`, types `to` and ends with `key`.
    auto edit = [&](const QString& from, const QString& to, Qt::Key key) {
        pane().controller().SelectAndFocus(Row(from));
        ASSERT_TRUE(pane().OnCommand(ids::kCmdRename));
        QLineEdit* editor = Editor(pane());
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->text(), from);
        editor->selectAll();
        QTest::keyClicks(editor, to);
        QTest::keyClick(editor, key);
        QApplication::processEvents();
        w->WaitListed();
    };
    script.answer(QMessageBox::Yes);
    edit("old.txt", "new.txt", Qt::Key_Return);
    EXPECT_EQ(script.shown, QStringList{kQuestion});
    EXPECT_TRUE(QFile::exists(dir.file("new.txt")));
    EXPECT_NE(Row("new.txt"), -1);
    // The Enter that ended the edit did not also open the file.
    EXPECT_EQ(launched, 0);
    // Tab ends the edit like Enter, and opens no other editor.
    script.answer(QMessageBox::Yes);
    edit("new.txt", "tabbed.txt", Qt::Key_Tab);
    EXPECT_TRUE(QFile::exists(dir.file("tabbed.txt")));
    EXPECT_EQ(Editor(pane()), nullptr);
    // Esc cancels: no question, no change.
    edit("tabbed.txt", "zzz", Qt::Key_Escape);
    EXPECT_EQ(script.shown.size(), 2);
    EXPECT_TRUE(QFile::exists(dir.file("tabbed.txt")));
}

// (The parent row: its command state, PaneListTest.)
TEST_F(RenameTest, NoEditorInAPaneOnAServerNotConnected) {
    pane().controller().SelectAndFocus(Row("old.txt"));
    EXPECT_TRUE(pane().controller().CanRename(Row("old.txt")));
    pane().controller().setSourceKind(kSourceFtp);
    EXPECT_FALSE(pane().controller().CanRename(Row("old.txt")));
    EXPECT_FALSE(pane().StartRename());
    EXPECT_EQ(Editor(pane()), nullptr);
    pane().controller().setSourceKind(kSourceLocal);
}

TEST_F(RenameTest, ANameEndingInABlankIsItsOwnFile) {
    dir.write("x", "plain");
    dir.write("x ", "with blank");
    ShowFolder(pane(), dir.path());
    ASSERT_NE(Row("x"), -1);
    ASSERT_NE(Row("x "), -1);
    script.answer(QMessageBox::Yes);
    EXPECT_TRUE(pane().EndLabelEdit(Row("x "), "y"));
    EXPECT_EQ(ReadAll(dir.file("y")), "with blank");
    EXPECT_EQ(ReadAll(dir.file("x")), "plain");
}
