#pragma once
// The ten best scores with the players' names, kept in the settings section "GamesScore"
// as "Name0" ... "Name9" and "Score0" ... "Score9", best first.

#include <QString>
#include <vector>

namespace velmar::lines {

struct HighScoreEntry {
    QString name;
    int score = 0;
};

constexpr int kHighScoreEntries = 10;

class HighScoreTable {
public:
    // Reads the ten entries; missing ones are empty names with score 0. A stored score
    // below 0 reads as 0, and the entries are kept best first whatever the file says.
    void Load();
    // Writes the first ten entries.
    void Save() const;
    // Inserts (name, score) into the table as it is stored now (another running copy may
    // have added entries since Load) and writes the ten best back, in one write; the table
    // then holds what was written.
    void Record(const QString& name, int score);

    // A score enters only when it beats the tenth entry.
    bool Qualifies(int score) const;
    // Puts (name, score) below every entry with a score of at least `score`.
    void Insert(const QString& name, int score);

    const std::vector<HighScoreEntry>& entries() const { return entries_; }
    // The score of the first entry.
    int best() const { return entries_.empty() ? 0 : entries_.front().score; }

private:
    std::vector<HighScoreEntry> entries_;
};

} // namespace velmar::lines
