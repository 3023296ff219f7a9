// Host output in xterm mode is outside input too: any byte stream, cut into any reads, with
// the window resized between them, keeps the cursor on the screen, the scrollback within its
// bound, and every line readable.
#include "telnet/XtermEmulation.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmar::telnet;
    if (size < 3) return 0;
    // The first three bytes choose the size (rows, columns, lines of scrollback).
    XtermEmulation e(1 + data[0] % 60, 1 + data[1] % 200);
    e.SetSize(2 + data[2] % 100, e.rows(), e.columns());
    std::vector<Cell> cells;
    size_t pos = 3;
    while (pos < size) {
        const uint8_t control = data[pos++];
        // A control byte of 255 resizes the window as a drag would; else it sizes the read.
        if (control == 255 && pos + 1 < size) {
            e.SetSize(e.lines(), 1 + data[pos] % 60, 1 + data[pos + 1] % 200);
            pos += 2;
            continue;
        }
        const size_t n = std::min(size_t(control) % 64 + 1, size - pos);
        e.Process(data + pos, n);
        pos += n;
        if (e.cursorX() < 0 || e.cursorX() >= e.columns()) std::abort();
        if (e.cursorY() < 0 || e.cursorY() >= e.rows()) std::abort();
        if (e.historyLines() > std::max(0, e.lines() - e.rows())) std::abort();
        const Damage d = e.TakeDamage();
        if (d.bottom >= d.top && (d.top < 0 || d.bottom >= e.rows())) std::abort();
        e.TakeReplies();
    }
    cells.resize(size_t(e.columns()));
    for (int line = 0; line < e.viewLines(); ++line)
        e.LineCells(line, cells.data());
    e.SaveText();
    return 0;
}
