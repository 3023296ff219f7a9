#include "telnet/XtermEmulation.h"

#include "telnet/Terminal.h" // the palette both emulations share

#include <QList>
#include <algorithm>
#include <cstring>
#include <new>

extern "C" {
#include <vterm.h>
}

namespace velmar::telnet {

namespace {

// libvterm 0.1 misplaces a wide character on a screen of one column.
constexpr int kMinColumns = 2;

// Bits of our own, never drawn: DECSCA-protected cells survive a selective erase; the right
// half of a wide glyph marks the cell before it wide (as libvterm tells width, so a glyph
// whose right half is overwritten is drawn narrow, and one cut by a narrower screen too).
constexpr uint8_t kCellProtected = 0x80;
constexpr uint8_t kCellRightHalf = 0x40;

uint32_t Pack(const VTermColor& c) {
    uint32_t out = 0;
    static_assert(sizeof(VTermColor) == sizeof(uint32_t));
    std::memcpy(&out, &c, sizeof out);
    return out;
}

VTermColor Unpack(uint32_t v) {
    VTermColor c;
    std::memcpy(&c, &v, sizeof c);
    return c;
}

VTermColor Rgb(uint32_t rgb) {
    VTermColor c;
    vterm_color_rgb(&c, uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb));
    return c;
}

uint32_t ToRgb(const VTermState* state, uint32_t packed) {
    VTermColor c = Unpack(packed);
    vterm_state_convert_color_to_rgb(state, &c);
    return (uint32_t(c.rgb.red) << 16) | (uint32_t(c.rgb.green) << 8) | c.rgb.blue;
}

bool Blank(const Cell* row, int columns) {
    return std::all_of(row, row + columns, [](const Cell& c) { return c.ch == U' '; });
}

} // namespace

std::span<const uint8_t> Utf8Joiner::Join(const uint8_t* data, size_t n) {
    if (carried_ == 0) {
        // Most output is ASCII: eight bytes at a time.
        size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            uint64_t word;
            std::memcpy(&word, data + i, sizeof word);
            if (word & 0x8080808080808080ull) break;
        }
        while (i < n && data[i] < 0x80)
            ++i;
        if (i == n) return {data, n};
    }
    std::vector<uint8_t> in(carry_, carry_ + carried_);
    in.insert(in.end(), data, data + n);
    carried_ = 0;
    out_.clear();
    size_t i = 0;
    while (i < in.size()) {
        const uint8_t b = in[i];
        // libvterm 0.1 reads leads up to 0xFD (sequences of up to six bytes).
        if (b < 0xC0 || b > 0xFD) {
            out_.push_back(b);
            ++i;
            continue;
        }
        const size_t need = b < 0xE0 ? 1 : b < 0xF0 ? 2 : b < 0xF8 ? 3 : b < 0xFC ? 4 : 5;
        size_t j = i + 1;
        while (j < in.size() && j - i - 1 < need && (in[j] & 0xC0) == 0x80)
            ++j;
        if (j - i - 1 == need) {
            out_.insert(out_.end(), in.begin() + ptrdiff_t(i), in.begin() + ptrdiff_t(j));
        } else if (j == in.size()) {
            carried_ = j - i; // cut by the end of the read
            std::copy(in.begin() + ptrdiff_t(i), in.end(), carry_);
        } else {
            out_.insert(out_.end(), {0xEF, 0xBF, 0xBD});
        }
        i = j;
    }
    return {out_.data(), out_.size()};
}

