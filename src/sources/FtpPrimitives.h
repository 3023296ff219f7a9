#pragma once
// The FTP halves of the file primitives (FilePrimitives.cpp dispatches to them).

#include "sources/FilePrimitives.h"

#include <vector>

namespace velmar::ftpprim {

bool ListFolder(PaneSide& side, const QString& folder, std::vector<ListedEntry>& out);
bool DeleteFile(PaneSide& side, const QString& path, FileMessages& messages);
bool RemoveDir(PaneSide& side, const QString& path, FileMessages& messages);
bool MakeDir(PaneSide& side, const QString& path, FileMessages& messages);
bool Download(const TransferControl& control, PaneSide& from, const QString& remote,
              const QString& local, bool failIfExists, FileMessages& messages);
bool Upload(const TransferControl& control, PaneSide& to, const QString& local,
            const QString& remote, FileMessages& messages);
bool CopyBetweenServers(const TransferControl& control, const QString& src, const QString& dst,
                        PaneSide& from, PaneSide& to, FileMessages& messages);
// Both paths on one server: a rename, else copy and delete.
bool MoveOnServer(const TransferControl& control, const QString& src, const QString& dst,
                  PaneSide& side, FileMessages& messages);

} // namespace velmar::ftpprim
