// The pane on real folders: listing rules, sorting through the header, selection,
// navigation, keyboard, the entry posting of the listing thread and the model's contract; the
// order rules on records alone, where the header cannot reach (code-unit order, the joined
// extension key, sizes above 4 GiB, the ROM filter).
#include "PaneTestSupport.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <optional>

using namespace velmar;
using namespace velmar::test;

namespace {

// Two panes, the left one showing the test folder.
struct PaneListTest : PaneFolderTest {
    void SetUp() override {
        PaneFolderTest::SetUp();
        window.emplace();
        left = window->left;
        ShowFolder(*left, dir.path());
    }
    PaneController& pane() { return left->controller(); }
    // The left pane in the commander style (`likeNc`) or the plain one, listed again.
    void Restyle(int likeNc) {
        WriteStoreSetting("LikeNC", likeNc);
        left->OnUpdate(nullptr);
        WaitListed(pane());
    }
    std::optional<PaneWindow> window;
    CPaneList* left = nullptr;
};

QString HeaderText(CPaneList& pane, int column) {
    return pane.model()->headerData(column, Qt::Horizontal).toString();
}

void ClickHeader(CPaneList& pane, int column) {
    QHeaderView* header = pane.horizontalHeader();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

FindRecord File(const QString& name, uint64_t size = 0, uint32_t extra = 0) {
    FindRecord r;
    r.name = name;
    r.attributes = attr::Archive | extra;
    r.size = size;
    return r;
}

void MoveFocus(CPaneList& pane, int row) {
    pane.selectionModel()->setCurrentIndex(pane.model()->index(row, 0),
                                           QItemSelectionModel::NoUpdate);
}

} // namespace

TEST_F(PaneListTest, ListsFoldersFirstWithParentRowAndSizeTexts) {
    // Unsorted: parent row, then folders, then files, each in name order (not the file
    // system's hash order).
    EXPECT_EQ(Names(*left), (QStringList{"..", "A", "B", ".hidden", "a.txt", "b", "c.doc"}));
    QStringList sizes;
    for (int row = 0; row < pane().RowCount(); ++row)
        sizes << left->model()->index(row, 1).data().toString() +
                     (pane().IsFolderRow(row) ? "/" : "");
    EXPECT_EQ(sizes, (QStringList{"<DIR>/", "<DIR>/", "<DIR>/", "1 b", "2 k", "300 b", "10 b"}));
    EXPECT_EQ(HeaderText(*left, 0) + "|" + HeaderText(*left, 1), "Name/Ext|Size");

    // (The root's rows: the navigation test, which ends there.)
    // A folder that cannot be listed shows only the parent row, without a message.
    MessageScript script;
    ShowFolder(*left, dir.file("missing"));
    EXPECT_EQ(Names(*left), QStringList{".."});
    EXPECT_TRUE(script.shown.isEmpty());
}

TEST_F(PaneListTest, HeaderClicksCycleModesSharedByBothPanesKeepingTheSelection) {
    CPaneList& right = *window->right;
    QAbstractItemModelTester tester(left->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    ShowFolder(right, dir.path());
    WriteStoreSetting("ShowHidden", 0);
    left->OnUpdate(nullptr);
    right.OnUpdate(nullptr);
    window->WaitListed();
    const QStringList nameUp{"..", "B", "A", "c.doc", "b", "a.txt"};
    const QStringList nameDown{"..", "A", "B", "a.txt", "b", "c.doc"};
    // The column clicked, the sort mode then (-1: any), both headers, the rows.
    using Row = std::tuple<int, int, QString, QStringList>;
    const Row clicks[] = {
        {0, 0, "^ Name/Ext|Size", nameUp},
        {0, -1, "v Name/Ext|Size", nameDown},
        {0, -1, "Name/^ Ext|Size", {"..", "B", "A", "b", "a.txt", "c.doc"}},
        {0, -1, "Name/v Ext|Size", {"..", "A", "B", "c.doc", "a.txt", "b"}},
        {1, 3, "Name/Ext|^ Size", nameDown}, // size after name mode 3 keeps 3: largest first
        {1, -1, "Name/Ext|v Size", nameUp},
        {1, 1, "Name/Ext|^ Size", nameDown},
    };
    for (const auto& [column, mode, headers, names] : clicks) {
        ClickHeader(*left, column);
        SCOPED_TRACE(headers.toStdString());
        if (mode >= 0) EXPECT_EQ(SortMode, mode);
        EXPECT_EQ(HeaderText(*left, 0) + "|" + HeaderText(*left, 1), headers);
        EXPECT_EQ(Names(*left), names);
    }

    // A refill keeps the column, the order and the header.
    pane().RefillPane();
    WaitListed(pane());
    EXPECT_EQ(HeaderText(*left, 1), "^ Size");
    EXPECT_EQ(Names(*left), nameDown);

    // The other pane uses the same mode once it sorts: its first name click keeps mode 1.
    PaneController& other = right.controller();
    other.SortByColumn(0);
    EXPECT_EQ(SortMode, 1);
    EXPECT_EQ(HeaderText(right, 0), "v Name/Ext");
    EXPECT_EQ(Names(right), nameDown);
    // Sorting keeps the selection and the focus on the same rows.
    other.SelectAndFocus(other.FindRow("b"));
    Mark(right, {"A"}, true);
    other.SortByColumn(0);
    std::vector<int> rows;
    ASSERT_EQ(other.CollectSelection(&rows, nullptr), 2);
    EXPECT_EQ(rows, (std::vector<int>{other.FindRow("A"), other.FindRow("b")}));
    EXPECT_EQ(FocusedName(other), "b");
}

TEST_F(PaneListTest, CollectSelectionSkipsParentRowAndCountsFiles) {
    using Collected = std::tuple<int, std::vector<int>, int>; // count, rows, files
    auto collect = [&] {
        Collected c{0, {}, -1};
        std::get<0>(c) = pane().CollectSelection(&std::get<1>(c), &std::get<2>(c));
        return c;
    };
    left->selectionModel()->clear();
    EXPECT_EQ(collect(), Collected(0, {}, 0));
    MoveFocus(*left, 0); // only the parent row
    EXPECT_EQ(collect(), Collected(0, {}, 0));
    MoveFocus(*left, 6);
    EXPECT_EQ(collect(), Collected(1, {6}, 1));
    // Invert selects every row, the parent row too; the collection leaves it out.
    left->OnCommand(ids::kCmdInvertSelection);
    EXPECT_EQ(left->selectionModel()->selectedRows().size(), pane().RowCount());
    EXPECT_EQ(collect(), Collected(6, {1, 2, 3, 4, 5, 6}, 4));
    pane().InvertSelection();
    EXPECT_TRUE(left->selectionModel()->selectedRows().isEmpty());
    Mark(*left, {"B"});
    pane().InvertSelection();
    EXPECT_FALSE(left->selectionModel()->isRowSelected(2, {}));
    EXPECT_EQ(left->selectionModel()->selectedRows().size(), pane().RowCount() - 1);
}

TEST_F(PaneListTest, NavigationEntersAndReturnsWithTheCursorOnTheFolderLeft) {
    const QString top = PanePath(dir.path());
    // The plain list's cursor is its selection.
    Restyle(0);
    OpenAndWait(pane(), pane().FindRow("A"));
    EXPECT_EQ(pane().currentPath(), top + "A/");
    EXPECT_EQ(Names(*left), (QStringList{"..", "inner"}));
    EXPECT_EQ(pane().FocusedRow(), 0);
    EXPECT_TRUE(left->selectionModel()->isRowSelected(0, {}));
    // The commander style marks nothing on its way (a mark there would be what F8 deletes).
    Restyle(1);
    for (const auto& [row, below, cursor] :
         {std::tuple{1, "A/inner/", ".."}, {0, "A/", "inner"}, {0, "", "A"}}) {
        OpenAndWait(pane(), row);
        EXPECT_EQ(pane().currentPath() + " " + FocusedName(pane()), top + below + " " + cursor);
    }
    EXPECT_FALSE(left->selectionModel()->hasSelection());

    // From a folder just below the root, ".." lands on the root without a parent row.
    ShowFolder(*left, "/tmp/");
    OpenAndWait(pane(), 0);
    EXPECT_EQ(pane().currentPath(), "/");
    EXPECT_NE(pane().RowName(0), "..");
    EXPECT_EQ(FocusedName(pane()), "tmp");
}

TEST_F(PaneListTest, KeyboardOpensAndMarks) {
    window->Focus(left);
    ASSERT_TRUE(left->hasFocus());
    EXPECT_EQ(window->host.active, left);

    // (Enter and Backspace: the frame's keyboard tests.) Insert toggles the focused row and moves
    // down, leaving other rows alone.
    left->selectionModel()->clear();
    MoveFocus(*left, 1);
    QTest::keyClick(left, Qt::Key_Insert);
    QTest::keyClick(left, Qt::Key_Insert);
    EXPECT_TRUE(left->selectionModel()->isRowSelected(1, {}));
    EXPECT_TRUE(left->selectionModel()->isRowSelected(2, {}));
    EXPECT_EQ(pane().FocusedRow(), 3);
    // The arrows, pages, Home and End move the focus and keep the marks (LikeNC style).
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_Home})
        QTest::keyClick(left, key);
    EXPECT_EQ(pane().FocusedRow(), 0);
    QTest::keyClick(left, Qt::Key_End);
    EXPECT_EQ(pane().FocusedRow(), pane().RowCount() - 1);
    MoveFocus(*left, 1);
    QTest::keyClick(left, Qt::Key_Insert);
    EXPECT_FALSE(left->selectionModel()->isRowSelected(1, {}));
    EXPECT_TRUE(left->selectionModel()->isRowSelected(2, {}));

