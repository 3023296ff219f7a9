// Rename in place: the question, its answers, failures and the refusals, on a local folder
// and on a server; the label editor.
#include "PaneTestSupport.h"
#include "support/FtpServer.h"

#include <optional>

using namespace velmar;
using namespace velmar::test;

namespace {

const QString kQuestion = "Do you want to rename file\nold.txt\nto the file\nnew.txt ?";

// The open label editor; closed editors may still wait for their deferred deletion.
QLineEdit* Editor(CPaneList& pane) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return pane.viewport()->findChild<QLineEdit*>();
}

} // namespace

// A pane on a local folder or on a server (pyftpdlib through libcurl; what differs per back end
// is the side contract's) holding old.txt, taken.txt, "x", "x " and the folder "sub".
class RenameOnEitherSide : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ResetPaneSettings();
        if (GetParam()) {
            server.emplace();
            ASSERT_TRUE(server->ok()) << server->error().toStdString();
        }
        for (const auto& [name, bytes] : {std::pair{"old.txt", "content"},
                                          {"taken.txt", "other"},
                                          {"x", "plain"},
                                          {"x ", "with blank"}})
            home().write(name, bytes);
        home().mkdir("sub");
        if (!GetParam()) {
            ShowFolder(*w.left, dir.path());
            return ShowFolder(*w.right, dir.path());
        }
        w.left->controller().ConnectTo(
            {"127.0.0.1", server->port(), PyFtpServer::kUser, PyFtpServer::kPassword}, false,
            FtpOptions{});
        ASSERT_TRUE(WaitFor([&] { return w.left->controller().FindRow("old.txt") >= 0; }));
    }
    const TempDir& home() const { return server ? server->home() : dir; }
    int Row(const QString& name) const { return w.left->controller().FindRow(name); }
    CPaneList& pane() { return *w.left; }

    TempDir dir;
    std::optional<PyFtpServer> server;
    PaneWindow w;
    MessageScript script;
};

// In turn: each rename answered `answer` when asked; what it shows, and where the content is
// afterwards (a refused name replaces nothing).
TEST_P(RenameOnEitherSide, AnswersRefusalsAndFailures) {
    enum Where { Both, Local, Server };
    // From, to, the answer; asked, renamed, "Can't rename file." told; where it applies.
    using Case =
        std::tuple<const char*, const char*, QMessageBox::StandardButton, bool, bool, bool, Where>;
    const Case cases[] = {
        {"old.txt", "new.txt", QMessageBox::No, true, false, false, Both},
        {"old.txt", "", QMessageBox::Yes, false, false, false, Both},
        {"old.txt", "old.txt", QMessageBox::Yes, false, false, false, Both},
        {"old.txt", "taken.txt", QMessageBox::Yes, true, false, true, Both}, // a listed name
        // Names that would leave the folder or break the command: refused before asking.
        {"old.txt", "sub/moved.txt", QMessageBox::Yes, false, false, true, Both},
        {"old.txt", "..\\up.txt", QMessageBox::Yes, false, false, true, Server}, // a slash there
        {"old.txt", "a\r\nDELE taken.txt", QMessageBox::Yes, false, false, true, Server},
        {"x ", "y", QMessageBox::Yes, true, true, false, Local}, // a name ending in a blank
        {"sub", "folder", QMessageBox::Yes, true, true, false, Both},
        {"old.txt", "new.txt", QMessageBox::Yes, true, true, false, Both},
    };
    for (const auto& [fromName, toName, answer, asked, renamed, cannot, where] : cases) {
        if (where == (GetParam() ? Local : Server)) continue;
        SCOPED_TRACE(std::string(fromName) + " -> " + toName);
        const QString from = QString::fromLatin1(fromName), to = QString::fromLatin1(toName);
        const QByteArray content = ReadAll(home().file(from)), replaced = ReadAll(home().file(to));
        script.shown.clear();
        script.kinds.clear();
        script.answer(answer);
        EXPECT_EQ(w.left->EndLabelEdit(Row(from), to), renamed);
        w.WaitListed();
        script.answers.clear();
        QStringList shown;
        if (asked) shown << "Do you want to rename file\n" + from + "\nto the file\n" + to + " ?";
        if (cannot) shown << "Can't rename file.";
        EXPECT_EQ(script.shown, shown);
        EXPECT_EQ(ReadAll(home().file(renamed ? to : from)), content);
        if (!renamed) EXPECT_EQ(ReadAll(home().file(to)), replaced);
        EXPECT_NE(Row(renamed ? to : from), -1);
    }
    EXPECT_EQ(script.kinds, QList<MessageKind>{MessageKind::StopQuestion});
    EXPECT_EQ(ReadAll(home().file("x")), "plain");
    EXPECT_TRUE(QFileInfo(home().file("folder")).isDir());
    EXPECT_FALSE(QFileInfo::exists(home().path() + "/../up.txt"));
    EXPECT_EQ(FocusedName(w.left->controller()), "new.txt");
    if (!GetParam()) EXPECT_EQ(Names(*w.right), Names(*w.left)) << "both panes refilled";

    // The file went away behind the pane's back; the parent row has no record to rename.
    QFile::remove(home().file("new.txt"));
    script.shown.clear();
    script.answer(QMessageBox::Yes);
    EXPECT_FALSE(w.left->EndLabelEdit(Row("new.txt"), "gone.txt"));
    EXPECT_EQ(script.shown.value(1), "Can't rename file.");
    EXPECT_FALSE(w.left->EndLabelEdit(0, "x"));
    EXPECT_EQ(script.shown.size(), 2);
}

INSTANTIATE_TEST_SUITE_P(LocalAndServer, RenameOnEitherSide, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Server" : "Local"; });

// The label editor, on the local folder.
using RenameLocally = RenameOnEitherSide;
INSTANTIATE_TEST_SUITE_P(Local, RenameLocally, ::testing::Values(false));

TEST_P(RenameLocally, EditorOpensOnTheCommandAndCommitsThroughTheQuestion) {
    w.Focus(&pane());
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
        w.WaitListed();
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
TEST_P(RenameLocally, NoEditorInAPaneOnAServerNotConnected) {
    pane().controller().SelectAndFocus(Row("old.txt"));
    EXPECT_TRUE(pane().controller().CanRename(Row("old.txt")));
    pane().controller().setSourceKind(kSourceFtp);
    EXPECT_FALSE(pane().controller().CanRename(Row("old.txt")));
    EXPECT_FALSE(pane().StartRename());
    EXPECT_EQ(Editor(pane()), nullptr);
    pane().controller().setSourceKind(kSourceLocal);
}
