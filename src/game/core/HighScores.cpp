#include "game/core/HighScores.h"

#include "platform/Settings.h"

#include <algorithm>

namespace velmar::lines {

namespace {
const QString kSection = QStringLiteral("GamesScore");

QString NameKey(int i) {
    return QStringLiteral("Name%1").arg(i);
}
QString ScoreKey(int i) {
    return QStringLiteral("Score%1").arg(i);
}


std::vector<HighScoreEntry> Read(const platform::SettingsEdit& e) {
    std::vector<HighScoreEntry> entries;
    for (int i = 0; i < kHighScoreEntries; ++i)
        entries.push_back({e.ReadString(kSection, NameKey(i), QString()),
                           std::max(0, e.ReadInt(kSection, ScoreKey(i), 0))});
    // Edited by hand, the file may be out of order; the insertion needs it best first.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const HighScoreEntry& a, const HighScoreEntry& b) { return a.score > b.score; });
    return entries;
}

void Write(platform::SettingsEdit& e, const std::vector<HighScoreEntry>& entries) {
    const int n = std::min(int(entries.size()), kHighScoreEntries);
    for (int i = 0; i < n; ++i) {
        e.WriteString(kSection, NameKey(i), entries[size_t(i)].name);
        e.WriteInt(kSection, ScoreKey(i), entries[size_t(i)].score);
    }
}
} // namespace

void HighScoreTable::Load() {
    // Read under the same lock as the writes: never half of another copy's write.
    platform::EditSettings([this](platform::SettingsEdit& e) { entries_ = Read(e); });
}

void HighScoreTable::Save() const {
    platform::EditSettings([this](platform::SettingsEdit& e) { Write(e, entries_); });
}

void HighScoreTable::Record(const QString& name, int score) {
    platform::EditSettings([&](platform::SettingsEdit& e) {
        entries_ = Read(e);
        Insert(name, score);
        if (entries_.size() > size_t(kHighScoreEntries)) entries_.resize(kHighScoreEntries);
        Write(e, entries_);
    });
}

bool HighScoreTable::Qualifies(int score) const {
    if (entries_.size() < size_t(kHighScoreEntries)) return score > 0;
    return score > entries_[kHighScoreEntries - 1].score;
}

void HighScoreTable::Insert(const QString& name, int score) {
    auto it = entries_.begin();
    while (it != entries_.end() && it->score >= score)
        ++it;
    entries_.insert(it, HighScoreEntry{name, score});
}

} // namespace velmar::lines
