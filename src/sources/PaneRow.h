#pragma once
// One row of a pane: a listed entry with its record, or a row with a text only (the parent
// row, a fast-folder entry). Listing threads make the rows of their batches, which the pane's
// model then keeps as they are.

#include "platform/FindRecord.h"

#include <QString>
#include <QtGlobal>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace velmar {

enum class RowKind : uint8_t { Parent, Folder, File, Ftp };

struct PaneRow {
    // The row's own copy of its record; a row without one (hasRecord false) keeps only its
    // column 0 text here, as the name.
    FindRecord find;
    // Column 1 in place of the usual text, when set (Dir Sizes' sums, the empty one of search
    // hits): held apart, since few rows have one and a large listing pays every byte of a row.
    std::unique_ptr<QString> sizeText;
    RowKind kind = RowKind::File;
    bool hasRecord = false;
    // A local search hit's record holds only its name until first asked for
    // (CPaneModel::Record); `gone` once its file was not there then.
    bool recordLater = false;
    bool gone = false;

    const QString& name() const { return find.name; }
    void SetSizeText(QString text) { sizeText = std::make_unique<QString>(std::move(text)); }
    const FindRecord* record() const { return hasRecord ? &find : nullptr; }
    // Makes this row a listed entry's, its record taken over; `kind` is the EntryKind its
    // source returned.
    void Take(FindRecord& record, int kind);

    static PaneRow Parent();
    // A listed entry, its record taken over; `kind` is the EntryKind its source returned.
    static PaneRow FromRecord(FindRecord record, int kind);
    // A row with a text and no record ("<DIR>" in the size column).
    static PaneRow FolderLabel(QString text);
};

// Storage for the runs of rows a listing hands its pane. A large folder's runs are a
// megabyte or more each, written once from end to end as the rows come: from kLargeRunBytes
// up, a run takes whole 2 MB pages where the system lends them (one page fault for 2 MB
// instead of 512, the largest part of the cost of keeping a hundred thousand rows).
// Smaller runs come from the heap as usual.
namespace run_storage {
constexpr size_t kLargeRunBytes = size_t(1) << 20;
void* Allocate(size_t bytes);
void Free(void* p, size_t bytes) noexcept;
} // namespace run_storage

template <class T>
struct RunAllocator {
    using value_type = T;
    RunAllocator() noexcept = default;
    template <class U>
    RunAllocator(const RunAllocator<U>&) noexcept {}
    T* allocate(size_t n) { return static_cast<T*>(run_storage::Allocate(n * sizeof(T))); }
    void deallocate(T* p, size_t n) noexcept { run_storage::Free(p, n * sizeof(T)); }
    friend bool operator==(RunAllocator, RunAllocator) noexcept { return true; }
};

// A run of rows, as listings hand them over and the pane's model keeps them.
using PaneRows = std::vector<PaneRow, RunAllocator<PaneRow>>;

} // namespace velmar

// A row holds QStrings and plain values only: it may be moved by its bytes.
Q_DECLARE_TYPEINFO(velmar::PaneRow, Q_RELOCATABLE_TYPE);