    // The focused row's full path reaches the frame.
    pane().SelectAndFocus(pane().FindRow("a.txt"));
    ASSERT_FALSE(window->host.pathTexts.isEmpty());
    EXPECT_EQ(window->host.pathTexts.last(), PanePath(dir.path()) + "a.txt");
}

TEST_F(PaneListTest, DoubleClickOpensOnlyOnALabel) {
    Restyle(0);
    window->Focus(left);
    const QRect cell = left->visualRect(left->model()->index(pane().FindRow("A"), 0));
    // Beside the text (plain style) and below the last row: nothing; on the name: enters.
    const std::pair<QPoint, QString> clicks[] = {
        {QPoint(cell.right() - 2, cell.center().y()), ""},
        {QPoint(5, left->viewport()->height() - 2), ""},
        {QPoint(cell.left() + 4, cell.center().y()), "A/"}};
    for (const auto& [at, below] : clicks) {
        QTest::mouseDClick(left->viewport(), Qt::LeftButton, {}, at);
        EXPECT_EQ(pane().currentPath(), PanePath(dir.path()) + below);
    }
}

// The bar each style asks for is checked through the real frame (MainFrameTest).
TEST_F(PaneListTest, StyleSetsColumnsAndColours) {
    EXPECT_EQ(left->style(), PaneStyle::LikeNc); // the default
    window->window.show();
    QApplication::processEvents();
    // Below the last row the list shows its background.
    const QImage image = window->window.grab().toImage();
    const QPoint empty =
        left->viewport()->mapTo(&window->window, QPoint(10, left->viewport()->height() - 5));
    EXPECT_EQ(image.pixelColor(empty * image.devicePixelRatio()), QColor(0, 0, 143));
    // The header: dark blue with a cyan line under its titles.
    QHeaderView* header = left->horizontalHeader();
    const QPoint top = header->mapTo(&window->window, QPoint(header->width() / 2, 1));
    const QPoint line =
        header->mapTo(&window->window, QPoint(header->width() / 2, header->height() - 1));
    EXPECT_EQ(image.pixelColor(top * image.devicePixelRatio()), QColor(0, 0, 143));
    EXPECT_EQ(image.pixelColor(line * image.devicePixelRatio()), QColor(0, 255, 255));
    left->ApplyPaneStyle(0, 1);
    EXPECT_NE(left->palette().color(QPalette::Base), QColor(0, 0, 143));
    // Plain stays plain without asking the frame again.
    const size_t calls = window->host.menuBars.size();
    left->ApplyPaneStyle(0, 0);
    EXPECT_EQ(window->host.menuBars.size(), calls);

    // Column widths: the size column fits " 999.9 M ", the name column takes the rest.
    left->resize(240, 200);
    QApplication::processEvents();
    left->ApplyPaneStyle(1, 1);
    const int sizeWidth = left->fontMetrics().horizontalAdvance(" 999.9 M ");
    EXPECT_EQ(left->columnWidth(1), sizeWidth);
    EXPECT_EQ(left->columnWidth(0), left->viewport()->width() - sizeWidth);
    // A very narrow pane keeps a name column of 40.
    left->setMinimumWidth(0);
    left->resize(30, 200);
    QApplication::processEvents();
    left->ApplyPaneStyle(1, 1);
    EXPECT_EQ(left->columnWidth(0), 40);
}

