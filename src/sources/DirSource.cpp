#include "sources/DirSource.h"

#include <array>
#include <atomic>

namespace velmar {

QString FolderPattern(const QString& path) {
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    QString folder = slash >= 0 ? path.left(slash + 1) : QString();
    return folder + QStringLiteral("*.*");
}

bool LocalDirSource::Open(const QString& path) {
    find_.Close();
    mask = path;
    phase = 1;
    restart_ = true;
    ended_ = false;
    pattern_ = FolderPattern(path);
    return true;
}

bool LocalDirSource::Step(FindRecord& out, platform::LocalFind::Want want) {
    if (restart_ && !find_.IsOpen()) {
        restart_ = false;
        if (!find_.Open(pattern_)) return false;
    }
    if (!find_.IsOpen()) return false;
    if (find_.Next(out, want)) return true;
    find_.Close();
    return false;
}

EntryKind LocalDirSource::Next(FindRecord& out) {
    using Want = platform::LocalFind::Want;
    if (ended_) return kEntryEnd;
    if (phase == 1) {
        // The finder passes over entries of the other kind itself.
        if (Step(out, Want::FoldersOnly)) return kEntryFolder;
        phase = 0;
        restart_ = true;
        pattern_ = mask;
        return Next(out);
    }
    if (Step(out, Want::FilesOnly)) return kEntryFile;
    ended_ = true;
    return kEntryEnd;
}

namespace {
std::array<std::atomic<DirSourceFactory>, 2> g_factories{};
}

void RegisterDirSourceFactory(int kind, DirSourceFactory factory) {
    if (kind == kSourceFtp) g_factories[size_t(kind)] = factory;
}

std::unique_ptr<DirSource> CreateDirSource(int kind) {
    if (kind == kSourceLocal) return std::make_unique<LocalDirSource>();
    if (kind == kSourceFtp) {
        if (DirSourceFactory f = g_factories[size_t(kind)]) return f();
    }
    return nullptr;
}

namespace {

// "." and "..": never listed.
bool IsDotEntry(const QString& n) {
    return n.size() <= 2 && n.startsWith(QLatin1Char('.')) &&
           (n.size() == 1 || n.at(1) == QLatin1Char('.'));
}

} // namespace

int ListEntries(DirSource& source, int sourceKind, const QString& path,
                const DirSource::Take& take) {
    source.Open(path);
    int taken = 0;
    for (;;) {
        FindRecord record;
        const EntryKind kind = source.Next(record);
        source.lastKind = kind;
        if (kind == kEntryEnd) break;
        if (sourceKind == kSourceFtp) TrimOneTrailingBlank(record.name);
        if (IsDotEntry(record.name)) continue;
        ++taken;
        if (!take(record, kind)) break;
    }
    return taken;
}

int ListEntriesAsTheyCome(DirSource& source, int sourceKind, const QString& path,
                          const DirSource::Take& take, const std::function<void()>& drop) {
    source.Open(path);
    int taken = 0;
    bool taking = true;
    const auto pushed = source.Push(
        [&](FindRecord& record, EntryKind kind) {
            if (!taking) return false;
            if (sourceKind == kSourceFtp) TrimOneTrailingBlank(record.name);
            if (IsDotEntry(record.name)) return true;
            ++taken;
            taking = take(record, kind);
            return taking;
        },
        drop);
    source.lastKind = kEntryEnd;
    return pushed == DirSource::PushResult::Unsupported ? -1 : taken;
}

} // namespace velmar
