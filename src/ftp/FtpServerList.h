#pragma once
// The user's list of FTP servers: CFtpNode entries stored as one archived object array in
// the settings ("FTP"/"list"). Passwords are stored as typed. The archive keeps the fields
// it always had; each entry's protocol is stored beside it ("FTP"/"protocols").

#include "ftp/FtpProtocol.h"

#include <QByteArray>
#include <QStringList>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace velmar {

struct CFtpNode {
    QString host;
    QString password;
    QString user;
    uint32_t askPassword = 0; // "Ask password directly before connecting"
    uint32_t port = 21;
    FtpProtocol protocol = FtpProtocol::Ftp; // not in the archive

    bool operator==(const CFtpNode&) const = default;
};

// The archive bytes of the list; nullopt when they would exceed the stored limit.
std::optional<QByteArray> ArchiveFtpNodes(const std::vector<CFtpNode>& nodes);
// The list back from archive bytes; nullopt when they do not parse.
std::optional<std::vector<CFtpNode>> UnarchiveFtpNodes(const QByteArray& bytes);

// The protocols stored beside the archive: one line per entry naming it, so that a list
// changed by a program that knows no protocols (an entry removed or moved) leaves the
// others plain FTP rather than giving them another entry's protocol.
QStringList ProtocolLines(const std::vector<CFtpNode>& nodes);
// Sets each entry's protocol from `lines`; an entry without its own matching line is FTP.
void ApplyProtocolLines(const QStringList& lines, std::vector<CFtpNode>& nodes);

// From and to "FTP"/"list" (and the protocols beside it): an absent or unreadable value is an
// empty list. Saving fails, writing nothing, when the list is too large to be stored or the
// settings cannot be written.
std::vector<CFtpNode> LoadFtpServerList();
bool SaveFtpServerList(const std::vector<CFtpNode>& nodes);

} // namespace velmar
