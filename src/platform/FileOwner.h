#pragma once
// Who owns a local entry and what its permission bits allow, as the properties sheet shows it.

#include <QString>

namespace velmar::platform {

struct FileOwner {
    QString owner;       // the user's name, else the number
    QString group;       // the group's name, else the number
    QString permissions; // "rwxr-x---" as ls shows it, with s, S, t and T
};

// The entry itself (a link is not followed); false when it cannot be looked at.
bool OwnerOf(const QString& path, FileOwner& out);

} // namespace velmar::platform
