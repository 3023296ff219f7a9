// A folder tree for Search files and Dir Sizes, and the hits as runs of one folder each.
#include "filemgr/SearchFiles.h"
#pragma once
#include "PaneTestSupport.h"
#include "filemgr/FileCommands.h"
#include "settings/SearchMemory.h"
#include "sources/PatternSearch.h"
#include "sources/SearchJob.h"
#include "sources/SizeText.h"

#include <QCheckBox>
#include <QRadioButton>

namespace velmar::test {

// The hits as runs of one folder each, names sorted inside a run (a folder's own order is
// the file system's), e.g. "sub/deep/:c.txt | sub/:a.txt | :a.txt,d.TXT".
inline QString Runs(const QStringList& hits) {
    QStringList runs;
    QString folder;
    QStringList names;
    auto flush = [&] {
        if (names.isEmpty()) return;
        names.sort();
        runs << folder + ":" + names.join(",");
        names.clear();
    };
    for (const QString& h : hits) {
        const qsizetype cut = h.lastIndexOf('/') + 1;
        if (h.left(cut) != folder) flush();
        folder = h.left(cut);
        names << h.mid(cut);
    }
    flush();
    return runs.join(" | ");
}

class SearchTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPaneSettings();
        RememberedSearch() = SearchMemory{};
        dir.write("a.txt", "hello NEEDLE");
        dir.write("d.TXT", "nothing here");
        dir.write("b.doc", "needle");
        dir.write("sub/a.txt", "no");
        dir.write("sub/deep/c.txt", QByteArray(300, 'x') + "needle");
        dir.write(".hid/x.txt", "needle");
        // A link back to the top: entering it would never end.
        QFile::link(dir.path(), dir.file("sub/loop"));
    }
    void TearDown() override { SetDialogHookForTesting(nullptr); }

    QStringList Search(const QString& mask, bool recursive, const QString& text = {},
                       bool caseSensitive = false, int showHidden = 0) {
        PatternSearch pattern;
        SearchJob job;
        job.root = PanePath(dir.path());
        job.mask = mask;
        job.recursive = recursive;
        job.showHidden = showHidden;
        if (!text.isEmpty() && pattern.AddPattern(text, caseSensitive, false)) {
            job.textSearch = true;
            job.pattern = &pattern;
        }
        RunSearch(job);
        EXPECT_EQ(job.progress.Take().name, QStringLiteral("Done"));
        QStringList names;
        for (const SearchHit& h : job.TakeHits())
            names << h.record.name;
        EXPECT_EQ(job.progress.files.load(), names.size());
        return names;
    }

    TempDir dir;
    MessageScript messages;
};

} // namespace velmar::test
