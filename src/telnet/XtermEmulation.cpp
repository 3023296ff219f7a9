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

// libvterm 0.1 writes outside its screen when a wide character meets a screen of one column.
constexpr int kMinColumns = 2;

// A stored cell keeps libvterm's attribute bits as they are (copied, not decoded: lines are
// pushed far more often than drawn) and the width in the top bit.
constexpr uint32_t kStoredWide = 0x80000000u;
static_assert(sizeof(VTermScreenCellAttrs) == sizeof(uint32_t));

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

uint32_t Attrs(const VTermScreenCell& cell) {
    uint32_t bits = 0;
    std::memcpy(&bits, &cell.attrs, sizeof bits);
    return (bits & ~kStoredWide) | (cell.width > 1 ? kStoredWide : 0);
}

VTermScreenCellAttrs AttrsOf(uint32_t stored) {
    VTermScreenCellAttrs attrs;
    stored &= ~kStoredWide;
    std::memcpy(&attrs, &stored, sizeof attrs);
    return attrs;
}

VTermColor Rgb(uint32_t rgb) {
    VTermColor c;
    vterm_color_rgb(&c, uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb));
    return c;
}

} // namespace

struct XtermEmulation::Callbacks {
    static void Output(const char* s, size_t len, void* user) {
        static_cast<XtermEmulation*>(user)->replies_.append(s, qsizetype(len));
    }
    static int Damage(VTermRect rect, void* user) {
        auto* self = static_cast<XtermEmulation*>(user);
        self->damage_.Add(rect.start_row);
        self->damage_.Add(rect.end_row - 1);
        return 1;
    }
    static int MoveRect(VTermRect dest, VTermRect, void* user) { return Damage(dest, user); }
    static int MoveCursor(VTermPos pos, VTermPos old, int, void* user) {
        auto* self = static_cast<XtermEmulation*>(user);
        self->damage_.Add(pos.row);
        self->damage_.Add(old.row);
        return 1;
    }
    static int SetTermProp(VTermProp prop, VTermValue* val, void* user) {
        auto* self = static_cast<XtermEmulation*>(user);
        if (prop == VTERM_PROP_CURSORVISIBLE) self->cursorVisible_ = val->boolean;
        if (prop == VTERM_PROP_ALTSCREEN) self->altScreen_ = val->boolean;
        return 1;
    }
    static int PushLine(int cols, const VTermScreenCell* cells, void* user) {
        static_cast<XtermEmulation*>(user)->PushLine(cols, cells);
        return 1;
    }
    static int PopLine(int cols, VTermScreenCell* cells, void* user) {
        return static_cast<XtermEmulation*>(user)->PopLine(cols, cells) ? 1 : 0;
    }
};

namespace {
const VTermScreenCallbacks kScreenCallbacks = {
    &XtermEmulation::Callbacks::Damage,
    &XtermEmulation::Callbacks::MoveRect,
    &XtermEmulation::Callbacks::MoveCursor,
    &XtermEmulation::Callbacks::SetTermProp,
    nullptr,
    nullptr,
    &XtermEmulation::Callbacks::PushLine,
    &XtermEmulation::Callbacks::PopLine,
};
} // namespace

XtermEmulation::XtermEmulation(int rows, int columns)
    : rows_(std::clamp(rows, 1, kMaxScreenSize)),
      columns_(std::clamp(columns, kMinColumns, kMaxScreenSize)) {
    vt_ = vterm_new(rows_, columns_);
    if (!vt_) throw std::bad_alloc();
    vterm_set_utf8(vt_, 1);
    vterm_output_set_callback(vt_, &Callbacks::Output, this);
    screen_ = vterm_obtain_screen(vt_);
    vterm_screen_set_callbacks(screen_, &kScreenCallbacks, this);
    vterm_screen_set_damage_merge(screen_, VTERM_DAMAGE_SCROLL);
    vterm_screen_enable_altscreen(screen_, 1);
    Reset();
}

XtermEmulation::~XtermEmulation() {
    vterm_free(vt_);
}

void XtermEmulation::Configure() {
    // The colours of the reduced dialect, so both modes look alike.
    VTermState* state = vterm_obtain_state(vt_);
    for (int k = 0; k < 16; ++k) {
        const VTermColor c = Rgb(kPalette[size_t(k)]);
        vterm_state_set_palette_color(state, k, &c);
    }
    const VTermColor fg = Rgb(kPalette[7]), bg = Rgb(kPalette[0]);
    vterm_state_set_default_colors(state, &fg, &bg);
    vterm_state_set_bold_highbright(state, 1);
}

void XtermEmulation::Reset() {
    lines_ = Terminal::kResetLines;
    historyFirst_ = historyCount_ = 0;
    ResizeHistory(std::max(0, lines_ - rows_), columns_);
    Configure();
    vterm_screen_reset(screen_, 1);
    cursorVisible_ = true;
    altScreen_ = false;
    csi_ = Csi::None;
    replies_.clear();
    damage_ = {};
    damage_.scrolled = 1;
}

void XtermEmulation::ResizeHistory(int capacity, int columns) {
    // Keeps the newest lines that fit; a line narrower than the new width is filled with blanks.
    std::vector<StoredCell> kept(size_t(capacity) * size_t(columns),
                                 StoredCell{' ', Pack(Rgb(kPalette[7])), Pack(Rgb(0)), 0});
    const int count = std::min(historyCount_, capacity);
    const int shared = std::min(columns, storedColumns_);
    for (int k = 0; k < count; ++k)
        std::copy_n(HistoryLine(historyCount_ - count + k), shared, &kept[size_t(k) * columns]);
    history_.swap(kept);
    historyCapacity_ = capacity;
    storedColumns_ = columns;
    historyFirst_ = 0;
    historyCount_ = count;
}

