#pragma once
// The user's list of FTP servers: CFtpNode entries stored as one archived object array in
// the settings ("FTP"/"list"). Passwords are stored as typed.

#include <QByteArray>
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

    bool operator==(const CFtpNode&) const = default;
};

// The archive bytes of the list; nullopt when they would exceed the stored limit.
std::optional<QByteArray> ArchiveFtpNodes(const std::vector<CFtpNode>& nodes);
// The list back from archive bytes; nullopt when they do not parse.
std::optional<std::vector<CFtpNode>> UnarchiveFtpNodes(const QByteArray& bytes);

// From and to "FTP"/"list": an absent or unreadable value is an empty list.
std::vector<CFtpNode> LoadFtpServerList();
void SaveFtpServerList(const std::vector<CFtpNode>& nodes);

} // namespace velmar
