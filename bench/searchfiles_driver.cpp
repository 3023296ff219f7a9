// The search worker and DirSize on a folder tree, for bench/search-files.sh and
// bench/dir-sizes.sh:
//   make DIR                 500 folders (20 x 25) of 100 files each, half of them .txt
//   search DIR MASK [TEXT]   RunSearch from DIR; prints the number of hits
//   dirsize DIR              DirSize of DIR; prints the sum
#include "sources/FilePrimitives.h"
#include "sources/PatternSearch.h"
#include "sources/SearchJob.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: searchfiles_driver make|search|dirsize DIR [MASK [TEXT]]\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString root = QDir(QString::fromLocal8Bit(argv[2])).absolutePath() + QLatin1Char('/');
    if (mode == QLatin1String("make")) {
        QByteArray body;
        for (int line = 0; body.size() < 2000; ++line)
            body += "line " + QByteArray::number(line) + " of some ordinary text in a file\n";
        for (int a = 0; a < 20; ++a)
            for (int b = 0; b < 25; ++b) {
                const QString folder = root + QStringLiteral("d%1/e%2/").arg(a).arg(b);
                if (!QDir().mkpath(folder)) return 1;
                for (int f = 0; f < 100; ++f) {
                    QFile out(folder + QStringLiteral("f%1.%2").arg(f).arg(f % 2 ? "txt" : "dat"));
                    if (!out.open(QIODevice::WriteOnly)) return 1;
                    out.write(body);
                }
            }
        return 0;
    }
    if (mode == QLatin1String("dirsize")) {
        std::printf("%llu\n", static_cast<unsigned long long>(velmar::DirSize(root)));
        return 0;
    }
    velmar::PatternSearch pattern;
    velmar::SearchJob job;
    job.root = root;
    job.mask = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("*.*");
    if (argc > 4 && pattern.AddPattern(QString::fromLocal8Bit(argv[4]), true, false)) {
        job.textSearch = true;
        job.pattern = &pattern;
    }
    velmar::RunSearch(job);
    std::printf("%zu\n", job.TakeHits().size());
    return 0;
}
