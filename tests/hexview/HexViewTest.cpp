// The hex window on real files: rows read from disk (a sparse 16 GiB file too), the
// editors with their questions, writing in place, Find with its remembered values, the
// pop-up menus, the open failures, and the pane commands that open it.
#include "hexview/HexView.h"
#include "../filemgr/PaneTestSupport.h"
#include "framework/Dialogs.h"
#include "hexview/HexViewDialog.h"
#include "platform/BlockFile.h"
#include "res/Ids.h"
#include "settings/SearchMemory.h"
#include "support/MessageScript.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

using namespace velmar;
using namespace velmar::test;

namespace {

using platform::BlockFile;

QByteArray Letters(int n) {
    return QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZ").repeated(n / 26 + 1).left(n);
}

// Read apart from the code under test.
QByteArray ReadBack(const QString& path, qint64 offset, int n) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.seek(offset) ? f.read(n) : QByteArray();
}

struct HexWindowTest : ::testing::Test {
    void TearDown() override { SetDialogHookForTesting(nullptr); }

    std::unique_ptr<HexViewDialog> Open(const QString& path, bool readOnly) {
        auto file = std::make_unique<BlockFile>();
        const bool opened = file->Open(path, readOnly ? BlockFile::Mode::ReadShared
                                                      : BlockFile::Mode::ReadWriteExclusive);
        EXPECT_TRUE(opened) << path.toStdString();
        if (!opened) return nullptr;
        auto dialog = std::make_unique<HexViewDialog>(std::move(file), path, readOnly);
        dialog->resize(640, 400);
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        view = dialog->view();
        view->setFocus();
        QApplication::processEvents();
        return dialog;
    }

    // Opens the editor over a cell, types, and leaves it by giving the rows the focus.
    void EditCell(qint64 row, int column, const QString& typed, int caret = 0) {
        ASSERT_TRUE(view->BeginEdit(row, column));
        view->editor()->setCursorPosition(caret);
        QTest::keyClicks(view->editor(), typed);
        view->setFocus();
        QApplication::processEvents();
        EXPECT_EQ(view->editor(), nullptr) << "leaving the cell closes its editor";
    }

    TempDir dir;
    MessageScript messages;
    HexView* view = nullptr; // the last window's
};

TEST_F(HexWindowTest, SparseFileOf16GiBFirstAndLastRowsAndAnEditAbove4GiB) {
    const qint64 length = 16LL << 30;
    const QString path = dir.write("big.bin", "HEAD");
    {
        QFile f(path); // written past its end: sparse
        ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.seek(length - 4) && f.write("TAIL") == 4);
    }
    auto dialog = Open(path, false);
    ASSERT_TRUE(dialog);
    const HexLayout& l = view->layout();
    const int b = l.bytesPerRow();
    EXPECT_EQ(view->TextsOfRow(0).hex.left(11), "48 45 41 44");

    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(view->topRow(), l.maxTopRow(view->visibleRows()));
    const qint64 lastFull = (length - 1) / b;
    EXPECT_TRUE(view->TextsOfRow(lastFull).text.endsWith("TAIL"));
    EXPECT_EQ(view->TextsOfRow(lastFull).offset, HexLayout::OffsetText(lastFull * b));
    EXPECT_EQ(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());

    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(view->topRow(), 0);
    // From the first row an offset above 4 GiB can be typed: the cell has its ninth digit.
    EditCell(0, 0, "100000000");
    EXPECT_GE(l.rowOf(4LL << 30), view->topRow());
    EXPECT_LT(l.rowOf(4LL << 30), view->topRow() + view->visibleRows());
    const qint64 before = view->topRow();
    EditCell(before, 0, "fffffffff");
    EXPECT_EQ(view->topRow(), before) << "past the end: nothing moves";

    // An edit in the row at 5 GiB: its first byte becomes 0xAB.
    const qint64 row = l.rowOf(5LL << 30);
    const qint64 at = l.rowOffset(row);
    view->ScrollToTop(row);
    messages.answer(QMessageBox::Yes);
    EditCell(row, 1, "ab");
    EXPECT_EQ(messages.shown, QStringList{"Write changes?"});
    dialog.reset();
    EXPECT_EQ(ReadBack(path, at, 2), QByteArray("\xab\x00", 2));
    EXPECT_EQ(QFileInfo(path).size(), length);
}

// (Short files: the pane command below opens one of five bytes.)
TEST_F(HexWindowTest, AnEmptyFileShowsOneEmptyRow) {
    auto empty = Open(dir.write("empty", {}), true);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(view->TextsOfRow(0).hex.isEmpty());
}

