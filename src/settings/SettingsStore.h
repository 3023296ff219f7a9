#pragma once
// The program's settings: the ten "Settings" values with their defaults, the history
// lists of the network tools, and the small key reader the launcher uses.

#include "platform/Settings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

namespace velmar {

using platform::ReadSetting;
using platform::WriteSetting;

struct SettingDef {
    const char* name;
    int fallback;
};

inline const QString kSettingsSection = QStringLiteral("Settings");

// In the order the Preferences dialog reads and writes them.
inline constexpr std::array<SettingDef, 10> kSettingsStore{{
    {"Horizontal Panes", 1},
    {"QestionOnRewrite", 1}, // ticked: ask before replacing a file; never silent unasked
    {"LikeNC", 1},
    {"InternalFTP", 0},
    {"ShowHidden", 1},
    {"ShowInRom", 1},
    {"ConnectTimeout", 15},
    {"SendTimeout", 5},
    {"RecieveTimeout", 5},
    {"UseLinger", 0},
}};

// Beside the ten, in the same section: 1 sends local deletes to the desktop trash, 0 deletes
// for good (check box "Delete to trash").
inline constexpr SettingDef kDeleteToTrash{"DeleteToTrash", 1};

// Whether a copy or move asks before replacing a file. Earlier versions stored
// "QestionOnRewrite" without acting on it (they always asked), so a stored 0 turns the
// question off only when this version's Preferences wrote it (kRewriteChoiceMarker).
bool AskBeforeReplacing();
inline constexpr const char* kRewriteChoiceMarker = "QestionOnRewriteChosen";

// A "Settings" value by name, with the default of the tables above (0 for an unknown name).
int ReadStoreSetting(const char* name);
void WriteStoreSetting(const char* name, int number);
// All ten values of the table, in its order, in one write of the settings file.
void WriteStoreSettings(const std::array<int, kSettingsStore.size()>& values);

// A stored time-out in seconds ("ConnectTimeout", "SendTimeout", "RecieveTimeout") in
// milliseconds, the same for every reader: 0 or less means no time limit (kNoTimeLimitMs),
// and a number of seconds too large for milliseconds is held at the largest wait there is.
constexpr int kNoTimeLimitMs = 2147483647;
int TimeoutSettingMs(const char* name);
int TimeoutMs(int seconds);

// History lists: most recent first, at most kHistoryKeep kept on save.
constexpr int kHistoryKeep = 20;
constexpr int kArchiveLimit = 32768;

// The archive bytes of a string array; nullopt when they would exceed kArchiveLimit.
std::optional<QByteArray> ArchiveStrings(const QStringList& list);
// The string array back from archive bytes; nullopt when they do not parse.
std::optional<QStringList> UnarchiveStrings(const QByteArray& bytes);

// Missing, over-long or corrupt values read as an empty list.
QStringList LoadHistory(const QString& section, const QString& value);
// Keeps the first kHistoryKeep entries; writes nothing when the archive cannot be built.
// Another running copy may have saved the list since this one loaded it (`loaded`): the
// entries put in front here come first, then the stored list without them.
void SaveHistory(const QString& section, const QString& value, QStringList list,
                 const QStringList& loaded = {});
// Several lists of one dialog in one write.
struct HistorySave {
    QString section;
    QString value;
    QStringList list;
    QStringList loaded;
};
void SaveHistories(const std::vector<HistorySave>& lists);
// The merge SaveHistory makes: `list` grew from `loaded` by moves to the front.
QStringList MergeHistory(const QStringList& list, const QStringList& loaded,
                         const QStringList& stored);
// A started action: move (or put) the text to the front; an empty text changes nothing.
void AddToHistory(QStringList& list, const QString& text);
// A history in the order a sorted combo box lists it: alphabetical, ignoring case.
QStringList SortedForList(QStringList list);

// A reader of one key. The launcher asks the classes root whether an extension has an
// association; here that is the shared MIME database knowing a type for it.
class RegistryKey {
public:
    enum Root { ClassesRoot, CurrentUser };

    bool Open(Root root, const QString& subkey);
    void Close();
    bool isOpen() const { return open_; }

    QString className;       // for the classes root: the MIME type's name
    int subkeyCount = 0;
    int valueCount = 0;      // for the classes root: how many types know the extension

private:
    bool open_ = false;
};

} // namespace velmar
