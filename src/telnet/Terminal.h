#pragma once
// The reduced ANSI dialect ("ansi"): bytes from the host in, screen changes (damage) out.
// No socket, no telnet, no drawing: the session takes the telnet commands out of the
// stream, and the view pulls cells and repaints the damage.
//
// The screen is the bottom of a scrollback buffer of `lines` text lines. Screen row r is
// buffer line lines - rows - 1 + r; the last buffer line belongs to no row and stays blank,
// so the host addresses rows 1 .. rows - 1 (what the window-size reply reports).

#include "telnet/Emulation.h"

#include <QByteArray>
#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmar::telnet {

// One attribute word per cell: bits 0-3 flags, 4-7 foreground index, 8-11 background.
inline constexpr uint16_t kAttrBold = 0x1;
inline constexpr uint16_t kAttrReverse = 0x2;
inline constexpr uint16_t kDefaultAttr = 0x0070;

// 16 colours as 0xRRGGBB: bit 0 red, bit 1 green, bit 2 blue, +8 bright.
inline constexpr std::array<uint32_t, 16> kPalette{
    0x000000, 0xBB0000, 0x00BB00, 0xBBBB00, 0x0000BB, 0xBB00BB, 0x00BBBB, 0xBBBBBB,
    0x555555, 0xFF5555, 0x55FF55, 0xFFFF55, 0x5555FF, 0xFF55FF, 0x55FFFF, 0xFFFFFF};

struct CellColours {
    int text; // palette index
    int fill;
};
CellColours ResolveColours(uint16_t attr);

// The single-line box characters of the PC character set as the Unicode ones; other bytes
// are Latin-1.
char32_t PcCharacter(uint8_t b);

class Terminal : public Emulation {
public:
    using Emulation::Process;
    // The size a reset gives on a desktop.
    static constexpr int kResetLines = 1000;
    static constexpr int kResetColumns = 80;
    static constexpr int kResetRows = 25;
    // A cut-off sequence up to this long is carried into the next read.
    static constexpr int kPendingMax = 10;

    Terminal();

    // Reset for a new connection: colours, cursor, flags, size and all text.
    void Reset() override;

    // Interprets one read from the host.
    void Process(const uint8_t* data, size_t n) override;

    // Key bytes collected so far (this dialect answers no query).
    QByteArray TakeReplies() override;
    Damage TakeDamage() override;

    // The size dialog's rules: a new line count below 2 is not taken; columns and rows
    // outside 1..254 are ignored; rows of `lines` or more become lines - 1 (at most 254);
    // lines x columns beyond kMaxCells is out of memory. A new screen size starts a clean
    // screen: the rows above the cursor go to the scrollback, the cursor's row becomes the
    // top row, the rows below it are blank.
    SizeChange SetSize(int lines, int rows, int columns) override;

    int lines() const override { return lines_; }
    int columns() const override { return columns_; }
    int rows() const override { return rows_; }
    bool followsWindow() const override { return false; }
    QByteArray terminalType() const override { return QByteArrayLiteral("ansi"); }
    // The last buffer line belongs to no row: the host addresses one row less.
    int reportedRows() const override { return rows_ - 1; }
    int historyLines() const override { return history_; }
    int trailingLines() const override { return 1; }
    void LineCells(int line, Cell* out) const override;
    uint32_t windowColour() const override { return kPalette[size_t(defaultFg_)]; }
    void Key(const KeyPress& key) override;
    void Paste(const QString& text) override;
    bool escapePrefix() const { return escapePrefix_; }
    // The buffer line of screen row `row`.
    int ScreenLine(int row) const { return lines_ - rows_ - 1 + row; }
    int cursorX() const override { return x_; }
    int cursorY() const override { return y_; }
    int savedX() const { return savedX_; }
    int savedY() const { return savedY_; }
    bool keypadApplication() const { return keypadApp_; }
    bool concealed() const { return conceal_; }
    uint16_t currentAttr() const { return uint16_t(flags_ | (fg_ << 4) | (bg_ << 8)); }
    int defaultForeground() const { return defaultFg_; }
    int pendingLength() const { return pendingLen_; }

    // Buffer line `line` (0 = oldest): its text length, bytes and attribute words.
    int LineLength(int line) const { return lengths_[Phys(line)]; }
    const uint8_t* LineData(int line) const { return &text_[size_t(Phys(line)) * columns_]; }
    const uint16_t* LineAttrs(int line) const { return &attrs_[size_t(Phys(line)) * columns_]; }
    // The text of a line as bytes, and of a screen row (tests and saving).
    QByteArray LineBytes(int line) const;
    QByteArray RowBytes(int row) const { return LineBytes(ScreenLine(row)); }
    uint16_t AttrAt(int row, int column) const { return LineAttrs(ScreenLine(row))[column]; }

    // The buffer as saved to a file: each non-empty line followed by CR LF.
    QByteArray SaveText() const override;

private:
    int Phys(int line) const {
        const int p = first_ + line;
        return p >= lines_ ? p - lines_ : p;
    }
    uint8_t* RowData(int row) { return &text_[size_t(Phys(ScreenLine(row))) * columns_]; }
    uint16_t* RowAttrData(int row) { return &attrs_[size_t(Phys(ScreenLine(row))) * columns_]; }
    int& RowLength(int row) { return lengths_[Phys(ScreenLine(row))]; }
    void Dirty(int row) { damage_.Add(row); }

    void Interpret(const uint8_t* data, size_t n);
    void PutRun(const uint8_t* data, size_t& i, size_t end);
    void PutChar(uint8_t b);
    void Forward(int n);
    void Down(int n);
    void Up(int n);
    void Back(int n);
    void ScrollUp(int count);
    void Erase(int row, int from, int to);
    void EraseRow(int row) { Erase(row, 0, columns_); }
    void InsertPosition();
    void DeleteChar();
    void Rendition(const int* params, int count);
    void ColourSelect(const int* params);
    void ClampCursor();
    // Returns the index after the sequence, or SIZE_MAX when it was cut off.
    size_t Escape(const uint8_t* data, size_t i, size_t end);
    void KeepPending(const uint8_t* data, size_t i, size_t end);
    void Allocate(int lines, int columns);
    void Character(int c, bool shift, bool ctrl, bool alt);

    int lines_ = 0;
    int columns_ = 0;
    int rows_ = 0;
    int first_ = 0; // ring: physical index of buffer line 0
    std::vector<uint8_t> text_;
    std::vector<uint16_t> attrs_;
    std::vector<int> lengths_;

    int x_ = 0, y_ = 0, savedX_ = 0, savedY_ = 0;
    int fg_ = 7, bg_ = 0, flags_ = 0, defaultFg_ = 7, defaultBg_ = 0;
    bool conceal_ = false;
    bool keypadApp_ = false;
    bool escapePrefix_ = false;
    int history_ = 0; // buffer lines above the screen that were once on it

    std::array<uint8_t, kPendingMax> pending_{};
    int pendingLen_ = 0;
    std::vector<uint8_t> joined_;
    QByteArray replies_;
    Damage damage_;
};

} // namespace velmar::telnet