TEST_F(HexWindowTest, EditorsByModeAndAnswer) {
    const QString path = dir.write("data", Letters(0x400));
    {
        auto dialog = Open(path, true);
        EXPECT_FALSE(view->BeginEdit(0, 1)) << "read-only: no hex editor";
        EXPECT_FALSE(view->BeginEdit(0, 2)) << "the text column is never edited";
        EXPECT_TRUE(view->BeginEdit(0, 0)) << "the offset column is, in either mode";
        view->setFocus();
    }
    // No discards, Yes writes; either way the row shows what the disk holds.
    for (const auto& [answer, expected] : {std::pair{QMessageBox::No, QByteArray("A")},
                                           std::pair{QMessageBox::Yes, QByteArray("\xa1")}}) {
        SCOPED_TRACE(answer);
        auto dialog = Open(path, false);
        messages.shown.clear();
        messages.answer(answer);
        EditCell(0, 1, "a");
        EXPECT_EQ(messages.shown, QStringList{"Write changes?"});
        EXPECT_EQ(ReadBack(path, 0, 1), expected);
        EXPECT_EQ(view->TextsOfRow(0).hex.left(2), HexLayout::HexText(expected, 4).left(2));
    }
    // Typing the row's own digits again asks nothing.
    auto dialog = Open(path, false);
    messages.shown.clear();
    EditCell(0, 1, "A1");
    EXPECT_TRUE(messages.shown.isEmpty());
}

// Text that would change the cell's length is refused whichever way it comes, so a write
// covers exactly the row's bytes.
TEST_F(HexWindowTest, ACellKeepsItsLengthWhateverWayTextComesIn) {
    const QString path = dir.write("data", Letters(64));
    auto dialog = Open(path, false);
    ASSERT_TRUE(view->BeginEdit(0, 1));
    HexEditBox* box = view->editor();
    const QString start = box->text();
    QApplication::clipboard()->setText("77 77");
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_7, Qt::AltModifier);
    box->insert("7"); // what a middle-click paste or a drop does inside a line edit
    EXPECT_EQ(box->text(), start);
    // An input method's committed text overwrites as typed keys do.
    box->setCursorPosition(0);
    QInputMethodEvent typed;
    typed.setCommitString("7");
    QApplication::sendEvent(box, &typed);
    EXPECT_EQ(box->text(), "7" + start.mid(1));
    messages.answer(QMessageBox::Yes);
    view->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(ReadBack(path, 0, 64), "q" + Letters(64).mid(1));
}

TEST_F(HexWindowTest, AWriteIntoAShrunkFileFailsAndNeverGrowsIt) {
    const QString path = dir.write("data", Letters(64));
    auto dialog = Open(path, false);
    ASSERT_TRUE(view->BeginEdit(1, 1));
    ASSERT_TRUE(QFile::resize(path, 2)); // someone else truncates it meanwhile
    messages.answer(QMessageBox::Yes);
    QTest::keyClicks(view->editor(), "00");
    view->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(messages.shown, (QStringList{"Write changes?", "Can't write changes to the file."}));
    EXPECT_EQ(QFileInfo(path).size(), 2);
}

TEST_F(HexWindowTest, FilesThatCannotBeOpened) {
    const QString busy = dir.write("busy", "x");
    BlockFile editor;
    ASSERT_TRUE(editor.Open(busy, BlockFile::Mode::ReadWriteExclusive));
    const QString fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // The path, read-only.
    const std::pair<QString, bool> cases[] = {
        {dir.file("missing"), true},
        {dir.mkdir("folder"), true},
        {fifo, true}, // would block forever on open
        {busy, false},
        {busy, true},
    };
    int windows = 0;
    SetDialogHookForTesting([&](QDialog*) { ++windows; });
    for (const auto& [path, readOnly] : cases) {
        messages.shown.clear();
        EXPECT_FALSE(RunHexView(path, readOnly, nullptr)) << path.toStdString();
        EXPECT_EQ(messages.shown, QStringList{"File can't be opened"});
    }
    EXPECT_EQ(windows, 0);
    editor.Close();
    EXPECT_TRUE(RunHexView(busy, false, nullptr));
    EXPECT_EQ(windows, 1);
}

TEST_F(HexWindowTest, FindFromTheTopRowWithRememberedValues) {
    QByteArray data = Letters(0x2000);
    data.replace(0x1000, 6, "needle");
    data.replace(0x1800, 2, "\xde\xad");
    const QString path = dir.write("data", data);
    auto dialog = Open(path, true);
    const int b = view->layout().bytesPerRow();
    RememberedSearch() = SearchMemory{};

    // The text, hex, case sensitive, and where it is found (-1: nowhere).
    const std::tuple<const char*, bool, bool, qint64> steps[] = {
        {"NEEDLE", false, false, 0x1000},
        {"NEEDLE", false, true, -1},
        {"de AD", true, false, 0x1800},
        {"needle", false, false, -1}, // searched from the top row, which is past it now
    };
    QStringList shownDefaults; // what each dialog offered: the last search's text and form
    for (const auto& [search, hexForm, caseSensitive, foundAt] : steps) {
        SetDialogHookForTesting([&](QDialog* d) {
            auto* text = FindControl<QLineEdit>(d, ids::kIdcFindText);
            auto* hex = FindControl<QCheckBox>(d, ids::kIdcFindHex);
            auto* cs = FindControl<QCheckBox>(d, ids::kIdcFindCase);
            ASSERT_TRUE(text && hex && cs);
            EXPECT_FALSE(cs->isChecked()) << "case always starts unchecked";
            shownDefaults << text->text() << (hex->isChecked() ? "hex" : "text");
            text->setText(QString::fromLatin1(search));
            hex->setChecked(hexForm);
            cs->setChecked(caseSensitive);
            d->accept();
        });
        messages.shown.clear();
        QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
        if (foundAt < 0) {
            EXPECT_EQ(messages.shown, QStringList{"Search string not found"}) << search;
            continue;
        }
        EXPECT_TRUE(messages.shown.isEmpty()) << search;
        EXPECT_EQ(std::pair(view->markRow(), view->topRow()), std::pair(foundAt / b, foundAt / b))
            << search;
    }
    EXPECT_EQ(shownDefaults,
              (QStringList{"", "text", "NEEDLE", "text", "NEEDLE", "text", "de AD", "hex"}));
    const SearchMemory& kept = RememberedSearch();
    EXPECT_EQ(std::tuple(kept.text, kept.hex, kept.caseSensitive), std::tuple("needle", 0, 1));

    // An empty text is not remembered; a cancelled dialog searches nothing.
    SetDialogHookForTesting([](QDialog* d) {
        FindControl<QLineEdit>(d, ids::kIdcFindText)->clear();
        d->reject();
    });
    messages.shown.clear();
    dialog->Search();
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(RememberedSearch().text, "needle");
}

