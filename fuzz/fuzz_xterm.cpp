// Host output in xterm mode is outside input too: any byte stream, cut into any reads, with
// the window resized between them, keeps the cursor on the screen, the scrollback within its
// bound, and every line readable. Until the first resize, the screen and the scrollback must
// also hold what libvterm's own screen layer makes of the same bytes, cell by cell.
#include "telnet/Terminal.h"
#include "telnet/XtermEmulation.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <vector>

extern "C" {
#include <vterm.h>
}

namespace {

using velmar::telnet::Cell;
using velmar::telnet::kCellWide;
using velmar::telnet::kPalette;

// libvterm's screen set up as the emulation sets up libvterm, keeping what scrolls off.
struct Reference {
    VTerm* vt;
    VTermScreen* screen;
    int rows, columns;
    std::deque<std::vector<VTermScreenCell>> pushed;
    velmar::telnet::Utf8Joiner utf8; // as the emulation hands bytes on

    // The emulation draws no screen-wide reverse video (DECSCNM): once a stream turns it on,
    // it is compared no further.
    bool reverseScreen = false;
    static int SetProp(VTermProp prop, VTermValue* val, void* user) {
        if (prop == VTERM_PROP_REVERSE && val->boolean)
            static_cast<Reference*>(user)->reverseScreen = true;
        return 1;
    }

    static int Push(int cols, const VTermScreenCell* cells, void* user) {
        auto* self = static_cast<Reference*>(user);
        self->pushed.emplace_back(cells, cells + cols);
        if (self->pushed.size() > 1000) self->pushed.pop_front();
        return 1;
    }

    Reference(int r, int c) : vt(vterm_new(r, c)), rows(r), columns(c) {
        static const VTermScreenCallbacks callbacks = {nullptr, nullptr, nullptr, &SetProp,
                                                       nullptr, nullptr, &Push,   nullptr};
        vterm_set_utf8(vt, 1);
        screen = vterm_obtain_screen(vt);
        vterm_screen_set_callbacks(screen, &callbacks, this);
        vterm_screen_enable_altscreen(screen, 1);
        VTermState* state = vterm_obtain_state(vt);
        VTermColor c16;
        for (int k = 0; k < 16; ++k) {
            vterm_color_rgb(&c16, uint8_t(kPalette[k] >> 16), uint8_t(kPalette[k] >> 8),
                            uint8_t(kPalette[k]));
            vterm_state_set_palette_color(state, k, &c16);
        }
        VTermColor fg, bg;
        vterm_color_rgb(&fg, 0xBB, 0xBB, 0xBB);
        vterm_color_rgb(&bg, 0, 0, 0);
        vterm_state_set_default_colors(state, &fg, &bg);
        vterm_state_set_bold_highbright(state, 1);
        vterm_screen_reset(screen, 1);
    }
    ~Reference() { vterm_free(vt); }

    uint32_t Rgb(VTermColor c) const {
        vterm_screen_convert_color_to_rgb(screen, &c);
        return (uint32_t(c.rgb.red) << 16) | (uint32_t(c.rgb.green) << 8) | c.rgb.blue;
    }
    // Our cell against libvterm's: the character (blank for erased cells and the right half
    // of a wide glyph) and, but on such a right half, the colours as drawn. An erased cell
    // takes the pen's colours but not its reverse, as in xterm; this libvterm (0.1.4) still
    // marks it reversed, which later versions no longer do.
    void Check(const Cell& ours, const VTermScreenCell& ref) const {
        const bool rightHalf = ref.chars[0] == 0xFFFFFFFFu;
        const bool erased = ref.chars[0] == 0;
        const char32_t ch = (erased || rightHalf) ? U' ' : char32_t(ref.chars[0]);
        if (ours.ch != ch) std::abort();
        if (rightHalf) return;
        uint32_t text = Rgb(ref.fg), fill = Rgb(ref.bg);
        if (ref.attrs.reverse && !erased) std::swap(text, fill);
        if (ours.text != text || ours.fill != fill) std::abort();
        if (bool(ours.flags & kCellWide) != (ref.width > 1)) std::abort();
    }
    void Compare(const velmar::telnet::XtermEmulation& e) const {
        std::vector<Cell> cells(size_t(e.columns()));
        VTermScreenCell ref;
        for (int row = 0; row < rows; ++row) {
            e.LineCells(e.ScreenToView(row), cells.data());
            for (int col = 0; col < columns; ++col) {
                vterm_screen_get_cell(screen, VTermPos{row, col}, &ref);
                Check(cells[size_t(col)], ref);
            }
        }
        const int history = e.historyLines();
        if (size_t(history) != std::min(pushed.size(), size_t(e.lines() - e.rows()))) std::abort();
        for (int k = 0; k < history; ++k) {
            e.LineCells(k, cells.data());
            const auto& line = pushed[pushed.size() - size_t(history) + size_t(k)];
            for (int col = 0; col < columns; ++col)
                Check(cells[size_t(col)], line[size_t(col)]);
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmar::telnet;
    if (size < 3) return 0;
    // The first three bytes choose the size (rows, columns, lines of scrollback).
    XtermEmulation e(1 + data[0] % 60, 1 + data[1] % 200);
    e.SetSize(2 + data[2] % 100, e.rows(), e.columns());
    // libvterm itself overruns its arguments past 16 (the emulation guards against that), so
    // the comparison runs on streams that cannot hold such a sequence.
    // It also repeats "the last character" for ever when there is none yet, which the
    // emulation guards against too: streams that could ask for that (a "b") are not compared.
    const bool compare =
        std::count_if(data, data + size, [](uint8_t b) { return b == ';' || b == ':'; }) <= 15 &&
        std::find(data, data + size, uint8_t('b')) == data + size;
    std::unique_ptr<Reference> reference;
    if (compare) reference = std::make_unique<Reference>(e.rows(), e.columns());
    std::vector<Cell> cells;
    size_t pos = 3;
    while (pos < size) {
        const uint8_t control = data[pos++];
        // A control byte of 255 resizes the window as a drag would; else it sizes the read.
        if (control == 255 && pos + 1 < size) {
            e.SetSize(e.lines(), 1 + data[pos] % 60, 1 + data[pos + 1] % 200);
            reference.reset(); // scrollback on a resize is ours to decide
            pos += 2;
            continue;
        }
        const size_t n = std::min(size_t(control) % 64 + 1, size - pos);
        e.Process(data + pos, n);
        if (reference) {
            const auto joined = reference->utf8.Join(data + pos, n);
            vterm_input_write(reference->vt, reinterpret_cast<const char*>(joined.data()),
                              joined.size());
            if (reference->reverseScreen)
                reference.reset();
            else
                reference->Compare(e);
        }
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
