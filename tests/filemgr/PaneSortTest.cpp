// The order rules of the panes, on records alone.
#include "filemgr/PaneSort.h"
#include "filemgr/PaneModel.h"

#include <gtest/gtest.h>

using namespace velmar;

namespace {

FindRecord File(const QString& name, uint64_t size = 0) {
    FindRecord r;
    r.name = name;
    r.attributes = attr::Archive;
    r.size = size;
    return r;
}

FindRecord Folder(const QString& name) {
    FindRecord r;
    r.name = name;
    r.attributes = attr::Directory;
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

TEST(PaneSort, NameModesKeepParentAndFoldersFirst) {
    const FindRecord b = File("b"), a = File("a.txt"), c = File("c.doc");
    const FindRecord dx = Folder("X"), dy = Folder("Y");
    const std::vector<const FindRecord*> all{&b, &dx, &a, nullptr, &c, &dy};
    // 0: names descending; 1: ascending; folders follow the direction inside their group.
    EXPECT_EQ(Sorted(all, CompareByName, 0), (QStringList{"..", "Y", "X", "c.doc", "b", "a.txt"}));
    EXPECT_EQ(Sorted(all, CompareByName, 1), (QStringList{"..", "X", "Y", "a.txt", "b", "c.doc"}));
    // 2/3 sort files by extension + name: the dot sorts before letters, so "b" (key "b")
    // comes after ".docc.doc" and ".txta.txt" when ascending.
    EXPECT_EQ(Sorted(all, CompareByName, 3), (QStringList{"..", "X", "Y", "c.doc", "a.txt", "b"}));
    EXPECT_EQ(Sorted(all, CompareByName, 2), (QStringList{"..", "Y", "X", "b", "a.txt", "c.doc"}));
}

TEST(PaneSort, NamesCompareByCodeUnitsNotLocale) {
    const FindRecord upper = File("B"), lower = File("a"), accent = File("\u00e9");
    EXPECT_EQ(Sorted({&lower, &accent, &upper}, CompareByName, 1),
              (QStringList{"B", "a", "\u00e9"}));
}

TEST(PaneSort, ExtensionKeyIsJoinedNotCompartmented) {
    // Keys ".a" + "x.a" = ".ax.a" and ".ab" + "y.ab" = ".aby.ab": 'x' < 'b' is never reached,
    // ".ax" vs ".ab" decides at the third unit.
    const FindRecord xa = File("x.a"), yab = File("y.ab");
    EXPECT_GT(CompareByName(&xa, &yab, 3), 0);
    EXPECT_LT(CompareByName(&xa, &yab, 2), 0);
}

TEST(PaneSort, SizesWithFoldersAndTies) {
    const FindRecord big = File("big", 5000000000ULL), small = File("small", 10);
    const FindRecord same1 = File("s1", 10), dA = Folder("A"), dB = Folder("B");
    EXPECT_EQ(CompareBySize(&small, &same1, 0), 0);
    EXPECT_EQ(CompareBySize(&small, &same1, 1), 0);
    // Above 4 GiB the whole size counts, not its low 32 bits.
    const std::vector<const FindRecord*> all{&small, &dB, &big, nullptr, &dA};
    EXPECT_EQ(Sorted(all, CompareBySize, 1), (QStringList{"..", "A", "B", "big", "small"}));
    EXPECT_EQ(Sorted(all, CompareBySize, 0), (QStringList{"..", "B", "A", "small", "big"}));
    EXPECT_EQ(Sorted(all, CompareBySize, 3), (QStringList{"..", "A", "B", "big", "small"}));
}

TEST(PaneSort, FiltersDropHiddenAndInRom) {
    FindRecord hidden = File(".h");
    hidden.attributes |= attr::Hidden;
    FindRecord rom = File("r");
    rom.attributes |= attr::InRom;
    EXPECT_TRUE(PassesPaneFilters(hidden, 1, 0));
    EXPECT_FALSE(PassesPaneFilters(hidden, 0, 1));
    EXPECT_TRUE(PassesPaneFilters(rom, 0, 1));
    EXPECT_FALSE(PassesPaneFilters(rom, 1, 0));
    EXPECT_TRUE(PassesPaneFilters(File("plain"), 0, 0));
}