// Find runs beside the window: Esc, taken once the wait cursor shows, ends a search through a
// sparse 1 TiB file of zeros and leaves the window as it was.
TEST_F(HexWindowTest, EscStopsALongFind) {
    const QString path = dir.file("huge");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(1LL << 40));
    }
    auto dialog = Open(path, true);
    SetDialogHookForTesting([](QDialog* d) {
        FindControl<QLineEdit>(d, ids::kIdcFindText)->setText("needle");
        d->accept();
    });
    view->ScrollToTop(1000);
    bool sawWait = false;
    QTimer esc;
    QObject::connect(&esc, &QTimer::timeout, [&] {
        const QCursor* cursor = QApplication::overrideCursor();
        if (!cursor || cursor->shape() != Qt::WaitCursor) return;
        sawWait = true;
        esc.stop();
        QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier); // a second Find is refused
        QTest::keyClick(view, Qt::Key_Escape);
    });
    esc.start(5);
    dialog->Search();
    EXPECT_TRUE(sawWait);
    EXPECT_TRUE(messages.shown.isEmpty()) << "a stopped search has nothing to tell";
    EXPECT_EQ(view->topRow(), 1000);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(dialog->isVisible()) << "Esc stopped the search, not the window";
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(view->topRow(), 0);
}

TEST_F(HexWindowTest, PopupMenusOpenSearch) {
    auto dialog = Open(dir.write("data", Letters(100)), true);
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(20, 20), QPoint(20, 20));
    QApplication::sendEvent(view->viewport(), &rightClick);
    ASSERT_TRUE(view->popup());
    EXPECT_EQ(view->popup()->title(), "HexMenu1");
    QContextMenuEvent hold(QContextMenuEvent::Other, QPoint(20, 20), QPoint(20, 20));
    QApplication::sendEvent(view->viewport(), &hold);
    EXPECT_EQ(view->popup()->title(), "HexMenu");
    emit view->header()->sectionClicked(1);
    ASSERT_TRUE(view->popup());
    EXPECT_EQ(view->popup()->title(), "HexMenu");

    ASSERT_EQ(view->popup()->actions().size(), 1);
    QAction* search = view->popup()->actions().first();
    EXPECT_EQ(search->text(), "Search");
    EXPECT_EQ(search->data().toInt(), ids::kCmdHexSearch);
    int findDialogs = 0;
    SetDialogHookForTesting([&](QDialog* d) {
        findDialogs += ControlIdOf(d) == ids::kDlgHexFind;
        d->reject();
    });
    search->trigger();
    QApplication::processEvents();
    EXPECT_EQ(findDialogs, 1);
}

// Which command is enabled on which row: the pane's tests.
TEST_F(HexWindowTest, PaneCommandsOpenTheFocusedFile) {
    ResetPaneSettings();
    dir.write("a.txt", "hello");
    PaneWindow w;
    ShowFolder(*w.left, dir.path());
    w.left->controller().SelectAndFocus(w.left->controller().FindRow("a.txt"));
    for (const auto& [command, header] : {std::pair{ids::kCmdViewHex, "HEX(view:a.txt)"},
                                          std::pair{ids::kCmdEditHex, "HEX(edit:a.txt)"}}) {
        QString shown, title;
        SetDialogHookForTesting([&](QDialog* d) {
            auto* hex = FindControl<HexView>(d, ids::kIdcHexList);
            ASSERT_TRUE(hex);
            shown = hex->header()->model()->headerData(1, Qt::Horizontal).toString();
            title = d->windowTitle();
            EXPECT_EQ(hex->TextsOfRow(0).text, "hello"); // a row longer than the file
        });
        EXPECT_TRUE(w.left->OnCommand(command));
        EXPECT_EQ(shown, QString::fromLatin1(header));
        EXPECT_EQ(title, "a.txt");
    }
}

} // namespace
