// Lists one folder through LocalDirSource with full records, as a local pane does, and
// prints the number of entries. Used by bench/listing.sh against `ls -l`.
#include "sources/DirSource.h"

#include <QString>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: listing_driver FOLDER [REPEAT]\n");
        return 2;
    }
    const QString pattern = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/*.*");
    const int repeat = argc > 2 ? std::atoi(argv[2]) : 1;
    long long entries = 0;
    unsigned long long bytes = 0;
    for (int r = 0; r < repeat; ++r) {
        velmar::LocalDirSource source;
        source.Open(pattern);
        velmar::FindRecord record;
        while (source.Next(record) != velmar::kEntryEnd) {
            ++entries;
            bytes += record.size;
        }
    }
    std::printf("%lld entries, %llu bytes\n", entries, bytes);
    return 0;
}
