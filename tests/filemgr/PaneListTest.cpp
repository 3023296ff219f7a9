// The pane on real folders: listing rules, sorting through the header, selection,
// navigation, keyboard, the entry posting of the listing thread and the model's contract.
#include "PaneTestSupport.h"
#include "filemgr/Launch.h"
#include "res/Ids.h"
#include "support/MessageScript.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QTest>
#include <gtest/gtest.h>

using namespace velmar;
using namespace velmar::test;

namespace {

using PaneListTest = PaneFolderTest;

QString HeaderText(CPaneList& pane, int column) {
    return pane.model()->headerData(column, Qt::Horizontal).toString();
}

void ClickHeader(CPaneList& pane, int column) {
    QHeaderView* header = pane.horizontalHeader();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

void AddToSelection(CPaneList& pane, int row) {
    pane.selectionModel()->select(pane.model()->index(row, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void MoveFocus(CPaneList& pane, int row) {
    pane.selectionModel()->setCurrentIndex(pane.model()->index(row, 0),
                                           QItemSelectionModel::NoUpdate);
}

} // namespace

TEST_F(PaneListTest, ListsFoldersFirstWithParentRowAndSizeTexts) {
    PaneWindow w;
    ShowFolder(*w.left, dir.path());
    // Unsorted: delivery order, parent row first, folders before files.
    const QStringList names = Names(*w.left);
    ASSERT_EQ(names.size(), 7);
    EXPECT_EQ(names[0], "..");
    EXPECT_TRUE(w.left->IsParentRow(0));
    EXPECT_TRUE(w.left->IsFolderRow(0));
    EXPECT_EQ(QSet<QString>(names.begin() + 1, names.begin() + 3), (QSet<QString>{"A", "B"}));
    EXPECT_EQ(QSet<QString>(names.begin() + 3, names.end()),
              (QSet<QString>{"a.txt", "b", "c.doc", ".hidden"}));
    CPaneModel* m = w.left->paneModel();
    auto size = [&](const QString& name) {
        return m->data(m->index(w.left->FindRow(name), 1)).toString();
    };
    EXPECT_EQ(m->data(m->index(0, 1)).toString(), "<DIR>");
    EXPECT_EQ(size("A"), "<DIR>");
    EXPECT_EQ(size("a.txt"), "2 k");
    EXPECT_EQ(size("b"), "300 b");
    EXPECT_FALSE(w.left->IsFolderRow(w.left->FindRow("a.txt")));
    EXPECT_EQ(HeaderText(*w.left, 0), "Name/Ext");
    EXPECT_EQ(HeaderText(*w.left, 1), "Size");

    // At the local root there is no parent row.
    ShowFolder(*w.left, "/");
    EXPECT_FALSE(w.left->IsParentRow(0));
    EXPECT_NE(w.left->RowName(0), "..");

    // A folder that cannot be listed shows only the parent row, without a message.
    MessageScript script;
    ShowFolder(*w.left, dir.file("missing"));
    EXPECT_EQ(Names(*w.left), QStringList{".."});
    EXPECT_TRUE(script.shown.isEmpty());
}

TEST_F(PaneListTest, HeaderClicksCycleModesSharedByBothPanesKeepingTheSelection) {
    PaneWindow w;
    ShowFolder(*w.left, dir.path());
    ShowFolder(*w.right, dir.path());
    WriteStoreSetting("ShowHidden", 0);
    w.left->OnUpdate(nullptr);
    w.right->OnUpdate(nullptr);

    ClickHeader(*w.left, 0);
    EXPECT_EQ(SortMode, 0);
    EXPECT_EQ(HeaderText(*w.left, 0), "^ Name/Ext");
    EXPECT_EQ(Names(*w.left), (QStringList{"..", "B", "A", "c.doc", "b", "a.txt"}));
    ClickHeader(*w.left, 0);
    EXPECT_EQ(HeaderText(*w.left, 0), "v Name/Ext");
    EXPECT_EQ(Names(*w.left), (QStringList{"..", "A", "B", "a.txt", "b", "c.doc"}));
    ClickHeader(*w.left, 0);
    EXPECT_EQ(HeaderText(*w.left, 0), "Name/^ Ext");
    EXPECT_EQ(Names(*w.left), (QStringList{"..", "B", "A", "b", "a.txt", "c.doc"}));
    ClickHeader(*w.left, 0);
    EXPECT_EQ(HeaderText(*w.left, 0), "Name/v Ext");
    EXPECT_EQ(Names(*w.left), (QStringList{"..", "A", "B", "c.doc", "a.txt", "b"}));

    // Size after name mode 3 keeps mode 3: largest first.
    ClickHeader(*w.left, 1);
    EXPECT_EQ(SortMode, 3);
    EXPECT_EQ(HeaderText(*w.left, 0), "Name/Ext");
    EXPECT_EQ(HeaderText(*w.left, 1), "^ Size");
    EXPECT_EQ(Names(*w.left), (QStringList{"..", "A", "B", "a.txt", "b", "c.doc"}));
    ClickHeader(*w.left, 1);
    EXPECT_EQ(HeaderText(*w.left, 1), "v Size");
    EXPECT_EQ(Names(*w.left), (QStringList{"..", "B", "A", "c.doc", "b", "a.txt"}));
    ClickHeader(*w.left, 1);
    EXPECT_EQ(SortMode, 1);

    // A refill keeps the column, the order and the header.
    w.left->RefillPane();
    EXPECT_EQ(HeaderText(*w.left, 1), "^ Size");
    EXPECT_EQ(Names(*w.left), (QStringList{"..", "A", "B", "a.txt", "b", "c.doc"}));

    // The other pane uses the same mode once it sorts: its first name click keeps mode 1.
    w.right->SortByColumn(0);
    EXPECT_EQ(SortMode, 1);
    EXPECT_EQ(HeaderText(*w.right, 0), "v Name/Ext");
    EXPECT_EQ(Names(*w.right), (QStringList{"..", "A", "B", "a.txt", "b", "c.doc"}));
    // Sorting keeps the selection and the focus on the same rows.
    w.right->SelectAndFocus(w.right->FindRow("b"));
    AddToSelection(*w.right, w.right->FindRow("A"));
    w.right->SortByColumn(0);
    std::vector<int> rows;
    ASSERT_EQ(w.right->CollectSelection(&rows, nullptr), 2);
    EXPECT_EQ(rows, (std::vector<int>{w.right->FindRow("A"), w.right->FindRow("b")}));
    EXPECT_EQ(w.right->RowName(w.right->FocusedRow()), "b");
}

TEST_F(PaneListTest, CollectSelectionSkipsParentRowAndCountsFiles) {
    PaneWindow w;
    ShowFolder(*w.left, dir.path());
    std::vector<int> rows;
    int files = -1;
    w.left->selectionModel()->clear();
    EXPECT_EQ(w.left->CollectSelection(&rows, &files), 0);
    EXPECT_EQ(files, 0);
    MoveFocus(*w.left, 0); // only the parent row
    EXPECT_EQ(w.left->CollectSelection(&rows, &files), 0);
    const int c = w.left->FindRow("c.doc");
    MoveFocus(*w.left, c);
    EXPECT_EQ(w.left->CollectSelection(&rows, &files), 1);
    EXPECT_EQ(rows, std::vector<int>{c});
    EXPECT_EQ(files, 1);
    // Invert selects every row, the parent row too; the collection leaves it out.
    w.left->OnCommand(ids::kCmdInvertSelection);
    EXPECT_EQ(w.left->selectionModel()->selectedRows().size(), w.left->RowCount());
    rows.clear();
    EXPECT_EQ(w.left->CollectSelection(&rows, &files), w.left->RowCount() - 1);
    EXPECT_EQ(files, 4);
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end()));
    EXPECT_EQ(rows.front(), 1);
    w.left->InvertSelection();
    EXPECT_TRUE(w.left->selectionModel()->selectedRows().isEmpty());
    AddToSelection(*w.left, 2);
    w.left->InvertSelection();
    EXPECT_FALSE(w.left->selectionModel()->isRowSelected(2, {}));
    EXPECT_EQ(w.left->selectionModel()->selectedRows().size(), w.left->RowCount() - 1);
}

TEST_F(PaneListTest, NavigationEntersAndReturnsSelectingTheFolderLeft) {
    PaneWindow w;
    ShowFolder(*w.left, dir.path());
    const QString top = PanePath(dir.path());
    w.left->OpenRow(w.left->FindRow("A"));
    EXPECT_EQ(w.left->currentPath(), top + "A/");
    EXPECT_EQ(Names(*w.left), (QStringList{"..", "inner"}));
    EXPECT_EQ(w.left->FocusedRow(), 0);
    EXPECT_TRUE(w.left->selectionModel()->isRowSelected(0, {}));

    w.left->OpenRow(1);
    EXPECT_EQ(w.left->currentPath(), top + "A/inner/");
    w.left->OpenRow(0);
    EXPECT_EQ(w.left->currentPath(), top + "A/");
    EXPECT_EQ(w.left->RowName(w.left->FocusedRow()), "inner");
    w.left->OpenRow(0);
    EXPECT_EQ(w.left->currentPath(), top);
    EXPECT_EQ(w.left->RowName(w.left->FocusedRow()), "A");
    EXPECT_EQ(w.left->selectionModel()->selectedRows().size(), 1);

    // From a folder just below the root, ".." lands on the root without a parent row.
    w.left->setCurrentPath("/tmp/");
    w.left->RefillPane();
    w.left->OpenRow(0);
    EXPECT_EQ(w.left->currentPath(), "/");
    EXPECT_NE(w.left->RowName(0), "..");
    EXPECT_EQ(w.left->RowName(w.left->FocusedRow()), "tmp");
}

TEST_F(PaneListTest, KeyboardOpensAndMarks) {
    PaneWindow w;
    ShowFolder(*w.left, dir.path());
    w.Focus(w.left);
    ASSERT_TRUE(w.left->hasFocus());
    EXPECT_EQ(w.host.active, w.left);

    // Enter on a folder enters it; Backspace comes back with the folder selected.
    w.left->SelectAndFocus(w.left->FindRow("B"));
    QTest::keyClick(w.left, Qt::Key_Return);
    EXPECT_EQ(w.left->currentPath(), PanePath(dir.path()) + "B/");
    QTest::keyClick(w.left, Qt::Key_Backspace);
    EXPECT_EQ(w.left->currentPath(), PanePath(dir.path()));
    EXPECT_EQ(w.left->RowName(w.left->FocusedRow()), "B");

    // Insert toggles the focused row and moves down, leaving other rows alone.
    w.left->selectionModel()->clear();
    MoveFocus(*w.left, 1);
    QTest::keyClick(w.left, Qt::Key_Insert);
    QTest::keyClick(w.left, Qt::Key_Insert);
    EXPECT_TRUE(w.left->selectionModel()->isRowSelected(1, {}));
    EXPECT_TRUE(w.left->selectionModel()->isRowSelected(2, {}));
    EXPECT_EQ(w.left->FocusedRow(), 3);
    // The arrows, pages, Home and End move the focus and keep the marks (LikeNC style).
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_Home})
        QTest::keyClick(w.left, key);
    EXPECT_EQ(w.left->FocusedRow(), 0);
    QTest::keyClick(w.left, Qt::Key_End);
    EXPECT_EQ(w.left->FocusedRow(), w.left->RowCount() - 1);
    MoveFocus(*w.left, 1);
    QTest::keyClick(w.left, Qt::Key_Insert);
    EXPECT_FALSE(w.left->selectionModel()->isRowSelected(1, {}));
    EXPECT_TRUE(w.left->selectionModel()->isRowSelected(2, {}));