TEST_F(PaneListTest, CommandStatesFollowTheFocusedRow) {
    // Parent row, folder, file: {view hex, edit hex, rename, properties, invert, copy, move,
    // delete, new dir, dir sizes}.
    const std::pair<QString, std::vector<bool>> rows[] = {
        {"..", {false, false, false, false, true, false, false, false, true, true}},
        {"A", {false, false, true, true, true, true, true, true, true, true}},
        {"b", {true, true, true, true, true, true, true, true, true, true}}};
    for (const auto& [name, want] : rows) {
        pane().SelectAndFocus(pane().FindRow(name));
        std::vector<bool> got;
        for (int id : {ids::kCmdViewHex, ids::kCmdEditHex, ids::kCmdRename, ids::kCmdProperties,
                       ids::kCmdInvertSelection, ids::kCmdCopy, ids::kCmdMove, ids::kCmdDelete,
                       ids::kCmdNewDir, ids::kCmdDirSizes})
            got.push_back(Enabled(*left, id));
        EXPECT_EQ(got, want) << name.toStdString();
    }
}

TEST_F(PaneListTest, ModelPassesTheTesterThroughInsertRenameAndClear) {
    CPaneList& pane = *left;
    QAbstractItemModelTester tester(pane.model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    pane.controller().model()->InsertRow(99, PaneRow::FolderLabel("zz"));
    EXPECT_EQ(pane.controller().RowName(pane.controller().RowCount() - 1), "zz");
    pane.controller().model()->RenameRow(1, "renamed");
    pane.controller().OpenRow(pane.controller().FindRow("A"));
    WaitListed(pane.controller());
    EXPECT_FALSE(pane.model()->flags(pane.model()->index(0, 0)) & Qt::ItemIsEditable)
        << "the parent row has no name to edit";
    pane.controller().model()->Clear();
    EXPECT_EQ(pane.controller().RowCount(), 0);
}

TEST(PaneSort, NamesCompareByCodeUnitsWithTheExtensionKeyJoined) {
    const FindRecord upper = File("B"), lower = File("a"), accent = File("\u00e9");
    EXPECT_LT(CompareByName(&upper, &lower, 1), 0);
    EXPECT_LT(CompareByName(&lower, &accent, 1), 0);
    // Keys ".ax.a" and ".aby.ab": the third unit decides, not the name part.
    const FindRecord xa = File("x.a"), yab = File("y.ab");
    EXPECT_GT(CompareByName(&xa, &yab, 3), 0);
    EXPECT_LT(CompareByName(&xa, &yab, 2), 0);
}

TEST(PaneSort, SizesAbove4GiBAndTies) {
    const FindRecord big = File("big", 5000000000ULL), small = File("small", 10);
    const FindRecord same = File("s1", 10);
    EXPECT_EQ(CompareBySize(&small, &same, 0), 0);
    EXPECT_EQ(CompareBySize(&small, &same, 1), 0);
    // The parent row leads; the whole size counts, not its low 32 bits (705032704 < 10).
    EXPECT_LT(CompareBySize(nullptr, &big, 1), 0);
    EXPECT_LT(CompareBySize(&big, &small, 1), 0);
}

TEST(PaneSort, InRomFilter) {
    const FindRecord rom = File("r", 0, attr::InRom);
    EXPECT_TRUE(PassesPaneFilters(rom, 0, 1));
    EXPECT_FALSE(PassesPaneFilters(rom, 1, 0));
}