// libvterm's state layer calls these; every position is checked against our own size, as
// the state may still hold another one while a resize is under way.
struct XtermEmulation::Callbacks {
    static XtermEmulation* Self(void* user) { return static_cast<XtermEmulation*>(user); }
    static void Output(const char* s, size_t len, void* user) {
        Self(user)->replies_.append(s, qsizetype(len));
    }
    static int PutGlyph(VTermGlyphInfo* info, VTermPos pos, void* user) {
        Self(user)->PutGlyph(info->chars, info->width, info->protected_cell, pos.row, pos.col);
        return 1;
    }
    static int MoveCursor(VTermPos pos, VTermPos old, int, void* user) {
        auto* self = Self(user);
        self->damage_.Add(pos.row);
        self->damage_.Add(old.row);
        return 1;
    }
    static int ScrollRect(VTermRect rect, int down, int right, void* user) {
        auto* self = Self(user);
        // Whole rows only; libvterm does the rest through MoveRect and Erase.
        if (right != 0 || rect.start_col > 0 || rect.end_col < self->columns_) return 0;
        self->ScrollRows(rect.start_row, rect.end_row, down);
        return 1;
    }
    static int MoveRect(VTermRect dest, VTermRect src, void* user) {
        Self(user)->MoveCells(dest.start_row, dest.start_col, src.start_row, src.start_col,
                              std::min(dest.end_row - dest.start_row, src.end_row - src.start_row),
                              std::min(dest.end_col - dest.start_col, src.end_col - src.start_col));
        return 1;
    }
    static int Erase(VTermRect rect, int selective, void* user) {
        Self(user)->EraseCells(rect.start_row, rect.end_row, rect.start_col, rect.end_col,
                               selective != 0);
        return 1;
    }
    static int InitPen(void* user) {
        auto* self = Self(user);
        VTermColor fg, bg;
        vterm_state_get_default_colors(self->state_, &fg, &bg);
        self->penFg_ = Pack(fg);
        self->penBg_ = Pack(bg);
        self->penReverse_ = self->penUnderline_ = false;
        self->penDirty_ = true;
        return 1;
    }
    static int SetPenAttr(VTermAttr attr, VTermValue* val, void* user) {
        auto* self = Self(user);
        switch (attr) {
        case VTERM_ATTR_FOREGROUND:
            self->penFg_ = Pack(val->color);
            break;
        case VTERM_ATTR_BACKGROUND:
            self->penBg_ = Pack(val->color);
            break;
        case VTERM_ATTR_REVERSE:
            self->penReverse_ = val->boolean != 0;
            break;
        case VTERM_ATTR_UNDERLINE:
            self->penUnderline_ = val->number != 0;
            break;
        default:
            return 1; // bold arrives as the brighter colour; the rest is not drawn
        }
        self->penDirty_ = true;
        return 1;
    }
    static int SetTermProp(VTermProp prop, VTermValue* val, void* user) {
        auto* self = Self(user);
        if (prop == VTERM_PROP_CURSORVISIBLE) self->cursorVisible_ = val->boolean;
        if (prop == VTERM_PROP_ALTSCREEN) self->SwitchScreen(val->boolean != 0);
        return 1;
    }
    // Drawn single, a line made double-width keeps only the half it could show, as in xterm
    // (the cursor keeps to that half from then on).
    // libvterm 0.1 may name a row past its own line table here, and hands `before` from that
    // table: only `now`, its own copy, is read. It stores `now` in its table when this
    // answers 1, so a row outside the screen is refused: the store would land past the table.
    static int SetLineInfo(int row, const VTermLineInfo* now, const VTermLineInfo*, void* user) {
        auto* self = Self(user);
        if (row < 0 || row >= self->rows_) return 0;
        // Already double-width, the half is blank: erasing it again changes nothing.
        if (now->doublewidth)
            self->EraseCells(row, row + 1, self->columns_ / 2, self->columns_, false);
        return 1;
    }
    static int Resize(int rows, int columns, VTermPos* delta, void* user) {
        auto* self = Self(user);
        // Only SetSize resizes, with the layout prepared; anything else keeps ours.
        if (self->nextRing_.size() == size_t(self->lines_) * size_t(columns) &&
            self->nextAlt_.size() == size_t(rows) * size_t(columns))
            delta->row += self->Relayout(self->lines_, rows, columns);
        // libvterm 0.1 moves the cursor by `delta` only and keeps it even past the new size
        // (on the alternate screen, say), where its next erase would write past its own line
        // table: it is kept inside here, as later libvterm does itself.
        VTermPos cursor;
        vterm_state_get_cursorpos(self->state_, &cursor);
        delta->row = std::clamp(cursor.row + delta->row, 0, rows - 1) - cursor.row;
        delta->col = std::clamp(cursor.col + delta->col, 0, columns - 1) - cursor.col;
        return 1;
    }
};

