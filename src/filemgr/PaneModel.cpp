#include "filemgr/PaneModel.h"

#include "sources/DirSource.h"
#include "sources/SearchJob.h"
#include "sources/SizeText.h"

#include <algorithm>
#include <numeric>
#include <pthread.h>
#include <sched.h>
#include <system_error>
#include <thread>

namespace velmar {

PaneRow PaneRow::Parent() {
    PaneRow r;
    r.kind = RowKind::Parent;
    r.find.name = QStringLiteral("..");
    return r;
}

namespace {
// A row made a listed entry's, its record taken over.
void TakeRecord(PaneRow& r, FindRecord& record, int kind) {
    r.kind = kind == kEntryFtp      ? RowKind::Ftp
             : kind == kEntryFolder ? RowKind::Folder
             : record.isFolder()    ? RowKind::Folder
                                    : RowKind::File;
    r.hasRecord = true;
    r.find = std::move(record);
}
} // namespace

PaneRow PaneRow::FromRecord(FindRecord record, int kind) {
    PaneRow r;
    TakeRecord(r, record, kind);
    return r;
}

PaneRow PaneRow::FolderLabel(QString text) {
    PaneRow r;
    r.kind = RowKind::Folder;
    r.find.name = std::move(text);
    return r;
}

QString CPaneModel::SizeText(const PaneRow& row) {
    if (row.hasSizeText) return row.sizeText;
    switch (row.kind) {
    case RowKind::Parent:
    case RowKind::Folder:
        return QStringLiteral("<DIR>");
    case RowKind::Ftp:
        return QStringLiteral("FTP");
    case RowKind::File:
        break;
    }
    return FormatSize(row.find.size);
}

int CPaneModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int CPaneModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

bool CPaneModel::IsRowIndex(const QModelIndex& index) const {
    return index.isValid() && index.model() == this && !index.parent().isValid() &&
           index.row() >= 0 && index.row() < int(rows_.size()) && index.column() >= 0 &&
           index.column() < 2;
}

QVariant CPaneModel::data(const QModelIndex& index, int role) const {
    if (!IsRowIndex(index)) return {};
    const PaneRow& r = rows_[qsizetype(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return index.column() == 0 ? r.name() : SizeText(r);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(
            (index.column() == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter));
    case kFolderRole:
        return r.kind == RowKind::Parent || r.kind == RowKind::Folder || !r.hasRecord;
    default:
        return {};
    }
}

QVariant CPaneModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section > 1) return {};
    if (role == Qt::DisplayRole) return section == 0 ? nameHeader_ : sizeHeader_;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(
            Qt::Alignment((section == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter));
    return {};
}

Qt::ItemFlags CPaneModel::flags(const QModelIndex& index) const {
    if (!IsRowIndex(index)) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    // Only a name with a record behind it can be renamed.
    if (index.column() == 0 && rows_[qsizetype(index.row())].hasRecord) f |= Qt::ItemIsEditable;
    return f;
}

namespace {
// Below this many rows freeing them on the spot costs less than handing them over.
constexpr size_t kFreeBesideMinRows = 20000;
} // namespace

CPaneModel::~CPaneModel() {
    if (disposal_.valid()) disposal_.wait();
    // Nothing waits for a large listing's rows to be freed (the window closing, the program
    // ending): that takes milliseconds and goes on beside, only when a processor is idle, so
    // that it never holds up what the program does next (nor its end, which frees all).
    if (size_t(rows_.size()) >= kFreeBesideMinRows) {
        try {
            std::thread([old = std::move(rows_)]() mutable {
                sched_param idle{};
                pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
                QList<PaneRow>().swap(old);
            }).detach();
        } catch (const std::system_error&) {
            // No thread: they are freed here.
        }
    }
}

void CPaneModel::ResetRows(std::vector<PaneRow> rows) {
    QList<PaneRow> fresh;
    fresh.reserve(qsizetype(rows.size()));
    for (PaneRow& r : rows)
        fresh.push_back(std::move(r));
    beginResetModel();
    rows_.swap(fresh);
    endResetModel();
    // The old rows go after the views have let go of them. A million of them take a fifth of
    // a second to free: that is done beside the window, which would stand still meanwhile.
    if (size_t(fresh.size()) < kFreeBesideMinRows) return;
    if (disposal_.valid()) disposal_.wait();
    disposal_ = std::async(std::launch::async,
                           [old = std::move(fresh)]() mutable { QList<PaneRow>().swap(old); });
}

void CPaneModel::InsertRow(int index, PaneRow row) {
    index = std::clamp(index, 0, int(rows_.size()));
    beginInsertRows({}, index, index);
    rows_.insert(index, std::move(row));
    endInsertRows();
}

void CPaneModel::SetSizeText(int i, const QString& text) {
    if (i < 0 || i >= int(rows_.size())) return;
    rows_[qsizetype(i)].SetSizeText(text);
    const QModelIndex at = index(i, 1);
    emit dataChanged(at, at, {Qt::DisplayRole});
}

namespace {
void CompleteRow(PaneRow& row, const QString& folder) {
    if (!row.recordLater) return;
    row.recordLater = false;
    row.gone = !CompleteHitRecord(folder, row.find);
}
} // namespace

const FindRecord* CPaneModel::Record(int i, const QString& folder) {
    if (i < 0 || i >= int(rows_.size())) return nullptr;
    PaneRow& row = rows_[qsizetype(i)];
    CompleteRow(row, folder);
    return row.gone ? nullptr : row.record();
}

void CPaneModel::CompleteRecords(const QString& folder) {
    for (PaneRow& row : rows_)
        CompleteRow(row, folder);
}

int CPaneModel::InsertEntries(std::vector<FileEntry>& entries, size_t more) {
    if (entries.empty()) return int(rows_.size());
    // The ordinals of a batch run on from its first; the parent row stands before ordinal 1.
    const int index = std::clamp(entries.front().ordinal, 0, int(rows_.size()));
    const int end = int(rows_.size());
    // Room for what is known to follow, made once, by the first batch of a listing whose
    // size the source knows (a reserve copies the rows there are).
    const size_t needed = rows_.size() + entries.size() + more;
    if (more && needed > size_t(rows_.capacity())) rows_.reserve(qsizetype(needed));
    const int last = index + int(entries.size()) - 1;
    beginInsertRows({}, index, last);
    // Appended (growing in place), then turned into place when the batch goes ahead of rows
    // already there (folders that come after files).
    // Each row made in place: a batch is thousands of rows.
    for (FileEntry& entry : entries)
        TakeRecord(rows_.emplaceBack(), entry.find, entry.kind);
    if (index != end) std::rotate(rows_.begin() + index, rows_.begin() + end, rows_.end());
    endInsertRows();
    return index;
}

void CPaneModel::RenameRow(int i, const QString& name) {
    if (i < 0 || i >= int(rows_.size())) return;
    rows_[qsizetype(i)].find.name = name;
    const QModelIndex at = index(i, 0);
    emit dataChanged(at, at, {Qt::DisplayRole, Qt::EditRole});
}

namespace {

// The order of the rows, as old positions, stable.
template <class Rows>
std::vector<int> SortedOrder(const Rows& rows, CPaneModel::Compare compare, int sortMode) {
    std::vector<int> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return compare(rows[qsizetype(a)].record(), rows[qsizetype(b)].record(), sortMode) < 0;
    });
    return order;
}

