// Host output is outside input: any byte stream, in any size of reads, on any terminal size,
// keeps the cursor on the screen and the buffer at its size.
#include "telnet/Terminal.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmar::telnet;
    if (size < 3) return 0;
    Terminal t;
    // The first three bytes choose the size (rows, columns, lines), as the size dialog would.
    t.SetSize(2 + data[2] % 64, data[0] % 40, data[1]);
    size_t pos = 3;
    while (pos < size) {
        // One byte chooses the size of the next read; its top bit, a new size after it from
        // the next three bytes, as the size dialog may change it in the middle of output.
        const uint8_t control = data[pos++];
        const size_t n = std::min(size_t(control % 64) + 1, size - pos);
        t.Process(data + pos, n);
        pos += n;
        if ((control & 0x80) && size - pos >= 3) {
            t.SetSize(data[pos] % 80, data[pos + 1] % 40, data[pos + 2] % 120);
            pos += 3;
        }
        if (t.cursorX() < 0 || t.cursorX() >= t.columns()) std::abort();
        if (t.cursorY() < 0 || t.cursorY() >= t.rows()) std::abort();
        if (t.savedX() < 0 || t.savedX() >= t.columns()) std::abort();
        if (t.savedY() < 0 || t.savedY() >= t.rows()) std::abort();
        if (t.rows() > t.lines() - 1 || t.pendingLength() > Terminal::kPendingMax) std::abort();
        if (t.historyLines() > t.lines() - t.rows() - 1) std::abort();
        for (int l = 0; l < t.lines(); ++l)
            if (t.LineLength(l) < 0 || t.LineLength(l) > t.columns()) std::abort();
        if (t.LineLength(t.lines() - 1) != 0) std::abort();
        if (!t.TakeReplies().isEmpty()) std::abort(); // this dialect answers nothing
        const Damage d = t.TakeDamage();
        if (d.bottom >= d.top && (d.top < 0 || d.bottom >= t.rows())) std::abort();
    }
    return 0;
}
