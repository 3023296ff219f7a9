#pragma once
// The rows of one pane, shown by the pane's list. Column 0 is the name, column 1 the size
// text ("<DIR>" for folders and the parent row, "FTP" for FTP entries). A row without a
// record is the parent row (or a fast-folder entry).

#include "platform/FindRecord.h"
#include "sources/PaneRow.h"

#include <QAbstractTableModel>
#include <cstdint>
#include <future>
#include <vector>

namespace velmar {

class CPaneModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Tells the delegate which rows are drawn as folders (the parent row included).
    static constexpr int kFolderRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;
    ~CPaneModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int size() const { return ends_.empty() ? 0 : ends_.back(); }
    const PaneRow& row(int i) const { return const_cast<CPaneModel*>(this)->At(i); }

    // Replaces every row (a refill).
    void ResetRows(PaneRows rows);
    void Clear() { ResetRows({}); }
    // Only the parent row.
    void ResetToParent();
    // Inserts at `index`, clamped to the rows there are.
    void InsertRow(int index, PaneRow row);
    // A listing thread's batch (its rows taken over as they are), at `first`, the ordinal of
    // its first row. Returns the row it went to.
    int InsertEntries(PaneRows& rows, int first);
    // A renamed row keeps its place and shows the new name.
    void RenameRow(int i, const QString& name);
    // Column 1 of row `i` shows `text` until the next refill.
    void SetSizeText(int i, const QString& text);
    // Row i's record, a search hit's made first from its file below `folder` as it is now;
    // null without a record or when that file is gone.
    const FindRecord* Record(int i, const QString& folder);
    // Makes every record still to make, for a sort that compares them.
    void CompleteRecords(const QString& folder);

    // Stable sort by `compare` (negative: first argument first), keeping selection and
    // focus on the same rows.
    using Compare = int (*)(const FindRecord*, const FindRecord*, int sortMode);
    void SortRows(Compare compare, int sortMode);

    void SetHeaderTexts(const QString& name, const QString& size);

    static QString SizeText(const PaneRow& row);

private:
    bool IsRowIndex(const QModelIndex& index) const;
    PaneRow& At(int i);
    // Every row in one run, in order (a sort's start).
    PaneRows TakeAll();
    // The run row `at` starts (a new empty one at the end for the row count), splitting the
    // run that holds it.
    size_t RunAt(int at);
    void CountRuns();

    // The rows, in runs: a listing's batches are kept as the listing thread made them, so a
    // large folder's rows are never copied, moved or faulted in on the window's thread.
    // ends_[k] is one past run k's last row.
    std::vector<PaneRows> runs_;
    std::vector<int> ends_;
    std::future<void> disposal_; // old rows being freed beside the window
    QString nameHeader_ = QStringLiteral("Name/Ext");
    QString sizeHeader_ = QStringLiteral("Size");
};

// The local listing's filters: ShowHidden 0 drops hidden entries, ShowInRom 0 entries in ROM.
bool PassesPaneFilters(const FindRecord& record, int showHidden, int showInRom);

// Sorts rows outside any model (a refill sorts before it shows).
void SortPaneRows(PaneRows& rows, CPaneModel::Compare compare, int sortMode);

} // namespace velmar
