// The pane's rows kept as the listing's batches came: whatever the batches and wherever they
// go, the model reads as the one list they make, and what is changed or sorted is the row
// that was meant.
#include "filemgr/PaneModel.h"
#include "sources/DirSource.h"

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace velmar;

namespace {

PaneRows Batch(int from, int count) {
    PaneRows rows;
    for (int i = 0; i < count; ++i) {
        FindRecord r;
        r.name = QString("n%1").arg(from + i, 6, 10, QChar('0'));
        rows.push_back(PaneRow::FromRecord(std::move(r), kEntryFile));
    }
    return rows;
}

std::vector<QString> Names(const CPaneModel& model) {
    std::vector<QString> names;
    for (int i = 0; i < model.size(); ++i)
        names.push_back(model.row(i).name());
    return names;
}

int ByName(const FindRecord* a, const FindRecord* b, int) {
    if (!a || !b) return a ? 1 : b ? -1 : 0;
    return QString::compare(a->name, b->name);
}

} // namespace

TEST(PaneModel, BatchesAnywhereReadAsOneListAndChangesReachTheRowMeant) {
    CPaneModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    std::vector<QString> expected{".."};
    model.InsertRow(0, PaneRow::Parent());
    std::mt19937 random(7);
    int next = 0;
    // Batches large and small (a small one joins the run before), at the end, on a run's edge
    // and inside a run (which splits it).
    for (int step = 0; step < 40; ++step) {
        const int count = std::vector<int>{1, 40, 300, 600, 1500}[random() % 5];
        const int at = step % 3 == 0 ? model.size() : int(random() % (model.size() + 1));
        PaneRows batch = Batch(next, count);
        for (int i = 0; i < count; ++i)
            expected.insert(expected.begin() + at + i, batch[size_t(i)].name());
        next += count;
        ASSERT_EQ(model.InsertEntries(batch, at), at);
        ASSERT_EQ(Names(model), expected) << "step " << step;
    }

    const int target = model.size() - 5;
    const QPersistentModelIndex followed(model.index(target, 0));
    const QString followedName = expected[size_t(target)];
    model.RenameRow(target - 1000, "renamed");
    expected[size_t(target - 1000)] = "renamed";
    model.SetSizeText(target - 2000, "7 KB");
    EXPECT_EQ(CPaneModel::SizeText(model.row(target - 2000)), "7 KB");
    PaneRows more = Batch(next, 700);
    model.InsertEntries(more, 1);
    EXPECT_EQ(followed.row(), target + 700);
    EXPECT_EQ(model.row(target + 700 - 1000).name(), "renamed");

    model.SortRows(ByName, 0);
    EXPECT_EQ(model.row(followed.row()).name(), followedName);
    const std::vector<QString> sorted = Names(model);
    EXPECT_TRUE(std::is_sorted(sorted.begin() + 1, sorted.end()));
    EXPECT_EQ(sorted.front(), "..");

    model.ResetRows(Batch(0, 3));
    EXPECT_EQ(model.size(), 3);
    model.Clear();
    EXPECT_EQ(model.size(), 0);
}