void XtermEmulation::PushLine(int cols, const void* data) {
    const auto* cells = static_cast<const VTermScreenCell*>(data);
    damage_.scrolled += 1;
    if (historyCapacity_ == 0) return;
    StoredCell* line;
    if (historyCount_ < historyCapacity_) {
        line = HistoryLine(historyCount_++);
    } else {
        line = HistoryLine(0); // the oldest makes room
        historyFirst_ = (historyFirst_ + 1) % historyCapacity_;
    }
    const int n = std::min(cols, storedColumns_);
    for (int c = 0; c < n; ++c) {
        StoredCell& to = line[c];
        const VTermScreenCell& from = cells[c];
        to.ch = from.chars[0];
        std::memcpy(&to.fg, &from.fg, sizeof to.fg);
        std::memcpy(&to.bg, &from.bg, sizeof to.bg);
        to.attrs = Attrs(from);
    }
    if (n < storedColumns_) {
        const StoredCell blank{' ', Pack(Rgb(kPalette[7])), Pack(Rgb(0)), 0};
        std::fill(line + n, line + storedColumns_, blank);
    }
}

bool XtermEmulation::PopLine(int cols, void* data) {
    if (historyCount_ == 0) return false;
    auto* cells = static_cast<VTermScreenCell*>(data);
    const StoredCell* line = HistoryLine(--historyCount_);
    for (int c = 0; c < cols; ++c) {
        VTermScreenCell& cell = cells[c];
        std::memset(&cell, 0, sizeof cell);
        if (c < storedColumns_) {
            cell.chars[0] = line[c].ch;
            cell.fg = Unpack(line[c].fg);
            cell.bg = Unpack(line[c].bg);
            cell.attrs = AttrsOf(line[c].attrs);
            cell.width = (line[c].attrs & kStoredWide) ? 2 : 1;
        } else {
            cell.chars[0] = ' ';
            cell.width = 1;
            cell.fg = Rgb(kPalette[7]);
            cell.bg = Rgb(0);
        }
    }
    return true;
}

void XtermEmulation::Write(const uint8_t* data, size_t n) {
    if (n > 0) vterm_input_write(vt_, reinterpret_cast<const char*>(data), n);
}

// libvterm 0.1 writes past its array of 16 arguments when a control sequence has more, so a
// host could crash the program with one line of output. Such a sequence is cancelled (CAN,
// which ends any sequence) where its 17th argument would start, and the rest of it dropped.
void XtermEmulation::Process(const uint8_t* data, size_t n) {
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
    vterm_screen_flush_damage(screen_);
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
    try {
        const int capacity = std::max(0, newLines - newRows);
        if (capacity != historyCapacity_ || newColumns != storedColumns_)
            ResizeHistory(capacity, newColumns);
    } catch (const std::bad_alloc&) {
        result.outOfMemory = true;
        return result;
    }
    result.changed = true;
    result.screenChanged = newRows != rows_ || newColumns != columns_;
    lines_ = newLines;
    if (result.screenChanged) {
        rows_ = newRows;
        columns_ = newColumns;
        // libvterm moves rows to and from the scrollback as the height changes.
        vterm_set_size(vt_, rows_, columns_);
        vterm_screen_flush_damage(screen_);
    }
    damage_.top = 0;
    damage_.bottom = rows_ - 1;
    damage_.scrolled = std::max(damage_.scrolled, 1);
    return result;
}

Cell XtermEmulation::ToCell(uint32_t ch, uint32_t fgBits, uint32_t bgBits, uint32_t attrs) const {
    VTermColor fg = Unpack(fgBits), bg = Unpack(bgBits);
    vterm_screen_convert_color_to_rgb(screen_, &fg);
    vterm_screen_convert_color_to_rgb(screen_, &bg);
    uint32_t text = (uint32_t(fg.rgb.red) << 16) | (uint32_t(fg.rgb.green) << 8) | fg.rgb.blue;
    uint32_t fill = (uint32_t(bg.rgb.red) << 16) | (uint32_t(bg.rgb.green) << 8) | bg.rgb.blue;
    const VTermScreenCellAttrs a = AttrsOf(attrs);
    if (a.reverse) std::swap(text, fill);
    uint8_t flags = 0;
    if (a.underline) flags |= kCellUnderline;
    if (attrs & kStoredWide) flags |= kCellWide;
    // The right half of a wide glyph holds no character of its own.
    const bool none = ch == 0 || ch == 0xFFFFFFFFu;
    return {none ? U' ' : char32_t(ch), text, fill, flags};
}

void XtermEmulation::LineCells(int line, Cell* out) const {
    if (line < historyCount_) {
        const StoredCell* stored = HistoryLine(line);
        const int n = std::min(columns_, storedColumns_);
        for (int c = 0; c < n; ++c)
            out[c] = ToCell(stored[c].ch, stored[c].fg, stored[c].bg, stored[c].attrs);
        for (int c = n; c < columns_; ++c)
            out[c] = {U' ', kPalette[7], 0, 0};
        return;
    }
    const int row = line - historyCount_;
    VTermScreenCell cell;
    for (int c = 0; c < columns_; ++c) {
        if (row >= rows_ || !vterm_screen_get_cell(screen_, VTermPos{row, c}, &cell)) {
            out[c] = {U' ', kPalette[7], 0, 0};
            continue;
        }
        out[c] = ToCell(cell.chars[0], Pack(cell.fg), Pack(cell.bg), Attrs(cell));
    }
}

int XtermEmulation::cursorX() const {
    VTermPos pos;
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &pos);
    return std::clamp(pos.col, 0, columns_ - 1);
}

int XtermEmulation::cursorY() const {
    VTermPos pos;
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &pos);
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