template <class Rows>
Rows Permuted(Rows& rows, const std::vector<int>& order) {
    Rows sorted;
    sorted.reserve(rows.size());
    for (int from : order)
        sorted.push_back(std::move(rows[from]));
    return sorted;
}

} // namespace

bool PassesPaneFilters(const FindRecord& record, int showHidden, int showInRom) {
    if (!showHidden && (record.attributes & attr::Hidden)) return false;
    if (!showInRom && (record.attributes & attr::InRom)) return false;
    return true;
}

void SortPaneRows(std::vector<PaneRow>& rows, CPaneModel::Compare compare, int sortMode) {
    const std::vector<int> order = SortedOrder(rows, compare, sortMode);
    rows = Permuted(rows, order);
}

void CPaneModel::SortRows(Compare compare, int sortMode) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const std::vector<int> order = SortedOrder(rows_, compare, sortMode);
    std::vector<int> newPosition(order.size());
    for (size_t to = 0; to < order.size(); ++to)
        newPosition[size_t(order[to])] = int(to);
    rows_ = Permuted(rows_, order);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& i : from)
        to.append(index(newPosition[size_t(i.row())], i.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CPaneModel::SetHeaderTexts(const QString& name, const QString& size) {
    if (name == nameHeader_ && size == sizeHeader_) return;
    nameHeader_ = name;
    sizeHeader_ = size;
    emit headerDataChanged(Qt::Horizontal, 0, 1);
}

} // namespace velmar
