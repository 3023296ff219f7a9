#include "sources/PaneRow.h"

#include "sources/DirSource.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace velmar {

PaneRow PaneRow::Parent() {
    PaneRow r;
    r.kind = RowKind::Parent;
    r.find.name = QStringLiteral("..");
    return r;
}

void PaneRow::Take(FindRecord& record, int entryKind) {
    kind = entryKind == kEntryFtp      ? RowKind::Ftp
           : entryKind == kEntryFolder ? RowKind::Folder
           : record.isFolder()         ? RowKind::Folder
                                       : RowKind::File;
    hasRecord = true;
    find = std::move(record);
}

PaneRow PaneRow::FromRecord(FindRecord record, int kind) {
    PaneRow r;
    r.Take(record, kind);
    return r;
}

PaneRow PaneRow::FolderLabel(QString text) {
    PaneRow r;
    r.kind = RowKind::Folder;
    r.find.name = std::move(text);
    return r;
}

namespace run_storage {
namespace {

constexpr size_t kHugePage = size_t(2) << 20;

size_t Mapped(size_t bytes) {
    return (bytes + kHugePage - 1) & ~(kHugePage - 1);
}

} // namespace

void* Allocate(size_t bytes) {
    if (bytes < kLargeRunBytes) return ::operator new(bytes);
    // A 2 MB boundary is only sure within a mapping 2 MB longer than needed; the rest is
    // given back at once.
    const size_t size = Mapped(bytes);
    void* const map = ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(map);
    const uintptr_t aligned = (start + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
    if (aligned > start) ::munmap(map, aligned - start);
    if (const size_t after = kHugePage - (aligned - start); after > 0)
        ::munmap(reinterpret_cast<void*>(aligned + size), after);
    // Only advice: without large pages the run takes small ones, as any memory does.
    ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void Free(void* p, size_t bytes) noexcept {
    if (!p) return;
    if (bytes < kLargeRunBytes)
        ::operator delete(p);
    else
        ::munmap(p, Mapped(bytes));
}

} // namespace run_storage

} // namespace velmar
