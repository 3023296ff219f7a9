#pragma once
// The per-user settings store: an INI file kept by QSettings under
// $XDG_CONFIG_HOME/Korvath CE Velmar/CE Velmar.conf, private to its user (0600).
// Every reader asks for its value when it needs it, with its own default; there is
// no cached settings object. Safe to call from any thread.

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

class QSettings;

namespace velmar::platform {

// The stored integer, or `fallback` when the value is missing or is not an integer.
int ReadSetting(const QString& section, const QString& value, int fallback);
void WriteSetting(const QString& section, const QString& value, int number);

// Text values (the high-score names). Missing or not text reads as `fallback`.
QString ReadStringSetting(const QString& section, const QString& value, const QString& fallback);
void WriteStringSetting(const QString& section, const QString& value, const QString& text);

// Raw byte-array values (history lists, the FTP server list). Missing or not a byte
// array reads as nullopt.
std::optional<QByteArray> ReadBinarySetting(const QString& section, const QString& value);
void WriteBinarySetting(const QString& section, const QString& value, const QByteArray& bytes);

// Values read and written in one go while the file is locked against other running copies
// of the program: the reads see the file as it is now, and every write lands in one write
// of the whole file (a temporary file renamed over it). A dialog's OK is one edit, and a
// list both copies add to (histories, high scores) is merged here, not overwritten.
class SettingsEdit {
public:
    explicit SettingsEdit(QSettings& store) : store_(store) {}
    int ReadInt(const QString& section, const QString& value, int fallback) const;
    QString ReadString(const QString& section, const QString& value,
                       const QString& fallback) const;
    std::optional<QByteArray> ReadBinary(const QString& section, const QString& value) const;
    void WriteInt(const QString& section, const QString& value, int number);
    void WriteString(const QString& section, const QString& value, const QString& text);
    void WriteBinary(const QString& section, const QString& value, const QByteArray& bytes);

private:
    QSettings& store_;
};

// Runs `change` under the lock and writes what it wrote; false when the file could not
// be written.
bool EditSettings(const std::function<void(SettingsEdit&)>& change);

// How many values and sub-sections the section holds; false when it holds nothing.
bool CountSettingsKeys(const QString& section, int& values, int& sections);

// The path of the settings file in force.
QString SettingsFilePath();

// Tests point the store at a folder of their own; an empty path returns to the default.
void SetSettingsFolderForTesting(const QString& folder);

} // namespace velmar::platform
