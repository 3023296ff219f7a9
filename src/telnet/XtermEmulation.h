#pragma once
// The "xterm" emulation: the system's libvterm interprets the host's output (UTF-8, 256 and
// direct colours, scroll regions, the alternate screen, insert and delete, DEC line drawing,
// answers to device-attribute and cursor-position queries) and turns keys into what xterm
// sends. This class adds the scrollback libvterm leaves to its embedder, and hands cells,
// damage and replies over in the same form as the reduced dialect.

#include "telnet/Emulation.h"

#include <cstdint>
#include <vector>

extern "C" {
struct VTerm;
struct VTermScreen;
}

namespace velmar::telnet {

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
    QByteArray terminalType() const override { return "xterm-256color"; }
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
    // One scrolled-off cell, kept small: the colours stay in libvterm's form until drawn.
    struct StoredCell {
        uint32_t ch;
        uint32_t fg; // VTermColor bytes
        uint32_t bg;
        uint32_t attrs;
    };
    void Configure();
    void PushLine(int cols, const void* cells);
    bool PopLine(int cols, void* cells);
    StoredCell* HistoryLine(int k) {
        return &history_[size_t((historyFirst_ + k) % historyCapacity_) * storedColumns_];
    }
    const StoredCell* HistoryLine(int k) const {
        return &history_[size_t((historyFirst_ + k) % historyCapacity_) * storedColumns_];
    }
    void ResizeHistory(int capacity, int columns);
    Cell ToCell(uint32_t ch, uint32_t fg, uint32_t bg, uint32_t attrs) const;

    // Where the guard against over-long control sequences is in the stream.
    enum class Csi : uint8_t { None, Escape, Params, Dropping };
    void Write(const uint8_t* data, size_t n);

    Csi csi_ = Csi::None;
    int csiSeparators_ = 0;
    VTerm* vt_ = nullptr;
    VTermScreen* screen_ = nullptr;
    int lines_ = 1000;
    int rows_ = 25;
    int columns_ = 80;
    bool cursorVisible_ = true;
    bool altScreen_ = false;

    // The scrollback: a ring of historyCapacity_ lines of storedColumns_ cells.
    std::vector<StoredCell> history_;
    int historyCapacity_ = 0;
    int storedColumns_ = 0;
    int historyFirst_ = 0;
    int historyCount_ = 0;

    QByteArray replies_;
    Damage damage_;
};

} // namespace velmar::telnet
