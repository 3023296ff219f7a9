#pragma once
// The rows of one pane: owner data held in a vector, shown by the pane's list. Column 0 is
// the name, column 1 the size text ("<DIR>" for folders and the parent row, "FTP" for FTP
// entries). A row without a record is the parent row (or a fast-folder entry).

#include "platform/FindRecord.h"

#include <QAbstractTableModel>
#include <QList>
#include <cstdint>
#include <future>
#include <vector>

namespace velmar {

struct FileEntry; // sources/DirSource.h

enum class RowKind : uint8_t { Parent, Folder, File, Ftp };

struct PaneRow {
    // The row's own copy of its record; a row without one (hasRecord false) keeps only its
    // column 0 text here, as the name.
    FindRecord find;
    // Column 1 in place of the usual text when hasSizeText (Dir Sizes' sums, the empty one of
    // search hits).
    QString sizeText;
    RowKind kind = RowKind::File;
    bool hasRecord = false;
    bool hasSizeText = false;
    // A local search hit's record holds only its name until first asked for
    // (CPaneModel::Record); `gone` once its file was not there then.
    bool recordLater = false;
    bool gone = false;

    const QString& name() const { return find.name; }
    void SetSizeText(QString text) {
        sizeText = std::move(text);
        hasSizeText = true;
    }
    const FindRecord* record() const { return hasRecord ? &find : nullptr; }

    static PaneRow Parent();
    // A listed entry; `kind` is the EntryKind its source returned.
    static PaneRow FromRecord(FindRecord record, int kind);
    // A row with a text and no record ("<DIR>" in the size column).
    static PaneRow FolderLabel(QString text);
};

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

    int size() const { return int(rows_.size()); }
    const PaneRow& row(int i) const { return rows_[qsizetype(i)]; }

    // Replaces every row (a refill).
    void ResetRows(std::vector<PaneRow> rows);
    void Clear() { ResetRows({}); }
    // Inserts at `index`, clamped to the rows there are.
    void InsertRow(int index, PaneRow row);
    // A listing thread's batch (its entries taken over), at the ordinal of its first entry;
    // room is made for `more` entries to come as well. Returns the row of its first entry.
    int InsertEntries(std::vector<FileEntry>& entries, size_t more = 0);
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

    // Grows in place (rows are relocatable: realloc, which moves the pages of a large block
    // rather than copying every row into fresh ones): a listing of a hundred thousand rows
    // arrives batch by batch, and its size is not known before the end.
    QList<PaneRow> rows_;
    std::future<void> disposal_; // old rows being freed beside the window
    QString nameHeader_ = QStringLiteral("Name/Ext");
    QString sizeHeader_ = QStringLiteral("Size");
};

// The local listing's filters: ShowHidden 0 drops hidden entries, ShowInRom 0 entries in ROM.
bool PassesPaneFilters(const FindRecord& record, int showHidden, int showInRom);

// Sorts rows outside any model (a refill sorts before it shows).
void SortPaneRows(std::vector<PaneRow>& rows, CPaneModel::Compare compare, int sortMode);

} // namespace velmar

// A row holds QStrings and plain values only: it may be moved by its bytes.
Q_DECLARE_TYPEINFO(velmar::PaneRow, Q_RELOCATABLE_TYPE);
