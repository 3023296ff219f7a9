#include "sources/FtpPrimitives.h"

// Until FTP panes carry a connection, an FTP side is never usable and these are not reached.
namespace velmar::ftpprim {

bool ListFolder(PaneSide&, const QString&, std::vector<ListedEntry>&) {
    return false;
}
bool DeleteFile(PaneSide&, const QString&, FileMessages&) {
    return false;
}
bool RemoveDir(PaneSide&, const QString&, FileMessages&) {
    return false;
}
bool MakeDir(PaneSide&, const QString&, FileMessages&) {
    return false;
}
bool Download(const TransferControl&, PaneSide&, const QString&, const QString&, bool,
              FileMessages&) {
    return false;
}
bool Upload(const TransferControl&, PaneSide&, const QString&, const QString&, FileMessages&) {
    return false;
}
bool CopyBetweenServers(const TransferControl&, const QString&, const QString&, PaneSide&,
                        PaneSide&, FileMessages&) {
    return false;
}
bool MoveOnServer(const TransferControl&, const QString&, const QString&, PaneSide&,
                  FileMessages&) {
    return false;
}

} // namespace velmar::ftpprim
