#pragma once
// The per-user settings store: an INI file kept by QSettings under
// $XDG_CONFIG_HOME/Korvath CE Velmar/CE Velmar.conf, private to its user (0600).
// Every reader asks for its value when it needs it, with its own default; there is
// no cached settings object. Safe to call from any thread.

#include <QByteArray>
#include <QString>
#include <optional>

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

// How many values and sub-sections the section holds; false when it holds nothing.
bool CountSettingsKeys(const QString& section, int& values, int& sections);

// The path of the settings file in force.
QString SettingsFilePath();

// Tests point the store at a folder of their own; an empty path returns to the default.
void SetSettingsFolderForTesting(const QString& folder);

} // namespace velmar::platform
