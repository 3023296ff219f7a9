// Drives the file primitives for the copy and delete comparisons:
//   file_driver copy SRC DST           one file through CopyEntry
//   file_driver tree FOLDER NAME DST   the folder FOLDER/NAME into DST through the copy worker
//   file_driver rmtree PATH            RemoveFolder, every question answered Yes
#include "sources/FilePrimitives.h"
#include "sources/TransferJob.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>

using namespace velmar;

namespace {
class AlwaysYes : public FileMessages {
public:
    bool Ask(const QString&) override { return true; }
    void Tell(const QString& text) override {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        ++errors;
    }
    int errors = 0;
};
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    AlwaysYes user;
    PaneSide local;
    const auto arg = [&](int i) { return QString::fromLocal8Bit(argv[i]); };
    if (argc == 4 && std::strcmp(argv[1], "copy") == 0) {
        std::atomic<int> running{1};
        std::atomic<uint64_t> counter{0};
        return CopyEntry({&running, &counter}, arg(2), arg(3), local, local, user) ? 0 : 1;
    }
    if (argc == 5 && std::strcmp(argv[1], "tree") == 0) {
        TransferJob job;
        job.sourcePath = arg(2) + "/";
        job.targetPath = arg(4) + "/";
        job.messages = &user;
        TransferItem item;
        item.name = arg(3);
        item.folder = true;
        job.items.push_back(item);
        RunTransfer(job);
        std::printf("%d files\n", job.progress.files.load());
        return user.errors == 0 ? 0 : 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "rmtree") == 0) {
        bool whole = false;
        return RemoveFolder(arg(2), local, user, &whole) && whole ? 0 : 1;
    }
    std::fprintf(stderr, "usage: file_driver copy SRC DST | tree FOLDER NAME DST | rmtree PATH\n");
    return 2;
}
