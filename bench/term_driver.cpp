// The terminal emulator on a stream of host output, for bench/term.sh (against libvterm)
// and bench/term-view.sh (the whole window against the emulator alone).
//   term_driver make FILE MIB   writes MIB MiB of mixed terminal output (text lines, colour
//                               changes, cursor moves, erases)
//   term_driver core FILE       feeds FILE through the emulator in reads of 4 KiB
//   term_driver vterm FILE      the same through libvterm's vterm_input_write into a screen
//   term_driver xterm FILE      the same through our xterm emulation (libvterm with our
//                               scrollback, damage and replies)
//   term_driver vterm-utf8 FILE libvterm alone as the xterm emulation sets it up (UTF-8)
//   term_driver view FILE       the same through the terminal window (offscreen, painted)
// Each run prints the final cursor so the sides can be seen to have done the work.
#include "DriverSupport.h"
#include "framework/Dialogs.h"
#include "telnet/TelnetView.h"
#include "telnet/Terminal.h"
#include "telnet/XtermEmulation.h"

#include <QApplication>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <vterm.h>
}

namespace {

constexpr size_t kRead = 4096;
constexpr int kRows = 25, kColumns = 80;

int Make(const char* path, long mib) {
    static const char* const words[] = {"the",   "file",   "manager", "folder", "copy", "move",
                                        "pane",  "server", "list",    "search", "text", "open",
                                        "close", "window", "telnet",  "byte",   "row",  "column",
                                        "and",   "of",     "to",      "in",     "is",   "with"};
    FILE* out = std::fopen(path, "wb");
    if (!out) return 1;
    velmar::bench::Random next;
    const uint64_t total = uint64_t(mib) << 20;
    uint64_t written = 0;
    std::string line;
    char seq[32];
    while (written < total) {
        line.clear();
        const unsigned kind = unsigned(next() % 100);
        if (kind < 10) {
            std::snprintf(seq, sizeof seq, "\033[%u;%uH", unsigned(next() % 24 + 1),
                          unsigned(next() % 80 + 1));
            line += seq;
        } else if (kind < 15) {
            line += "\033[K";
        } else if (kind < 16) {
            line += "\033[2J";
        }
        size_t width = 0;
        const size_t want = 20 + next() % 55;
        while (width < want) {
            if (next() % 6 == 0) {
                const unsigned c = unsigned(next() % 4);
                if (c == 0)
                    std::snprintf(seq, sizeof seq, "\033[1;3%um", unsigned(next() % 8));
                else if (c == 1)
                    std::snprintf(seq, sizeof seq, "\033[4%um", unsigned(next() % 8));
                else if (c == 2)
                    std::snprintf(seq, sizeof seq, "\033[3%u;4%um", unsigned(next() % 8),
                                  unsigned(next() % 8));
                else
                    std::snprintf(seq, sizeof seq, "\033[0m");
                line += seq;
            }
            const char* w = words[next() % (sizeof words / sizeof *words)];
            line += w;
            line += ' ';
            width += std::strlen(w) + 1;
        }
        line += "\033[0m\r\n";
        std::fwrite(line.data(), 1, line.size(), out);
        written += line.size();
    }
    return std::fclose(out) == 0 ? 0 : 1;
}

std::vector<uint8_t> ReadAll(const char* path) {
    std::vector<uint8_t> data;
    FILE* in = std::fopen(path, "rb");
    if (!in) return data;
    std::fseek(in, 0, SEEK_END);
    data.resize(size_t(std::ftell(in)));
    std::fseek(in, 0, SEEK_SET);
    if (std::fread(data.data(), 1, data.size(), in) != data.size()) data.clear();
    std::fclose(in);
    return data;
}

int Core(const std::vector<uint8_t>& data) {
    velmar::telnet::Terminal t;
    for (size_t pos = 0; pos < data.size(); pos += kRead) {
        t.Process(data.data() + pos, std::min(kRead, data.size() - pos));
        t.TakeDamage();
        t.TakeReplies();
    }
    std::printf("%d %d\n", t.cursorX(), t.cursorY());
    return 0;
}

int Xterm(const std::vector<uint8_t>& data) {
    velmar::telnet::XtermEmulation t(kRows, kColumns);
    for (size_t pos = 0; pos < data.size(); pos += kRead) {
        t.Process(data.data() + pos, std::min(kRead, data.size() - pos));
        t.TakeDamage();
        t.TakeReplies();
    }
    std::printf("%d %d history %d\n", t.cursorX(), t.cursorY(), t.historyLines());
    return 0;
}

int Vterm(const std::vector<uint8_t>& data, bool utf8) {
    VTerm* vt = vterm_new(kRows, kColumns);
    vterm_set_utf8(vt, utf8 ? 1 : 0);
    VTermScreen* screen = vterm_obtain_screen(vt);
    vterm_screen_reset(screen, 1);
    for (size_t pos = 0; pos < data.size(); pos += kRead)
        vterm_input_write(vt, reinterpret_cast<const char*>(data.data()) + pos,
                          std::min(kRead, data.size() - pos));
    VTermPos cursor;
    vterm_state_get_cursorpos(vterm_obtain_state(vt), &cursor);
    std::printf("%d %d\n", cursor.col, cursor.row);
    vterm_free(vt);
    return 0;
}

int View(int argc, char** argv, const std::vector<uint8_t>& data) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The connect dialog of the first showing is cancelled: the bytes come from the file.
    velmar::SetDialogHookForTesting([](QDialog* d) { d->reject(); });
    velmar::telnet::CTelnetView view;
    view.resize(80 * view.cellWidth() + 40, 26 * view.cellHeight());
    view.show();
    QApplication::processEvents();
    for (size_t pos = 0; pos < data.size(); pos += kRead) {
        view.Feed(QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()) + pos,
                                          qsizetype(std::min(kRead, data.size() - pos))));
        // Each read comes from the event loop, as the socket's would.
        QApplication::processEvents();
    }
    view.FlushDamage();
    QApplication::processEvents();
    std::printf("%d %d paints %d\n", view.emulation().cursorX(), view.emulation().cursorY(),
                view.paintCount());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "make") == 0) return Make(argv[2], std::atol(argv[3]));
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: term_driver make FILE MIB | core|vterm|vterm-utf8|xterm|view FILE\n");
        return 2;
    }
    const std::vector<uint8_t> data = ReadAll(argv[2]);
    if (data.empty()) return 1;
    if (std::strcmp(argv[1], "core") == 0) return Core(data);
    if (std::strcmp(argv[1], "vterm") == 0) return Vterm(data, false);
    if (std::strcmp(argv[1], "vterm-utf8") == 0) return Vterm(data, true);
    if (std::strcmp(argv[1], "xterm") == 0) return Xterm(data);
    if (std::strcmp(argv[1], "view") == 0) return View(argc, argv, data);
    return 2;
}
