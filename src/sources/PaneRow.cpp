#include "sources/PaneRow.h"

#include "sources/DirSource.h"

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

} // namespace velmar