    // The focused row's full path reaches the frame.
    w.left->SelectAndFocus(w.left->FindRow("a.txt"));
    ASSERT_FALSE(w.host.pathTexts.isEmpty());
    EXPECT_EQ(w.host.pathTexts.last(), PanePath(dir.path()) + "a.txt");
}

TEST_F(PaneListTest, DoubleClickOpensOnlyOnALabel) {
    WriteStoreSetting("LikeNC", 0);
    PaneWindow w;
    ShowFolder(*w.left, dir.path());
    w.Focus(w.left);
    const int a = w.left->FindRow("A");
    const QRect cell = w.left->visualRect(w.left->model()->index(a, 0));
    // Beside the text, in the plain style: nothing.
    QTest::mouseDClick(w.left->viewport(), Qt::LeftButton, {},
                       QPoint(cell.right() - 2, cell.center().y()));
    EXPECT_EQ(w.left->currentPath(), PanePath(dir.path()));
    // Below the last row: nothing.
    QTest::mouseDClick(w.left->viewport(), Qt::LeftButton, {},
                       QPoint(5, w.left->viewport()->height() - 2));
    EXPECT_EQ(w.left->currentPath(), PanePath(dir.path()));
    // On the name: enters.
    QTest::mouseDClick(w.left->viewport(), Qt::LeftButton, {},
                       QPoint(cell.left() + 4, cell.center().y()));
    EXPECT_EQ(w.left->currentPath(), PanePath(dir.path()) + "A/");
}

