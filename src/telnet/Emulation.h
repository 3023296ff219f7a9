#pragma once
// What the terminal window paints from and types into, whichever emulation runs behind it:
// host bytes in; cells with their colours, damage and scrollback out; keys and pastes in,
// bytes for the host out. No socket and no drawing here.
//
// Lines are counted as the window shows them: the kept scrollback first (historyLines()),
// then the screen rows, then trailingLines() blank lines the host cannot address.

#include <QByteArray>
#include <QString>
#include <climits>
#include <cstddef>
#include <cstdint>

namespace velmar::telnet {

// Screen rows touched since the last TakeDamage, in the row numbers they have now.
struct Damage {
    int scrolled = 0; // lines scrolled up
    int top = INT_MAX;
    int bottom = -1;
    bool empty() const { return scrolled == 0 && bottom < top; }
    void Add(int row) {
        if (row < top) top = row;
        if (row > bottom) bottom = row;
    }
};

struct SizeChange {
    bool changed = false;       // anything changed (the view lays out again)
    bool screenChanged = false; // columns or rows changed (the host is told)
    bool outOfMemory = false;   // the buffer could not take the size; the old one was kept
};

// One cell as the window draws it.
inline constexpr uint8_t kCellUnderline = 0x1;
inline constexpr uint8_t kCellWide = 0x2; // the glyph covers this cell and the next
struct Cell {
    char32_t ch = ' ';
    uint32_t text = 0; // 0xRRGGBB
    uint32_t fill = 0;
    uint8_t flags = 0;
};

// Virtual-key codes of the keys the emulations know.
enum VirtualKey : int {
    kVkBack = 8,
    kVkTab = 9,
    kVkReturn = 13,
    kVkEscape = 27,
    kVkPageUp = 33,
    kVkPageDown = 34,
    kVkEnd = 35,
    kVkHome = 36,
    kVkLeft = 37,
    kVkUp = 38,
    kVkRight = 39,
    kVkDown = 40,
    kVkInsert = 45,
    kVkDelete = 46,
    kVkF1 = 112, // .. F12 = 123
};

// A key as the window saw it: a virtual key, a character, or both (Backspace is both).
struct KeyPress {
    int vk = 0;
    char32_t ch = 0;
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
};

// Screen columns and rows stay below 255: the window-size reply carries one byte for each.
inline constexpr int kMaxScreenSize = 254;
// Lines x columns past this report out of memory instead of trying.
inline constexpr int64_t kMaxCells = int64_t(1) << 26;

// The reduced ANSI dialect ("ansi", the default) or xterm on libvterm.
enum class EmulationKind { Ansi, Xterm };

class Emulation {
public:
    virtual ~Emulation() = default;

    // A fresh screen for a new connection.
    virtual void Reset() = 0;
    // One read of host data (telnet commands already taken out).
    virtual void Process(const uint8_t* data, size_t n) = 0;
    void Process(const QByteArray& bytes) {
        Process(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    }
    // Bytes for the host: answers to queries, keys, pastes.
    virtual QByteArray TakeReplies() = 0;
    virtual Damage TakeDamage() = 0;

    // Lines of scrollback in all, screen rows and columns, with each emulation's rules.
    virtual SizeChange SetSize(int lines, int rows, int columns) = 0;
    virtual int lines() const = 0;
    virtual int rows() const = 0;
    virtual int columns() const = 0;
    // The screen follows the window (else it keeps the size the user set).
    virtual bool followsWindow() const = 0;
    // What the terminal-type and window-size replies tell the host.
    virtual QByteArray terminalType() const = 0;
    virtual int reportedRows() const = 0;

    virtual int historyLines() const = 0;
    virtual int trailingLines() const { return 0; }
    int viewLines() const { return historyLines() + rows() + trailingLines(); }
    int ScreenToView(int row) const { return historyLines() + row; }
    // The columns() cells of a window line.
    virtual void LineCells(int line, Cell* out) const = 0;

    virtual int cursorX() const = 0;
    virtual int cursorY() const = 0;
    virtual bool cursorVisible() const { return true; }
    // The colour around the cells.
    virtual uint32_t windowColour() const = 0;

    virtual void Key(const KeyPress& key) = 0;
    virtual void Paste(const QString& text) = 0;

    // The scrollback and screen as saved to a file: each non-empty line followed by CR LF.
    virtual QByteArray SaveText() const = 0;

    // A window line as text, trailing blanks cut (selection, tests).
    QString LineText(int line) const;
    QString RowText(int row) const { return LineText(ScreenToView(row)); }
};

} // namespace velmar::telnet