namespace {
const VTermStateCallbacks kStateCallbacks = {
    &XtermEmulation::Callbacks::PutGlyph,
    &XtermEmulation::Callbacks::MoveCursor,
    &XtermEmulation::Callbacks::ScrollRect,
    &XtermEmulation::Callbacks::MoveRect,
    &XtermEmulation::Callbacks::Erase,
    &XtermEmulation::Callbacks::InitPen,
    &XtermEmulation::Callbacks::SetPenAttr,
    &XtermEmulation::Callbacks::SetTermProp,
    nullptr, // bell
    &XtermEmulation::Callbacks::Resize,
    &XtermEmulation::Callbacks::SetLineInfo,
};
} // namespace

XtermEmulation::XtermEmulation(int rows, int columns)
    : rows_(std::clamp(rows, 1, kMaxScreenSize)),
      columns_(std::clamp(columns, kMinColumns, kMaxScreenSize)) {
    vt_ = vterm_new(rows_, columns_);
    if (!vt_) throw std::bad_alloc();
    vterm_set_utf8(vt_, 1);
    vterm_output_set_callback(vt_, &Callbacks::Output, this);
    state_ = vterm_obtain_state(vt_);
    vterm_state_set_callbacks(state_, &kStateCallbacks, this);
    Reset();
}

XtermEmulation::~XtermEmulation() {
    vterm_free(vt_);
}

void XtermEmulation::Configure() {
    // The colours of the reduced dialect, so both modes look alike.
    for (int k = 0; k < 16; ++k) {
        const VTermColor c = Rgb(kPalette[size_t(k)]);
        vterm_state_set_palette_color(state_, k, &c);
    }
    const VTermColor fg = Rgb(kPalette[7]), bg = Rgb(kPalette[0]);
    vterm_state_set_default_colors(state_, &fg, &bg);
    vterm_state_set_bold_highbright(state_, 1);
    blank_ = {U' ', kPalette[7], kPalette[0], 0};
}

void XtermEmulation::Reset() {
    lines_ = Terminal::kResetLines;
    Configure();
    ring_.assign(size_t(lines_) * size_t(columns_), blank_);
    ringLines_ = lines_;
    historyStart_ = historyCount_ = screenStart_ = 0;
    alt_.assign(size_t(rows_) * size_t(columns_), blank_);
    altActive_ = altScreen_ = false;
    vterm_state_reset(state_, 1);
    glyphPut_ = false;
    cursorVisible_ = true;
    utf8_.Clear();
    csi_ = Csi::None;
    replies_.clear();
    damage_ = {};
    damage_.scrolled = 1;
}

void XtermEmulation::UpdatePen() {
    uint32_t text = ToRgb(state_, penFg_), fill = ToRgb(state_, penBg_);
    // An erase takes the colours but not the reverse.
    erased_ = {U' ', text, fill, 0};
    if (penReverse_) std::swap(text, fill);
    pen_ = {U' ', text, fill, uint8_t(penUnderline_ ? kCellUnderline : 0)};
    penDirty_ = false;
}

void XtermEmulation::PutGlyph(const uint32_t* chars, int width, bool protectedCell, int row,
                              int column) {
    glyphPut_ = true;
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_) return;
    if (penDirty_) UpdatePen();
    Cell* line = Row(row);
    Cell& cell = line[column];
    cell = pen_;
    cell.ch = chars[0];
    if (protectedCell) cell.flags |= kCellProtected;
    if (width > 1 && column + 1 < columns_)
        line[column + 1] = {U' ', pen_.text, pen_.fill, kCellRightHalf};
    damage_.Add(row);
}

