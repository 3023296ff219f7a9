#pragma once
// The "xterm" emulation: the system's libvterm interprets the host's output (UTF-8, 256 and
// direct colours, scroll regions, the alternate screen, insert and delete, DEC line drawing,
// answers to device-attribute and cursor-position queries) and turns keys into what xterm
// sends. The cells are ours: libvterm's state layer tells where glyphs go and what scrolls,
// and the screen and its scrollback live in one ring of lines, so a line scrolling off the
// top is an index step, not a copy. Cells, damage and replies are handed over in the same
// form as the reduced dialect.

#include "telnet/Emulation.h"

#include <cstdint>
#include <span>
#include <vector>

extern "C" {
struct VTerm;
struct VTermState;
}

namespace velmar::telnet {

// Hands libvterm whole UTF-8 sequences only. libvterm 0.1 reads a code point it never wrote
// when a piece of text holds nothing but the start of a sequence (a read cut inside a
// character, or a broken one before a control) and may glue that garbage to the glyph
// before. A sequence cut by the end of a read waits for the next read; a broken one becomes
// U+FFFD.
class Utf8Joiner {
public:
    // The bytes to hand on (`data` itself when it is plain ASCII and nothing waits).
    std::span<const uint8_t> Join(const uint8_t* data, size_t n);
    void Clear() { carried_ = 0; }

private:
    uint8_t carry_[6] = {};
    size_t carried_ = 0;
    std::vector<uint8_t> out_;
};

class XtermEmulation : public Emulation {
public:
    XtermEmulation(int rows, int columns);
    ~XtermEmulation() override;
    XtermEmulation(const XtermEmulation&) = delete;
    XtermEmulation& operator=(const XtermEmulation&) = delete;
    using Emulation::Process;

    void Reset() override;
    void Process(const uint8_t* data, size_t n) override;
    QByteArray TakeReplies() override;
    Damage TakeDamage() override;

    // Lines below 2 are not taken; rows and columns outside 1..254 are ignored; lines x
    // columns beyond kMaxCells is out of memory. The scrollback holds lines - rows lines.
    SizeChange SetSize(int lines, int rows, int columns) override;
    int lines() const override { return lines_; }
    int rows() const override { return rows_; }
    int columns() const override { return columns_; }
    bool followsWindow() const override { return true; }
    QByteArray terminalType() const override { return QByteArrayLiteral("xterm-256color"); }
    int reportedRows() const override { return rows_; }

    int historyLines() const override { return historyCount_; }
    void LineCells(int line, Cell* out) const override;
    int cursorX() const override;
    int cursorY() const override;
    bool cursorVisible() const override { return cursorVisible_; }
    uint32_t windowColour() const override { return 0x000000; }

    void Key(const KeyPress& key) override;
    void Paste(const QString& text) override;
    QByteArray SaveText() const override;

    bool altScreen() const { return altScreen_; }

    // libvterm's callbacks.
    struct Callbacks;

private:
    void Configure();
    void UpdatePen();
    // Row `row` of the screen shown now (primary or alternate).
    Cell* Row(int row) {
        if (altActive_) return &alt_[size_t(row) * size_t(columns_)];
        int k = screenStart_ + row;
        if (k >= ringLines_) k -= ringLines_;
        return &ring_[size_t(k) * size_t(columns_)];
    }
    const Cell* Row(int row) const { return const_cast<XtermEmulation*>(this)->Row(row); }
    const Cell* HistoryLine(int k) const {
        return &ring_[size_t((historyStart_ + k) % ringLines_) * size_t(columns_)];
    }
    void PutGlyph(const uint32_t* chars, int width, bool protectedCell, int row, int column);
    void ScrollRows(int top, int bottom, int down);
    void MoveCells(int destRow, int destColumn, int srcRow, int srcColumn, int height, int width);
    void EraseCells(int top, int bottom, int left, int right, bool selective);
    void SwitchScreen(bool alternate);
    bool PrepareLayout(int lines, int rows, int columns);
    int Relayout(int lines, int rows, int columns);

    // Where the guard against over-long control sequences is in the stream.
    enum class Csi : uint8_t { None, Escape, Params, Dropping };
    void Write(const uint8_t* data, size_t n);

    Utf8Joiner utf8_;
    Csi csi_ = Csi::None;
    int csiSeparators_ = 0;
    bool glyphPut_ = false; // libvterm has a last character to repeat
    VTerm* vt_ = nullptr;
    VTermState* state_ = nullptr;
    int lines_ = 1000;
    int rows_ = 25;
    int columns_ = 80;
    bool cursorVisible_ = true;
    bool altScreen_ = false;

    // The scrollback and the primary screen: a ring of ringLines_ lines of columns_ cells,
    // historyCount_ lines of scrollback from historyStart_ on, the screen's rows after them.
    std::vector<Cell> ring_;
    int ringLines_ = 0;
    int historyStart_ = 0;
    int historyCount_ = 0;
    int screenStart_ = 0;
    // The alternate screen (full-screen programs), rows_ x columns_, never scrolled off.
    std::vector<Cell> alt_;
    bool altActive_ = false;
    // The next layout, allocated before libvterm is told the size (no allocation inside it).
    std::vector<Cell> nextRing_, nextAlt_;

    // The pen as libvterm reports it, and the cells it writes and erases with.
    uint32_t penFg_ = 0, penBg_ = 0; // VTermColor bytes
    bool penReverse_ = false;
    bool penUnderline_ = false;
    bool penDirty_ = true;
    Cell pen_;
    Cell erased_;
    Cell blank_; // default colours: new lines

    QByteArray replies_;
    Damage damage_;
};

} // namespace velmar::telnet
