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

// In turn, on one folder: each rename answered `answer` when asked; what it shows, and where
// the content is afterwards (a refused name replaces nothing).
TEST_F(RenameTest, AnswersRefusalsAndFailures) {
    dir.write("x", "plain");
    dir.write("x ", "with blank");
    dir.mkdir("sub");
    ShowFolder(pane(), dir.path());
    const struct {
        const char* from;
        const char* to;
        QMessageBox::StandardButton answer;
        bool asked, renamed, cannot; // the question, the result, "Can't rename file."
    } cases[] = {
        {"old.txt", "new.txt", QMessageBox::No, true, false, false},
        {"old.txt", "", QMessageBox::Yes, false, false, false},
        {"old.txt", "old.txt", QMessageBox::Yes, false, false, false},
        {"old.txt", "taken.txt", QMessageBox::Yes, true, false, true},
        // A slash would move the file into another folder: refused before asking.
        {"old.txt", "sub/moved.txt", QMessageBox::Yes, false, false, true},
        {"x ", "y", QMessageBox::Yes, true, true, false}, // a name ending in a blank is its own
        {"old.txt", "new.txt", QMessageBox::Yes, true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
        const QString from = QString::fromLatin1(c.from), to = QString::fromLatin1(c.to);
        const QByteArray content = ReadAll(dir.file(from)), replaced = ReadAll(dir.file(to));
        script.shown.clear();
        script.kinds.clear();
        script.answer(c.answer);
        EXPECT_EQ(pane().EndLabelEdit(Row(from), to), c.renamed);
        w->WaitListed();
        script.answers.clear();
        QStringList shown;
        if (c.asked) shown << "Do you want to rename file\n" + from + "\nto the file\n" + to + " ?";
        if (c.cannot) shown << "Can't rename file.";
        EXPECT_EQ(script.shown, shown);
        EXPECT_EQ(ReadAll(dir.file(c.renamed ? to : from)), content);
        if (!c.renamed) EXPECT_EQ(ReadAll(dir.file(to)), replaced);
        EXPECT_NE(Row(c.renamed ? to : from), -1);
    }
    EXPECT_EQ(script.kinds, QList<MessageKind>{MessageKind::StopQuestion});
    EXPECT_EQ(ReadAll(dir.file("x")), "plain");
    EXPECT_FALSE(QFile::exists(dir.file("old.txt")));
    // Both panes refilled through the document.
    EXPECT_NE(w->right->controller().FindRow("new.txt"), -1);
    EXPECT_EQ(w->right->controller().FindRow("old.txt"), -1);
    EXPECT_EQ(FocusedName(pane().controller()), "new.txt");

    // The file went away behind the pane's back; the parent row has no record to rename.
    QFile::remove(dir.file("new.txt"));
    script.shown.clear();
    script.answer(QMessageBox::Yes);
    EXPECT_FALSE(pane().EndLabelEdit(Row("new.txt"), "gone.txt"));
    EXPECT_EQ(script.shown.value(1), "Can't rename file.");
    EXPECT_FALSE(pane().EndLabelEdit(0, "x"));
    EXPECT_EQ(script.shown.size(), 2);
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