void XtermEmulation::ScrollRows(int top, int bottom, int down) {
    top = std::max(top, 0);
    bottom = std::min(bottom, rows_);
    const int height = bottom - top;
    if (height <= 0 || down == 0) return;
    if (penDirty_) UpdatePen();
    damage_.Add(top);
    damage_.Add(bottom - 1);
    if (down >= height || -down >= height) {
        // The whole region goes at once: erased, as libvterm's own screen does it.
        for (int r = top; r < bottom; ++r)
            std::fill_n(Row(r), columns_, erased_);
        return;
    }
    const size_t bytes = size_t(columns_) * sizeof(Cell);
    if (down > 0 && top == 0 && !altActive_) {
        // Rows leaving the top of the primary screen join the scrollback: the screen's window
        // on the ring moves down instead of the cells moving up.
        const int capacity = ringLines_ - rows_;
        historyCount_ += down;
        if (historyCount_ > capacity) {
            historyStart_ = (historyStart_ + historyCount_ - capacity) % ringLines_;
            historyCount_ = capacity;
        }
        screenStart_ = (historyStart_ + historyCount_) % ringLines_;
        // The rows under the scroll region stay where they were.
        for (int r = rows_ - 1; r >= bottom; --r)
            std::memcpy(Row(r), Row(r - down), bytes);
        for (int r = bottom - down; r < bottom; ++r)
            std::fill_n(Row(r), columns_, erased_);
        damage_.scrolled += down;
        return;
    }
    if (down > 0) {
        for (int r = top; r < bottom - down; ++r)
            std::memcpy(Row(r), Row(r + down), bytes);
        for (int r = bottom - down; r < bottom; ++r)
            std::fill_n(Row(r), columns_, erased_);
    } else {
        const int up = -down;
        for (int r = bottom - 1; r >= top + up; --r)
            std::memcpy(Row(r), Row(r - up), bytes);
        for (int r = top; r < top + up; ++r)
            std::fill_n(Row(r), columns_, erased_);
    }
}

void XtermEmulation::MoveCells(int destRow, int destColumn, int srcRow, int srcColumn, int height,
                               int width) {
    if (height <= 0 || width <= 0 || std::min({destRow, destColumn, srcRow, srcColumn}) < 0 ||
        std::max(destRow, srcRow) + height > rows_ ||
        std::max(destColumn, srcColumn) + width > columns_)
        return;
    const size_t bytes = size_t(width) * sizeof(Cell);
    if (destRow <= srcRow) {
        for (int k = 0; k < height; ++k)
            std::memmove(Row(destRow + k) + destColumn, Row(srcRow + k) + srcColumn, bytes);
    } else {
        for (int k = height - 1; k >= 0; --k)
            std::memmove(Row(destRow + k) + destColumn, Row(srcRow + k) + srcColumn, bytes);
    }
    damage_.Add(destRow);
    damage_.Add(destRow + height - 1);
}

void XtermEmulation::EraseCells(int top, int bottom, int left, int right, bool selective) {
    top = std::max(top, 0);
    bottom = std::min(bottom, rows_);
    left = std::max(left, 0);
    right = std::min(right, columns_);
    if (top >= bottom || left >= right) return;
    if (penDirty_) UpdatePen();
    for (int r = top; r < bottom; ++r) {
        Cell* line = Row(r);
        for (int c = left; c < right; ++c)
            if (!selective || !(line[c].flags & kCellProtected)) line[c] = erased_;
    }
    damage_.Add(top);
    damage_.Add(bottom - 1);
}

void XtermEmulation::SwitchScreen(bool alternate) {
    altActive_ = altScreen_ = alternate;
    // Coming back shows the primary screen as it was; going there, libvterm erases.
    damage_.Add(0);
    damage_.Add(rows_ - 1);
}

bool XtermEmulation::PrepareLayout(int lines, int rows, int columns) {
    try {
        nextRing_.assign(size_t(lines) * size_t(columns), blank_);
        nextAlt_.assign(size_t(rows) * size_t(columns), blank_);
    } catch (const std::bad_alloc&) {
        nextRing_ = {};
        nextAlt_ = {};
        return false;
    }
    return true;
}

