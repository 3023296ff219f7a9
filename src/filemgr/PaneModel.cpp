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

QString CPaneModel::SizeText(const PaneRow& row) {
    if (row.sizeText) return *row.sizeText;
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
    return parent.isValid() ? 0 : size();
}

PaneRow& CPaneModel::At(int i) {
    // The run holding row i: the first whose end is past it.
    const size_t k = size_t(std::upper_bound(ends_.begin(), ends_.end(), i) - ends_.begin());
    return runs_[k][size_t(i - (k == 0 ? 0 : ends_[k - 1]))];
}

void CPaneModel::CountRuns() {
    ends_.resize(runs_.size());
    int end = 0;
    for (size_t k = 0; k < runs_.size(); ++k)
        ends_[k] = end += int(runs_[k].size());
}

size_t CPaneModel::RunAt(int at) {
    const auto found = std::lower_bound(ends_.begin(), ends_.end(), at);
    size_t k = size_t(found - ends_.begin());
    if (k == runs_.size()) return k; // past the last row
    if (ends_[k] == at) return k + 1; // on a run's end: the next run's start
    const int start = k == 0 ? 0 : ends_[k - 1];
    if (at != start) {
        // Inside run k: its rows from `at` on become a run of their own.
        PaneRows& run = runs_[k];
        PaneRows rest(std::make_move_iterator(run.begin() + (at - start)),
                      std::make_move_iterator(run.end()));
        run.erase(run.begin() + (at - start), run.end());
        runs_.insert(runs_.begin() + qsizetype(k + 1), std::move(rest));
        ++k;
        CountRuns();
    }
    return k;
}

PaneRows CPaneModel::TakeAll() {
    if (runs_.size() == 1) {
        PaneRows all = std::move(runs_.front());
        runs_.clear();
        ends_.clear();
        return all;
    }
    PaneRows all;
    all.reserve(size_t(size()));
    for (PaneRows& run : runs_)
        all.insert(all.end(), std::make_move_iterator(run.begin()),
                   std::make_move_iterator(run.end()));
    runs_.clear();
    ends_.clear();
    return all;
}

int CPaneModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

bool CPaneModel::IsRowIndex(const QModelIndex& index) const {
    return index.isValid() && index.model() == this && !index.parent().isValid() &&
           index.row() >= 0 && index.row() < size() && index.column() >= 0 &&
           index.column() < 2;
}

QVariant CPaneModel::data(const QModelIndex& index, int role) const {
    if (!IsRowIndex(index)) return {};
    const PaneRow& r = row(index.row());
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
    if (index.column() == 0 && row(index.row()).hasRecord) f |= Qt::ItemIsEditable;
    return f;
}

namespace {
// Below this many rows freeing them on the spot costs less than handing them over.
constexpr size_t kFreeBesideMinRows = 20000;
// A batch of fewer rows is moved into the run before its place rather than kept whole.
constexpr size_t kSmallBatch = 256;
// A run of fewer rows may be moved to larger memory to take such a batch.
constexpr size_t kMovedRunMostRows = 4096;
} // namespace

CPaneModel::~CPaneModel() {
    if (disposal_.valid()) disposal_.wait();
    // Nothing waits for a large listing's rows to be freed (the window closing, the program
    // ending): that takes milliseconds and goes on beside, only when a processor is idle, so
    // that it never holds up what the program does next (nor its end, which frees all).
    if (size_t(size()) >= kFreeBesideMinRows) {
        try {
            std::thread([old = std::move(runs_)]() mutable {
                sched_param idle{};
                pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
                std::vector<PaneRows>().swap(old);
            }).detach();
        } catch (const std::system_error&) {
            // No thread: they are freed here.
        }
    }
}

void CPaneModel::ResetRows(PaneRows rows) {
    std::vector<PaneRows> fresh;
    const size_t old = size_t(size());
    if (!rows.empty()) fresh.push_back(std::move(rows));
    beginResetModel();
    runs_.swap(fresh);
    CountRuns();
    endResetModel();
    // The old rows go after the views have let go of them. A million of them take a fifth of
    // a second to free: that is done beside the window, which would stand still meanwhile.
    if (old < kFreeBesideMinRows) return;
    if (disposal_.valid()) disposal_.wait();
    disposal_ = std::async(std::launch::async, [old = std::move(fresh)]() mutable {
        std::vector<PaneRows>().swap(old);
    });
}

void CPaneModel::ResetToParent() {
    PaneRows rows;
    rows.push_back(PaneRow::Parent());
    ResetRows(std::move(rows));
}

void CPaneModel::InsertRow(int index, PaneRow row) {
    index = std::clamp(index, 0, size());
    beginInsertRows({}, index, index);
    // At the end of the run before its place, or at the head of the first.
    if (const size_t k = RunAt(index); k > 0)
        runs_[k - 1].push_back(std::move(row));
    else if (!runs_.empty())
        runs_.front().insert(runs_.front().begin(), std::move(row));
    else
        runs_.emplace_back().push_back(std::move(row));
    CountRuns();
    endInsertRows();
}

void CPaneModel::SetSizeText(int i, const QString& text) {
    if (i < 0 || i >= size()) return;
    At(i).SetSizeText(text);
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
    if (i < 0 || i >= size()) return nullptr;
    PaneRow& row = At(i);
    CompleteRow(row, folder);
    return row.gone ? nullptr : row.record();
}

void CPaneModel::CompleteRecords(const QString& folder) {
    for (PaneRows& run : runs_)
        for (PaneRow& row : run)
            CompleteRow(row, folder);
}

int CPaneModel::InsertEntries(PaneRows& rows, int first) {
    if (rows.empty()) return size();
    // The ordinals of a batch run on from its first; the parent row stands before ordinal 1.
    const int index = std::clamp(first, 0, size());
    beginInsertRows({}, index, index + int(rows.size()) - 1);
    // A batch goes in whole, as a run of its own, ahead of the run that starts at its place
    // (folders that come after files go in ahead of them); a small one (a slow server's, the
    // last of a listing) joins the run before, so that runs stay few, when that run has room
    // for it or is small itself: a full run of a large listing is not moved to new memory
    // on the window's thread for the sake of a few rows.
    const size_t k = RunAt(index);
    if (k > 0 && rows.size() < kSmallBatch &&
        (runs_[k - 1].capacity() - runs_[k - 1].size() >= rows.size() ||
         runs_[k - 1].size() < kMovedRunMostRows)) {
        PaneRows& before = runs_[k - 1];
        before.insert(before.end(), std::make_move_iterator(rows.begin()),
                      std::make_move_iterator(rows.end()));
    } else {
        runs_.insert(runs_.begin() + qsizetype(k), std::move(rows));
    }
    CountRuns();
    endInsertRows();
    rows.clear();
    return index;
}

void CPaneModel::RenameRow(int i, const QString& name) {
    if (i < 0 || i >= size()) return;
    At(i).find.name = name;
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

void SortPaneRows(PaneRows& rows, CPaneModel::Compare compare, int sortMode) {
    const std::vector<int> order = SortedOrder(rows, compare, sortMode);
    rows = Permuted(rows, order);
}

void CPaneModel::SortRows(Compare compare, int sortMode) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    PaneRows all = TakeAll();
    const std::vector<int> order = SortedOrder(all, compare, sortMode);
    std::vector<int> newPosition(order.size());
    for (size_t to = 0; to < order.size(); ++to)
        newPosition[size_t(order[to])] = int(to);
    if (!all.empty()) runs_.push_back(Permuted(all, order));
    CountRuns();
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
