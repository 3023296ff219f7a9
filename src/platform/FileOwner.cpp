#include "platform/FileOwner.h"

#include "platform/NameCodec.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace velmar::platform {

namespace {

QString UserName(uid_t uid) {
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return DecodeName(std::string_view(found->pw_name));
    return QString::number(uid);
}

QString GroupName(gid_t gid) {
    std::vector<char> buffer(16384);
    struct group entry {};
    struct group* found = nullptr;
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return DecodeName(std::string_view(found->gr_name));
    return QString::number(gid);
}

QString PermissionText(mode_t mode) {
    QString text = QStringLiteral("---------");
    const char letters[] = "rwx";
    for (int i = 0; i < 9; ++i)
        if (mode & (0400 >> i)) text[i] = QLatin1Char(letters[i % 3]);
    // The set-id and sticky bits sit on the execute places, capital when execute is off.
    const struct {
        mode_t bit;
        int place;
        char on;
    } special[] = {{S_ISUID, 2, 's'}, {S_ISGID, 5, 's'}, {S_ISVTX, 8, 't'}};
    for (const auto& s : special)
        if (mode & s.bit)
            text[s.place] = QLatin1Char(text[s.place] == QLatin1Char('x') ? s.on : char(s.on - 32));
    return text;
}

} // namespace

bool OwnerOf(const QString& path, FileOwner& out) {
    struct stat st {};
    if (::lstat(EncodeName(path).constData(), &st) != 0) return false;
    out.owner = UserName(st.st_uid);
    out.group = GroupName(st.st_gid);
    out.permissions = PermissionText(st.st_mode);
    return true;
}

} // namespace velmar::platform