// Lays the scrollback and the screens out anew in the prepared buffers: the newest
// scrollback that fits, then the screen. A shorter primary screen sends its top rows to the
// scrollback (blank rows under the cursor go first); a taller one takes lines back from it.
// Returns how far the cursor's row moves.
int XtermEmulation::Relayout(int lines, int rows, int columns) {
    const int oldRows = rows_;
    int screenFrom = historyCount_; // in the old lines: scrollback, then screen rows
    int shift = 0;
    if (!altActive_ && rows < oldRows) {
        VTermPos cursor;
        vterm_state_get_cursorpos(state_, &cursor);
        int last = oldRows - 1;
        while (last >= rows && last != cursor.row && Blank(Row(last), columns_))
            --last;
        // Lines go up into the scrollback so that the last one written stays in sight, but
        // never the cursor's own: what does not fit below it is cut, as xterm does.
        shift = -std::clamp(last + 1 - rows, 0, cursor.row);
    } else if (!altActive_ && rows > oldRows) {
        shift = std::min(rows - oldRows, historyCount_);
    }
    screenFrom -= shift;
    const int oldTotal = historyCount_ + oldRows;
    const int capacity = lines - rows;
    const int keep = std::min(screenFrom, capacity);
    const int shared = std::min(columns, columns_);
    auto copyLine = [&](const Cell* from, Cell* to) { std::copy_n(from, shared, to); };
    auto oldLine = [&](int k) {
        return k < historyCount_ ? HistoryLine(k) : Row(k - historyCount_);
    };
    // With the alternate screen up, the primary keeps its rows from the top.
    const bool alt = altActive_;
    altActive_ = false;
    for (int k = 0; k < keep; ++k)
        copyLine(oldLine(screenFrom - keep + k), &nextRing_[size_t(k) * size_t(columns)]);
    for (int r = 0; r < rows && screenFrom + r < oldTotal; ++r)
        copyLine(oldLine(screenFrom + r), &nextRing_[size_t(keep + r) * size_t(columns)]);
    altActive_ = alt;
    for (int r = 0; r < std::min(rows, oldRows); ++r)
        copyLine(&alt_[size_t(r) * size_t(columns_)], &nextAlt_[size_t(r) * size_t(columns)]);
    ring_.swap(nextRing_);
    alt_.swap(nextAlt_);
    nextRing_ = {};
    nextAlt_ = {};
    ringLines_ = lines;
    historyStart_ = 0;
    historyCount_ = keep;
    screenStart_ = keep;
    rows_ = rows;
    columns_ = columns;
    return shift;
}

void XtermEmulation::Write(const uint8_t* data, size_t n) {
    if (n > 0) vterm_input_write(vt_, reinterpret_cast<const char*>(data), n);
}

// libvterm 0.1 writes past its array of 16 arguments when a control sequence has more, so a
// host could crash the program with one line of output. Such a sequence is cancelled (CAN,
// which ends any sequence) where its 17th argument would start, and the rest of it dropped.
void XtermEmulation::Process(const uint8_t* raw, size_t length) {
    const std::span<const uint8_t> joined = utf8_.Join(raw, length);
    const uint8_t* data = joined.data();
    const size_t n = joined.size();
    constexpr uint8_t kEsc = 0x1B, kCancel = 0x18;
    constexpr int kMaxSeparators = 15; // 16 arguments
    size_t start = 0;                  // first byte not yet handed to libvterm
    size_t i = 0;
    while (i < n) {
        switch (csi_) {
        case Csi::None: {
            const void* esc = std::memchr(data + i, kEsc, n - i);
            if (!esc) {
                i = n;
                break;
            }
            i = size_t(static_cast<const uint8_t*>(esc) - data) + 1;
            csi_ = Csi::Escape;
            break;
        }
        case Csi::Escape:
            // libvterm starts a control sequence at "[" after ESC even when intermediate bytes
            // (ESC * [), other C0 controls or bytes past 0x7F came between, so those keep the
            // escape open.
            if (data[i] == '[') {
                csi_ = Csi::Params;
                csiSeparators_ = 0;
            } else if (data[i] == kCancel || data[i] == 0x1A ||
                       (data[i] >= 0x30 && data[i] <= 0x7E)) {
                csi_ = Csi::None;
            }
            ++i;
            break;
        case Csi::Params: {
            // The parameters up to the final byte, in one tight loop: most output is in here.
            for (; i < n; ++i) {
                const uint8_t b = data[i];
                if (b >= 0x40 && b <= 0x7E) {
                    csi_ = Csi::None;
                    if (b == 'b' && !glyphPut_) {
                        // libvterm 0.1 repeats "the last character" for ever when there is
                        // none yet: a repeat with nothing to repeat is dropped here (what came
                        // before goes first, as it may hold that character).
                        Write(data + start, i - start);
                        start = i;
                        if (!glyphPut_) {
                            Write(&kCancel, 1);
                            start = i + 1;
                        }
                    }
                    ++i;
                    break;
                }
                if (b == kEsc) {
                    csi_ = Csi::Escape;
                    ++i;
                    break;
                }
                if ((b == ';' || b == ':') && ++csiSeparators_ > kMaxSeparators) {
                    Write(data + start, i - start);
                    Write(&kCancel, 1);
                    csi_ = Csi::Dropping;
                    start = ++i;
                    break;
                }
            }
            break;
        }
        case Csi::Dropping: {
            const uint8_t b = data[i];
            if (b == kEsc) {
                csi_ = Csi::Escape;
                start = i;
            } else {
                if (b >= 0x40 && b <= 0x7E) csi_ = Csi::None;
                start = i + 1;
            }
            ++i;
            break;
        }
        }
    }
    Write(data + start, n - start);
}