// The bar each style asks for is checked through the real frame (MainFrameTest).
TEST_F(PaneListTest, StyleSetsColumnsAndColours) {
    PaneWindow w;
    EXPECT_EQ(w.left->style(), 1); // the default: LikeNC
    EXPECT_EQ(w.left->palette().color(QPalette::Base), QColor(0, 0, 143));
    ShowFolder(*w.left, dir.path());
    w.window.show();
    QApplication::processEvents();
    // Below the last row the list shows its background.
    const QImage image = w.window.grab().toImage();
    const QPoint empty =
        w.left->viewport()->mapTo(&w.window, QPoint(10, w.left->viewport()->height() - 5));
    EXPECT_EQ(image.pixelColor(empty * image.devicePixelRatio()), QColor(0, 0, 143));
    // The header: dark blue with a cyan line under its titles.
    QHeaderView* header = w.left->horizontalHeader();
    const QPoint top = header->mapTo(&w.window, QPoint(header->width() / 2, 1));
    const QPoint line = header->mapTo(&w.window, QPoint(header->width() / 2, header->height() - 1));
    EXPECT_EQ(image.pixelColor(top * image.devicePixelRatio()), QColor(0, 0, 143));
    EXPECT_EQ(image.pixelColor(line * image.devicePixelRatio()), QColor(0, 255, 255));
    w.left->ApplyPaneStyle(0, 1);
    EXPECT_NE(w.left->palette().color(QPalette::Base), QColor(0, 0, 143));
    // Plain stays plain without asking the frame again.
    const size_t calls = w.host.menuBars.size();
    w.left->ApplyPaneStyle(0, 0);
    EXPECT_EQ(w.host.menuBars.size(), calls);

    // Column widths: the size column fits " 999.9 M ", the name column takes the rest.
    w.left->resize(240, 200);
    QApplication::processEvents();
    w.left->ApplyPaneStyle(1, 1);
    const int sizeWidth = w.left->fontMetrics().horizontalAdvance(" 999.9 M ");
    EXPECT_EQ(w.left->columnWidth(1), sizeWidth);
    EXPECT_EQ(w.left->columnWidth(0), w.left->viewport()->width() - sizeWidth);
    // A very narrow pane keeps a name column of 40.
    w.left->setMinimumWidth(0);
    w.left->resize(30, 200);
    QApplication::processEvents();
    w.left->ApplyPaneStyle(1, 1);
    EXPECT_EQ(w.left->columnWidth(0), 40);
}

