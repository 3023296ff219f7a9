// The order rules on records alone, where the window's header test (PaneListTest) cannot
// reach: code-unit order, the joined extension key, sizes above 4 GiB, the ROM filter.
#include "filemgr/PaneSort.h"
#include "filemgr/PaneModel.h"

#include <gtest/gtest.h>

using namespace velmar;

namespace {

FindRecord File(const QString& name, uint64_t size = 0, uint32_t extra = 0) {
    FindRecord r;
    r.name = name;
    r.attributes = attr::Archive | extra;
    r.size = size;
    return r;
}

// Names of `records` after sorting with `compare`, a null entry standing for the parent row.
QStringList Sorted(std::vector<const FindRecord*> records,
                   int (*compare)(const FindRecord*, const FindRecord*, int), int mode) {
    std::stable_sort(records.begin(), records.end(), [&](const FindRecord* a, const FindRecord* b) {
        return compare(a, b, mode) < 0;
    });
    QStringList names;
    for (const FindRecord* r : records)
        names.append(r ? r->name : QStringLiteral(".."));
    return names;
}

} // namespace

TEST(PaneSort, NamesCompareByCodeUnitsWithTheExtensionKeyJoined) {
    const FindRecord upper = File("B"), lower = File("a"), accent = File("\u00e9");
    EXPECT_EQ(Sorted({&lower, &accent, &upper}, CompareByName, 1),
              (QStringList{"B", "a", "\u00e9"}));
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
    // The whole size counts, not its low 32 bits (705032704 < 10 would put "big" last).
    EXPECT_EQ(Sorted({&small, &big, nullptr}, CompareBySize, 1),
              (QStringList{"..", "big", "small"}));
}

TEST(PaneSort, InRomFilter) {
    const FindRecord rom = File("r", 0, attr::InRom);
    EXPECT_TRUE(PassesPaneFilters(rom, 0, 1));
    EXPECT_FALSE(PassesPaneFilters(rom, 1, 0));
}