QByteArray XtermEmulation::TakeReplies() {
    QByteArray out;
    out.swap(replies_);
    return out;
}

Damage XtermEmulation::TakeDamage() {
    Damage out = damage_;
    damage_ = {};
    // Rows reported before a resize, or libvterm's "no position yet", stay on the screen.
    out.top = std::max(out.top, 0);
    out.bottom = std::min(out.bottom, rows_ - 1);
    if (out.bottom < out.top) out.top = INT_MAX, out.bottom = -1;
    return out;
}

SizeChange XtermEmulation::SetSize(int lines, int rows, int columns) {
    SizeChange result;
    int newLines = lines >= 2 ? lines : lines_;
    int newRows = (rows > 0 && rows <= kMaxScreenSize) ? rows : rows_;
    int newColumns =
        (columns > 0 && columns <= kMaxScreenSize) ? std::max(columns, kMinColumns) : columns_;
    if (newLines != lines_ && int64_t(newLines) * newColumns > kMaxCells) {
        result.outOfMemory = true;
        newLines = lines_;
    }
    if (newColumns != columns_ && int64_t(newLines) * newColumns > kMaxCells) {
        result.outOfMemory = true;
        newColumns = columns_;
    }
    newRows = std::min(newRows, newLines - 1);
    if (newLines == lines_ && newRows == rows_ && newColumns == columns_) return result;
    if (!PrepareLayout(newLines, newRows, newColumns)) {
        result.outOfMemory = true;
        return result;
    }
    result.changed = true;
    result.screenChanged = newRows != rows_ || newColumns != columns_;
    lines_ = newLines;
    if (result.screenChanged) {
        const int oldRows = rows_;
        vterm_set_size(vt_, newRows, newColumns); // the state calls Resize, which lays out
        // libvterm 0.1 keeps a scrolling region's top past a screen made shorter, and its next
        // scroll then moves a negative length. The region goes back to the whole screen, as
        // xterm's does on a resize, and the cursor back where it was.
        if (newRows < oldRows) {
            VTermPos at;
            vterm_state_get_cursorpos(state_, &at);
            const QByteArray reset = "\x1b[r\x1b[" + QByteArray::number(at.row + 1) + ';' +
                                     QByteArray::number(at.col + 1) + 'H';
            Write(reinterpret_cast<const uint8_t*>(reset.constData()), size_t(reset.size()));
        }
    } else {
        Relayout(newLines, rows_, columns_);
    }
    damage_.top = 0;
    damage_.bottom = rows_ - 1;
    damage_.scrolled = std::max(damage_.scrolled, 1);
    return result;
}