TEST_F(PaneListTest, CommandStatesFollowTheFocusedRow) {
    PaneWindow w;
    ShowFolder(*w.left, dir.path());
    auto state = [&](int id) {
        CommandState s;
        EXPECT_TRUE(w.left->OnUpdateCommand(id, s));
        return s.enabled;
    };
    // Parent row, folder, file: {view hex, edit hex, rename, properties, invert, copy, move,
    // delete, new dir, dir sizes}.
    const std::pair<QString, std::vector<bool>> rows[] = {
        {"..", {false, false, false, false, true, false, false, false, true, true}},
        {"A", {false, false, true, true, true, true, true, true, true, true}},
        {"b", {true, true, true, true, true, true, true, true, true, true}}};
    for (const auto& [name, want] : rows) {
        w.left->SelectAndFocus(w.left->FindRow(name));
        EXPECT_EQ((std::vector<bool>{state(ids::kCmdViewHex), state(ids::kCmdEditHex),
                                     state(ids::kCmdRename), state(ids::kCmdProperties),
                                     state(ids::kCmdInvertSelection), state(ids::kCmdCopy),
                                     state(ids::kCmdMove), state(ids::kCmdDelete),
                                     state(ids::kCmdNewDir), state(ids::kCmdDirSizes)}),
                  want)
            << name.toStdString();
    }
}

TEST_F(PaneListTest, ModelPassesTheTesterThroughRefillSortInsertAndRename) {
    PaneWindow w;
    CPaneList& pane = *w.left;
    QAbstractItemModelTester tester(pane.model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    ShowFolder(pane, dir.path());
    pane.SortByColumn(0);
    pane.SortByColumn(1);
    pane.SortByColumn(1);
    pane.paneModel()->InsertRow(99, PaneRow::FolderLabel("zz"));
    EXPECT_EQ(pane.RowName(pane.RowCount() - 1), "zz");
    pane.paneModel()->RenameRow(1, "renamed");
    pane.OpenRow(pane.FindRow("A"));
    pane.paneModel()->Clear();
    EXPECT_EQ(pane.RowCount(), 0);
    EXPECT_FALSE(pane.model()->flags(pane.model()->index(0, 0)) & Qt::ItemIsEditable);
}
