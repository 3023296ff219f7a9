#include "telnet/Terminal.h"

#include "telnet/KeyMap.h"

#include <QString>
#include <algorithm>
#include <cstring>
#include <new>

namespace velmar::telnet {

namespace {

constexpr int kMaxParams = 20;
constexpr int kMaxDigits = 3;

bool IsDigit(uint8_t b) {
    return b >= '0' && b <= '9';
}

// A leading 0 makes the rest octal, as the C library reads "010" (8) and "08" (0).
int ParamValue(const uint8_t* digits, int count) {
    int value = 0;
    if (digits[0] == '0') {
        for (int k = 1; k < count && digits[k] >= '0' && digits[k] <= '7'; ++k)
            value = value * 8 + (digits[k] - '0');
        return value;
    }
    for (int k = 0; k < count; ++k)
        value = value * 10 + (digits[k] - '0');
    return value;
}

} // namespace

CellColours ResolveColours(uint16_t attr) {
    const int fg = (attr >> 4) & 7;
    const int bg = (attr >> 8) & 7;
    const int bright = (attr & kAttrBold) ? 8 : 0;
    if (attr & kAttrReverse) return {bg + bright, fg};
    return {fg + bright, bg};
}

char32_t PcCharacter(uint8_t b) {
    switch (b) {
    case 179:
        return U'\u2502';
    case 196:
        return U'\u2500';
    case 180:
        return U'\u2524';
    case 195:
        return U'\u251C';
    case 191:
        return U'\u2510';
    case 192:
        return U'\u2514';
    case 217:
        return U'\u2518';
    case 218:
        return U'\u250C';
    default:
        return b;
    }
}

Terminal::Terminal() {
    Reset();
}

void Terminal::Allocate(int lines, int columns) {
    lines_ = lines;
    columns_ = columns;
    first_ = 0;
    text_.assign(size_t(lines) * columns, ' ');
    attrs_.assign(size_t(lines) * columns, kDefaultAttr);
    lengths_.assign(size_t(lines), 0);
}

void Terminal::Reset() {
    fg_ = defaultFg_ = 7;
    bg_ = defaultBg_ = 0;
    flags_ = 0;
    x_ = y_ = savedX_ = savedY_ = 0;
    conceal_ = keypadApp_ = escapePrefix_ = false;
    pendingLen_ = 0;
    history_ = 0;
    rows_ = kResetRows;
    Allocate(kResetLines, kResetColumns);
    replies_.clear();
    damage_ = {};
    damage_.top = 0;
    damage_.bottom = rows_ - 1;
}

QByteArray Terminal::TakeReplies() {
    QByteArray out;
    out.swap(replies_);
    return out;
}

Damage Terminal::TakeDamage() {
    Damage out = damage_;
    damage_ = {};
    return out;
}

void Terminal::Process(const uint8_t* data, size_t n) {
    if (pendingLen_ == 0) {
        Interpret(data, n);
        return;
    }
    joined_.assign(pending_.begin(), pending_.begin() + pendingLen_);
    joined_.insert(joined_.end(), data, data + n);
    pendingLen_ = 0;
    Interpret(joined_.data(), joined_.size());
}

void Terminal::KeepPending(const uint8_t* data, size_t i, size_t end) {
    const size_t k = end - i;
    if (k > size_t(kPendingMax) || pendingLen_ != 0) return; // too long: dropped
    std::memmove(pending_.data(), data + i, k);
    pendingLen_ = int(k);
}

void Terminal::Interpret(const uint8_t* data, size_t n) {
    size_t i = 0;
    while (i < n) {
        const uint8_t b = data[i];
        if (b >= 32) {
            if (conceal_)
                ++i;
            else
                PutRun(data, i, n);
            continue;
        }
        switch (b) {
        case 8:
            if (x_ > 0) --x_;
            ++i;
            break;
        case 9: // eight blanks, no tab stops, never past the last column
            for (int k = 0; k < 8; ++k) {
                PutChar(' ');
                if (x_ < columns_ - 1) ++x_;
            }
            ++i;
            break;
        case 10: // a line feed also returns the carriage
            x_ = 0;
            Down(1);
            ++i;
            break;
        case 27: {
            const size_t next = Escape(data, i, n);
            if (next == SIZE_MAX) {
                KeepPending(data, i, n);
                return;
            }
            i = next;
            break;
        }
        default: // other control bytes, carriage return and bell included
            ++i;
            break;
        }
    }
}

void Terminal::PutRun(const uint8_t* data, size_t& i, size_t end) {
    const uint16_t attr = currentAttr();
    uint8_t* text = RowData(y_);
    uint16_t* attrs = RowAttrData(y_);
    int* length = &RowLength(y_);
    Dirty(y_);
    while (i < end) {
        const uint8_t b = data[i];
        if (b < 32) return;
        if (*length < x_) std::memset(text + *length, ' ', size_t(x_ - *length));
        text[x_] = b;
        attrs[x_] = attr;
        if (*length <= x_) *length = x_ + 1;
        ++i;
        if (x_ + 1 < columns_) {
            ++x_;
        } else {
            Forward(1);
            text = RowData(y_);
            attrs = RowAttrData(y_);
            length = &RowLength(y_);
            Dirty(y_);
        }
    }
}

void Terminal::PutChar(uint8_t b) {
    uint8_t* text = RowData(y_);
    int& length = RowLength(y_);
    if (length < x_) std::memset(text + length, ' ', size_t(x_ - length));
    text[x_] = b;
    RowAttrData(y_)[x_] = currentAttr();
    if (length <= x_) length = x_ + 1;
    Dirty(y_);
}

void Terminal::Forward(int n) {
    if (x_ + n < columns_) {
        x_ += n;
        return;
    }
    x_ = 0;
    if (y_ < rows_ - 1)
        ++y_;
    else
        ScrollUp(1);
}

void Terminal::Down(int n) {
    if (n < rows_ - y_ - 1) {
        y_ += n;
        return;
    }
    const int scroll = n - (rows_ - y_ - 1);
    y_ = rows_ - 1;
    ScrollUp(scroll);
}

void Terminal::Up(int n) {
    y_ = std::max(0, y_ - n);
}

void Terminal::Back(int n) {
    x_ = std::max(0, x_ - std::max(n, 1));
}

void Terminal::ScrollUp(int count) {
    if (count <= 0) return;
    damage_.scrolled += count;
    damage_.top = std::max(0, damage_.top - count);
    damage_.bottom -= count;
    if (damage_.bottom < 0) {
        damage_.top = INT_MAX;
        damage_.bottom = -1;
    }
    history_ = int(std::min<int64_t>(int64_t(history_) + count, lines_ - rows_ - 1));
    // More than the whole buffer leaves the same blank buffer.
    count = std::min(count, lines_);
    for (int k = 0; k < count; ++k) {
        first_ = first_ + 1 == lines_ ? 0 : first_ + 1;
        const int last = Phys(lines_ - 1);
        lengths_[last] = 0;
        std::fill_n(&attrs_[size_t(last) * columns_], columns_, kDefaultAttr);
    }
}

void Terminal::Erase(int row, int from, int to) {
    if (row < 0 || row >= rows_) return;
    const int length = RowLength(row);
    to = std::min(to, length);
    if (from >= to) return;
    const uint16_t attr = currentAttr();
    std::memset(RowData(row) + from, ' ', size_t(to - from));
    std::fill(RowAttrData(row) + from, RowAttrData(row) + to, attr);
    Dirty(row);
}

void Terminal::InsertPosition() {
    int& length = RowLength(y_);
    if (x_ >= length) return;
    // A full line loses its last character instead of growing past the screen.
    const int newLength = std::min(length + 1, columns_);
    uint8_t* text = RowData(y_);
    uint16_t* attrs = RowAttrData(y_);
    for (int c = newLength - 1; c > x_; --c)
        text[c] = text[c - 1];
    std::fill(attrs + x_ + 1, attrs + newLength, currentAttr());
    length = newLength;
    Dirty(y_);
}

void Terminal::DeleteChar() {
    const int length = RowLength(y_);
    if (x_ >= length) return;
    uint8_t* text = RowData(y_);
    uint16_t* attrs = RowAttrData(y_);
    for (int c = x_; c < length - 1; ++c)
        text[c] = text[c + 1];
    text[length - 1] = ' ';
    std::fill(attrs + x_, attrs + length, currentAttr());
    Dirty(y_);
}

void Terminal::Rendition(const int* params, int count) {
    auto reset = [this] {
        conceal_ = false;
        fg_ = defaultFg_;
        bg_ = defaultBg_;
        flags_ = 0;
    };
    if (count == 0) {
        reset();
        return;
    }
    for (int k = 0; k < count; ++k) {
        const int v = params[k];
        if (v == 0)
            reset();
        else if (v == 1)
            flags_ |= kAttrBold;
        else if (v == 2 || v == 22)
            flags_ &= ~kAttrBold;
        else if (v == 7)
            flags_ |= kAttrReverse;
        else if (v == 8)
            conceal_ = true;
        else if (v >= 30 && v <= 37)
            fg_ = v - 30;
        else if (v == 39)
            fg_ = defaultFg_;
        else if (v >= 40 && v <= 47)
            bg_ = v - 40;
        else if (v == 49)
            bg_ = defaultBg_;
    }
}

void Terminal::ColourSelect(const int* params) {
    switch (params[0]) {
    case 0:
        fg_ = defaultFg_;
        bg_ = defaultBg_;
        break;
    case 1:
        bg_ = params[1] % 8;
        break;
    case 2:
        fg_ = params[1] % 8;
        break;
    default:
        break;
    }
}

size_t Terminal::Escape(const uint8_t* d, size_t i, size_t end) {
    if (i + 1 >= end) return SIZE_MAX;
    switch (d[i + 1]) {
    case '7':
        savedX_ = x_;
        savedY_ = y_;
        return i + 2;
    case '8':
        x_ = savedX_;
        y_ = savedY_;
        return i + 2;
    case '=':
        keypadApp_ = true;
        return i + 2;
    case '>':
        keypadApp_ = false;
        return i + 2;
    case 'c': // attributes and colours stay
        x_ = y_ = 0;
        for (int r = 0; r < rows_; ++r)
            EraseRow(r);
        return i + 2;
    case '[':
        break;
    default: // only the byte after ESC is consumed
        return i + 2;
    }

    int params[kMaxParams] = {};
    int count = 0;
    size_t j = i + 2;
    // Up to three digits; a fourth is the deciding byte.
    auto digits = [&](int& value) {
        const size_t start = j;
        while (j < end && j - start < size_t(kMaxDigits) && IsDigit(d[j]))
            ++j;
        const int k = int(j - start);
        if (k > 0) value = ParamValue(d + start, k);
        return k > 0;
    };
    int value = 0;
    if (digits(value)) params[count++] = value;
    if (j >= end) return SIZE_MAX;
    const uint8_t decide = d[j];

    if (decide == ';') {
        for (;;) {
            ++j;
            if (digits(value) && count < kMaxParams) params[count++] = value;
            if (j >= end) return SIZE_MAX;
            if (d[j] != ';') break;
        }
        switch (d[j]) {
        case 'H':
        case 'f':
            y_ = std::clamp(params[0], 0, rows_ - 1);
            x_ = std::clamp(params[1] - 1, 0, columns_ - 1);
            break;
        case 'm':
            Rendition(params, count);
            break;
        case 'x':
            ColourSelect(params);
            break;
        default:
            break;
        }
        return j + 1;
    }
    if (decide == '=') {
        ++j;
        digits(value);
        if (j >= end) return SIZE_MAX;
        return j + 1;
    }

    const int n = params[0];
    const int amount = n == 0 ? 1 : n;
    switch (decide) {
    case 'F':
        x_ = 0;
        [[fallthrough]];
    case 'A':
        Up(amount);
        break;
    case 'E':
        x_ = 0;
        [[fallthrough]];
    case 'B':
    case 'e':
        Down(amount);
        break;
    case 'C':
    case 'a':
        Forward(amount);
        break;
    case 'D':
        Back(n);
        break;
    case '`':
        x_ = std::clamp(n - 1, 0, columns_ - 1);
        break;
    case 'd':
        y_ = std::clamp(n - 1, 0, rows_ - 1);
        break;
    case 'J':
        if (n == 0) {
            Erase(y_, x_, columns_);
            for (int r = y_ + 1; r < rows_; ++r)
                EraseRow(r);
        } else if (n == 1) {
            for (int r = 0; r < y_; ++r)
                EraseRow(r);
            Erase(y_, 0, x_);
        } else if (n == 2) {
            for (int r = 0; r < rows_; ++r)
                EraseRow(r);
        }
        break;
    case 'K':
        if (n == 0)
            Erase(y_, x_, columns_);
        else if (n == 1)
            Erase(y_, 0, x_);
        else if (n == 2)
            EraseRow(y_);
        break;
    case 'X':
        Erase(y_, x_, x_ + n + 1);
        break;
    case '@':
        InsertPosition();
        break;
    case 'P':
        DeleteChar();
        break;
    case 's':
        savedX_ = x_;
        savedY_ = y_;
        break;
    case 'u':
        x_ = savedX_;
        y_ = savedY_;
        break;
    case 'm':
        Rendition(params, count);
        break;
    case 'x':
        ColourSelect(params);
        break;
    default: // H without ";", and every sequence this dialect does not know
        break;
    }
    return j + 1;
}

void Terminal::ClampCursor() {
    x_ = std::clamp(x_, 0, columns_ - 1);
    y_ = std::clamp(y_, 0, rows_ - 1);
    savedX_ = std::clamp(savedX_, 0, columns_ - 1);
    savedY_ = std::clamp(savedY_, 0, rows_ - 1);
}

SizeChange Terminal::SetSize(int lines, int rows, int columns) {
    SizeChange result;
    int newLines = lines >= 2 ? lines : lines_;
    int newColumns = (columns > 0 && columns <= kMaxScreenSize) ? columns : columns_;
    // The cap is on cells, so columns count as much as lines.
    if (newLines != lines_ && int64_t(newLines) * newColumns > kMaxCells) {
        result.outOfMemory = true;
        newLines = lines_;
    }
    if (newColumns != columns_ && int64_t(newLines) * newColumns > kMaxCells) {
        result.outOfMemory = true;
        newColumns = columns_;
    }
    int newRows = rows_;
    if (rows >= newLines)
        newRows = newLines - 1;
    else if (rows != rows_ && rows > 0 && rows <= kMaxScreenSize)
        newRows = rows;
    // A shorter buffer must still hold the screen and its blank last line.
    newRows = std::min({newRows, newLines - 1, kMaxScreenSize});
    if (newLines == lines_ && newColumns == columns_ && newRows == rows_) return result;

    const bool screenChanged = newRows != rows_ || newColumns != columns_;
    // A new screen size starts clean: what the host drew for the old size would be
    // overwritten piecemeal. The cursor's row becomes the top row of the new screen.
    const int cursorLine = ScreenLine(y_);
    const int newTop = newLines - newRows - 1;
    const int offset = screenChanged ? newTop - cursorLine : newLines - lines_;
    const int lastKept = screenChanged ? cursorLine : lines_ - 1;
    try {
        std::vector<uint8_t> text(size_t(newLines) * newColumns, ' ');
        std::vector<uint16_t> attrs(size_t(newLines) * newColumns, kDefaultAttr);
        std::vector<int> lengths(size_t(newLines), 0);
        const int sharedColumns = std::min(columns_, newColumns);
        for (int to = 0; to < newLines; ++to) {
            const int from = to - offset;
            if (from < 0 || from > lastKept) continue;
            std::memcpy(&text[size_t(to) * newColumns], LineData(from), size_t(sharedColumns));
            std::memcpy(&attrs[size_t(to) * newColumns], LineAttrs(from),
                        size_t(sharedColumns) * sizeof(uint16_t));
            lengths[size_t(to)] = std::min(LineLength(from), newColumns);
        }
        text_.swap(text);
        attrs_.swap(attrs);
        lengths_.swap(lengths);
    } catch (const std::bad_alloc&) {
        result.outOfMemory = true;
        return result;
    }
    history_ = std::clamp(screenChanged ? history_ + y_ : history_, 0, newTop);
    first_ = 0;
    lines_ = newLines;
    columns_ = newColumns;
    rows_ = newRows;
    if (screenChanged) y_ = savedY_ = 0;
    ClampCursor();
    result.changed = true;
    result.screenChanged = screenChanged;
    damage_.top = 0;
    damage_.bottom = rows_ - 1;
    damage_.scrolled = 1; // the whole window moves
    return result;
}

void Terminal::LineCells(int line, Cell* out) const {
    const int buffer = lines_ - rows_ - 1 - history_ + line;
    const uint8_t* text = LineData(buffer);
    const uint16_t* attrs = LineAttrs(buffer);
    const int length = LineLength(buffer);
    for (int c = 0; c < columns_; ++c) {
        const CellColours colours = ResolveColours(attrs[c]);
        out[c] = {c < length ? PcCharacter(text[c]) : U' ', kPalette[size_t(colours.text)],
                  kPalette[size_t(colours.fill)], 0};
    }
}

void Terminal::Key(const KeyPress& key) {
    if (key.vk != 0) {
        const QByteArray bytes = KeyBytes(key.vk, keypadApp_);
        if (!bytes.isEmpty()) {
            if (key.vk == kVkEscape) {
                escapePrefix_ = !escapePrefix_;
                if (escapePrefix_) return; // the next character goes out behind an ESC
            }
            replies_.append(bytes);
            return;
        }
    }
    if (key.ch != 0) Character(int(key.ch), key.shift, key.ctrl, key.alt);
}

void Terminal::Character(int c, bool shift, bool ctrl, bool alt) {
    if (escapePrefix_) {
        escapePrefix_ = false;
        replies_.append('\033');
        replies_.append(char(c & 0xFF));
        return;
    }
    // The keyboard layout has already shifted what it delivers; only control and Alt
    // combinations need the table.
    if (!ctrl && !alt && c >= 32 && c != 127) {
        replies_.append(char(c & 0xFF));
        return;
    }
    replies_.append(char(TranslateChar(c, shift, ctrl, alt) & 0xFF));
}

void Terminal::Paste(const QString& text) {
    // One byte per character as typed; a line end is the Enter key's.
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const QChar ch : std::as_const(lines)) {
        if (ch == QLatin1Char('\n'))
            replies_.append("\r\n");
        else
            replies_.append(ch.unicode() < 256 ? char(ch.unicode()) : '?');
    }
}

QByteArray Terminal::LineBytes(int line) const {
    return QByteArray(reinterpret_cast<const char*>(LineData(line)), LineLength(line));
}

QByteArray Terminal::SaveText() const {
    QByteArray out;
    for (int l = 0; l < lines_; ++l) {
        if (LineLength(l) == 0) continue;
        out.append(LineBytes(l));
        out.append("\r\n");
    }
    return out;
}

} // namespace velmar::telnet