void XtermEmulation::LineCells(int line, Cell* out) const {
    const Cell* from = nullptr;
    if (line >= 0 && line < historyCount_)
        from = HistoryLine(line);
    else if (line >= historyCount_ && line - historyCount_ < rows_)
        from = Row(line - historyCount_);
    if (!from) {
        std::fill_n(out, columns_, Cell{U' ', kPalette[7], kPalette[0], 0});
        return;
    }
    for (int c = 0; c < columns_; ++c) {
        out[c] = from[c];
        out[c].flags &= kCellUnderline;
        if (c + 1 < columns_ && (from[c + 1].flags & kCellRightHalf)) out[c].flags |= kCellWide;
    }
}

int XtermEmulation::cursorX() const {
    VTermPos pos;
    vterm_state_get_cursorpos(state_, &pos);
    return std::clamp(pos.col, 0, columns_ - 1);
}

int XtermEmulation::cursorY() const {
    VTermPos pos;
    vterm_state_get_cursorpos(state_, &pos);
    return std::clamp(pos.row, 0, rows_ - 1);
}

void XtermEmulation::Key(const KeyPress& key) {
    const int mod = (key.shift ? VTERM_MOD_SHIFT : 0) | (key.ctrl ? VTERM_MOD_CTRL : 0) |
                    (key.alt ? VTERM_MOD_ALT : 0);
    VTermKey vk = VTERM_KEY_NONE;
    switch (key.vk) {
    case kVkBack:
        vk = VTERM_KEY_BACKSPACE;
        break; // DEL, as xterm sends by default
    case kVkTab:
        vk = VTERM_KEY_TAB;
        break;
    case kVkReturn:
        vk = VTERM_KEY_ENTER;
        break;
    case kVkEscape:
        vk = VTERM_KEY_ESCAPE;
        break;
    case kVkPageUp:
        vk = VTERM_KEY_PAGEUP;
        break;
    case kVkPageDown:
        vk = VTERM_KEY_PAGEDOWN;
        break;
    case kVkEnd:
        vk = VTERM_KEY_END;
        break;
    case kVkHome:
        vk = VTERM_KEY_HOME;
        break;
    case kVkLeft:
        vk = VTERM_KEY_LEFT;
        break;
    case kVkUp:
        vk = VTERM_KEY_UP;
        break;
    case kVkRight:
        vk = VTERM_KEY_RIGHT;
        break;
    case kVkDown:
        vk = VTERM_KEY_DOWN;
        break;
    case kVkInsert:
        vk = VTERM_KEY_INS;
        break;
    case kVkDelete:
        vk = VTERM_KEY_DEL;
        break;
    default:
        if (key.vk >= kVkF1 && key.vk < kVkF1 + 12)
            vk = VTermKey(VTERM_KEY_FUNCTION(key.vk - kVkF1 + 1));
        break;
    }
    if (vk != VTERM_KEY_NONE) {
        vterm_keyboard_key(vt_, vk, VTermModifier(mod));
        return;
    }
    if (key.ch != 0) vterm_keyboard_unichar(vt_, uint32_t(key.ch), VTermModifier(mod));
}

void XtermEmulation::Paste(const QString& text) {
    // Bracketed when the program asked for it (libvterm adds the marks only then).
    vterm_keyboard_start_paste(vt_);
    const QList<uint> chars = text.toUcs4();
    for (qsizetype k = 0; k < chars.size(); ++k) {
        const uint c = chars[k];
        if (c == '\r' && k + 1 < chars.size() && chars[k + 1] == '\n') continue;
        if (c == '\n' || c == '\r')
            vterm_keyboard_key(vt_, VTERM_KEY_ENTER, VTERM_MOD_NONE);
        else
            vterm_keyboard_unichar(vt_, c, VTERM_MOD_NONE);
    }
    vterm_keyboard_end_paste(vt_);
}

QByteArray XtermEmulation::SaveText() const {
    QByteArray out;
    for (int line = 0; line < viewLines(); ++line) {
        const QString text = LineText(line);
        if (text.isEmpty()) continue;
        out.append(text.toUtf8());
        out.append("\r\n");
    }
    return out;
}

} // namespace velmar::telnet
