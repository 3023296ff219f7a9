// Fast folders and shortcuts on real folders: the bytes of velmar.ffs, exact removal, the list
// in a pane and opening from it, Create Shortcut's dialogs in row order, links that launch.
#include "filemgr/FastFolders.h"
#include "PaneTestSupport.h"
#include "filemgr/FastFolderFile.h"
#include "platform/NameCodec.h"
#include "platform/Shell.h"

#include <QCheckBox>
#include <QPlainTextEdit>

using namespace velmar;
using namespace velmar::test;

namespace {

QByteArray Utf16Le(const QString& text) {
    QByteArray b;
    for (QChar c : text)
        b.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    return b;
}

class FastFolderTest : public PaneFolderTest {
protected:
    void SetUp() override {
        PaneFolderTest::SetUp();
        SetDataFolderForTesting(data.path());
        file = FastFolderFilePath();
    }
    void TearDown() override {
        SetDataFolderForTesting({});
        SetDialogHookForTesting(nullptr);
    }
    TempDir data;
    QString file;
    MessageScript messages;
};

TEST_F(FastFolderTest, FileBytesAreUtf16LeEntriesWithoutDuplicates) {
    ASSERT_TRUE(AddFastFolder(file, "/home/me/work/"));
    ASSERT_TRUE(AddFastFolder(file, "/d\u00e4t\u00e4/"));
    ASSERT_TRUE(AddFastFolder(file, "/home/me/work/"));
    EXPECT_EQ(ReadAll(file), Utf16Le("/home/me/work/;/d\u00e4t\u00e4/;"))
        << "no byte-order mark, no line breaks, one entry each";
    // A row reads as its folder and stands for exactly its own entry.
    for (const auto& [entry, row] : {std::pair{"/", "/"}, {"/A/B/", "/A/B"}, {"//", "//"}}) {
        EXPECT_EQ(FastFolderRowText(entry), row);
        EXPECT_EQ(FastFolderEntryOfRow(row), entry);
    }
}

TEST_F(FastFolderTest, EntriesAreAddedAndRemovedWhole) {
    // The file before, an entry added or removed (or nullptr), the file after.
    using Row = std::tuple<const char*, const char*, const char*, const char*>;
    const Row cases[] = {
        {"/A/B/;/B/;", nullptr, "/B/", "/A/B/;"}, // a substring of another entry
        {"/A/B/;/B/;", nullptr, "/A/B/", "/B/;"},
        {"/B/;/A/B/;/C/;", nullptr, "/B/", "/A/B/;/C/;"},
        {"/A/B/;", "/B/", nullptr, "/A/B/;/B/;"}, // "/B/" is not there yet
        {"/A/;", nullptr, "/X/", "/A/;"},
        // A ";" in a name is written twice and read back as one.
        {"/A/;", "/a;b/", nullptr, "/A/;/a;;b/;"},
        {"/a;;b/;/;;x;;/;", nullptr, "/a;b/", "/;;x;;/;"},
    };
    for (const auto& [before, add, remove, after] : cases) {
        ASSERT_TRUE(WriteRaw(QFile::encodeName(file), Utf16Le(QString::fromLatin1(before))));
        if (add) ASSERT_TRUE(AddFastFolder(file, QString::fromLatin1(add)));
        if (remove) ASSERT_TRUE(RemoveFastFolders(file, {QString::fromLatin1(remove)}));
        EXPECT_EQ(ReadFastFolderText(file), QString::fromLatin1(after)) << before;
        EXPECT_EQ(FastFolderText(FastFolderEntries(ReadFastFolderText(file))),
                  QString::fromLatin1(after));
    }
}

TEST_F(FastFolderTest, ListOpensAndDeletesInAPane) {
    PaneWindow w;
    PaneController& pane = w.left->controller();
    EXPECT_FALSE(pane.ShowFastFolders()) << "no file: nothing happens";
    EXPECT_EQ(pane.listMode(), ListMode::Folder);

    const QString a = PanePath(dir.path() + "/A");
    const QString b = PanePath(dir.path() + "/B");
    ASSERT_TRUE(AddFastFolder(file, a));
    ASSERT_TRUE(AddFastFolder(file, b));
    ASSERT_TRUE(w.left->OnCommand(ids::kCmdFastFolders));
    EXPECT_EQ(pane.listMode(), ListMode::FastFolders);
    EXPECT_EQ(pane.currentPath(), "/");
    // Rows read as the folders' full paths.
    EXPECT_EQ(Names(*w.left), (QStringList{"..", a.chopped(1), b.chopped(1)}));
    EXPECT_EQ(pane.model()->data(pane.model()->index(1, 1)).toString(), "<DIR>");

    // What would act on files (in the root the list stands in) is off, from this pane and
    // for copies into it; keys and menus share these checks, and the command does nothing.
    int dialogs = 0;
    SetDialogHookForTesting([&](QDialog* d) {
        ++dialogs;
        d->reject();
    });
    using Row = std::tuple<int, CPaneList*, bool>;
    const Row commands[] = {
        {ids::kCmdNewDir, w.left, false},         {ids::kCmdCopy, w.left, false},
        {ids::kCmdMove, w.left, false},           {ids::kCmdRename, w.left, false},
        {ids::kCmdProperties, w.left, false},     {ids::kCmdViewHex, w.left, false},
        {ids::kCmdCreateShortcut, w.left, false}, {ids::kCmdDirSizes, w.left, false},
        {ids::kCmdSearchFiles, w.left, false},    {ids::kCmdCopy, w.right, false},
        {ids::kCmdMove, w.right, false},          {ids::kCmdDelete, w.left, true},
        {ids::kCmdRefresh, w.left, true},         {ids::kCmdFastFolders, w.left, true},
    };
    for (const auto& [id, from, enabled] : commands) {
        EXPECT_EQ(Enabled(*from, id), enabled) << id;
        if (!enabled) EXPECT_TRUE(from->OnCommand(id)) << id;
    }
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(Names(*w.left).size(), 3);

    // A refill shows the list again, the cursor where it was.
    pane.SetMarksApartFromCursor(true);
    pane.MoveCursorTo(2);
    pane.RefillPane();
    EXPECT_EQ(pane.listMode(), ListMode::FastFolders);
    EXPECT_EQ(Names(*w.left), (QStringList{"..", a.chopped(1), b.chopped(1)}));
    EXPECT_EQ(pane.FocusedRow(), 2);

    // Delete asks, then takes the entry under the cursor out of the list, not the folder
    // off the disk; No keeps it.
    ASSERT_TRUE(w.left->OnCommand(ids::kCmdDelete));
    EXPECT_EQ(messages.shown, QStringList{"Remove " + b + " from the fast-folder list?"});
    EXPECT_EQ(ReadFastFolderText(file), a + ";" + b + ";");
    messages.answer(QMessageBox::Yes);
    ASSERT_TRUE(w.left->OnCommand(ids::kCmdDelete));
    EXPECT_EQ(ReadFastFolderText(file), a + ";");
    EXPECT_EQ(Names(*w.left), (QStringList{"..", a.chopped(1)}));
    EXPECT_TRUE(QFileInfo(b).isDir());

    pane.OpenRow(1);
    WaitListed(pane);
    EXPECT_EQ(pane.currentPath(), a);
    EXPECT_EQ(pane.listMode(), ListMode::Folder);
    EXPECT_EQ(Names(*w.left), (QStringList{"..", "inner"}));
}

TEST_F(FastFolderTest, CreateShortcutAsksPerRowInOrder) {
    dir.write("report.old.doc", "x");
    dir.write("run.sh", "#!/bin/sh\n");
    PaneWindow w;
    ShowFolder(*w.left, dir.path());
    PaneController& pane = w.left->controller();
    pane.SelectAndFocus(pane.FindRow("B"));
    Mark(*w.left, {"report.old.doc", "run.sh"}, true);

    QStringList asked;
    SetDialogHookForTesting([&](QDialog* d) {
        if (ControlIdOf(d) == ids::kDlgAddFastFolder) {
            asked << FindControl<QPlainTextEdit>(d, ids::kIdcFastFolderPath)->toPlainText();
        } else {
            ASSERT_EQ(ControlIdOf(d), ids::kDlgCreateShortcut);
            auto* name = FindControl<QLineEdit>(d, ids::kIdcShortcutName);
            auto* special = FindControl<QCheckBox>(d, ids::kIdcShortcutSpecial);
            EXPECT_TRUE(special->isChecked());
            asked << name->text();
            // The second one goes to the current folder.
            special->setChecked(name->text() != QLatin1String("report_old_doc"));
        }
        d->accept();
    });
    ASSERT_TRUE(w.left->OnCommand(ids::kCmdCreateShortcut));
    // The folder row first, then the files in row order.
    EXPECT_EQ(asked, (QStringList{PanePath(dir.path() + "/B"), "report_old_doc", "run_sh"}));
    EXPECT_EQ(ReadFastFolderText(file), PanePath(dir.path() + "/B") + ";");
    EXPECT_EQ(QFileInfo(dir.file("report_old_doc.lnk")).symLinkTarget(),
              dir.file("report.old.doc"));
    EXPECT_EQ(QFileInfo(ShortcutFolder() + "run_sh.lnk").symLinkTarget(), dir.file("run.sh"));
    // Names that are not UTF-8 link by their own bytes.
    const QString raw = platform::DecodeName(QByteArray("caf\xe9"));
    ASSERT_TRUE(CreateShortcutLink(dir.path() + "/", raw, dir.file(raw)));
    EXPECT_EQ(platform::LinkTarget(dir.file(raw + ".lnk")), dir.file(raw));

    // Again: the link is there, and the user hears of it.
    w.WaitListed();
    pane.SelectAndFocus(pane.FindRow("run.sh"));
    ASSERT_TRUE(w.left->OnCommand(ids::kCmdCreateShortcut));
    EXPECT_EQ(messages.shown, QStringList{"Can't create shortcut run_sh.lnk"});
}

TEST_F(FastFolderTest, ShortcutsShowsTheShortcutFolderAndCommandStates) {
    PaneWindow w;
    ShowFolder(*w.left, dir.path());
    ASSERT_TRUE(w.left->OnCommand(ids::kCmdShortcuts));
    w.WaitListed();
    EXPECT_EQ(w.left->controller().currentPath(), ShortcutFolder());
    EXPECT_TRUE(QFileInfo(ShortcutFolder()).isDir());

    // Local pane, FTP pane, local pane on the parent row.
    ShowFolder(*w.left, dir.path());
    w.left->controller().SelectAndFocus(w.left->controller().FindRow("b"));
    for (int id : {ids::kCmdFastFolders, ids::kCmdShortcuts, ids::kCmdCreateShortcut}) {
        std::vector<bool> enabled;
        for (int source : {kSourceLocal, kSourceFtp, kSourceLocal}) {
            w.left->controller().setSourceKind(source);
            if (enabled.size() == 2) w.left->controller().SelectAndFocus(0);
            enabled.push_back(Enabled(*w.left, id));
        }
        EXPECT_EQ(enabled, (std::vector<bool>{true, false, id != ids::kCmdCreateShortcut})) << id;
        w.left->controller().SelectAndFocus(w.left->controller().FindRow("b"));
    }
}

} // namespace
