#include "game/core/HighScores.h"

#include "platform/Settings.h"

namespace velmar::lines {

namespace {
const QString kSection = QStringLiteral("GamesScore");

QString NameKey(int i) {
    return QStringLiteral("Name%1").arg(i);
}
QString ScoreKey(int i) {
    return QStringLiteral("Score%1").arg(i);
}
} // namespace

void HighScoreTable::Load() {
    entries_.clear();
    for (int i = 0; i < kHighScoreEntries; ++i)
        entries_.push_back({platform::ReadStringSetting(kSection, NameKey(i), QString()),
                            platform::ReadSetting(kSection, ScoreKey(i), 0)});
}

void HighScoreTable::Save() const {
    const int n = std::min(int(entries_.size()), kHighScoreEntries);
    for (int i = 0; i < n; ++i) {
        platform::WriteStringSetting(kSection, NameKey(i), entries_[size_t(i)].name);
        platform::WriteSetting(kSection, ScoreKey(i), entries_[size_t(i)].score);
    }
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
