#pragma once
// The arithmetic of the hex window, apart from any widget: bytes per row from the window
// width, rows and offsets on 64-bit numbers (a 16 GiB file at 4 bytes a row has more rows
// than an int holds), the texts of a row, the scroll bar's int range mapped onto the rows,
// and the overwrite rules of the cell editor.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace velmar {

class HexLayout {
public:
    // Bytes per row for `width` pixels left to the hex and text columns, with `pairWidth` the
    // width of "00 " and `charWidth` that of "0": a multiple of 4, never below 4.
    static int BytesPerRow(int width, int pairWidth, int charWidth);
    // Rows hold a multiple of this many bytes (and at least this many).
    static constexpr int kRowStep = 4;
    // Pixels of `width` kept free of the hex and text columns.
    static constexpr int kRowMargin = 15;

    HexLayout(qint64 fileLength = 0, int bytesPerRow = 4);

    qint64 fileLength() const { return length_; }
    int bytesPerRow() const { return bytes_; }
    // length / B + 1: a length that is a multiple of B (and an empty file) ends with an
    // empty row.
    qint64 rowCount() const { return length_ / bytes_ + 1; }
    qint64 rowOffset(qint64 row) const { return row * bytes_; }
    // The row holding `offset`, or -1 when the offset lies past the last row.
    qint64 rowOf(qint64 offset) const;
    // How many bytes row `row` holds (0 for the last row of an exact multiple).
    int bytesInRow(qint64 row) const;
    // The highest top row that still fills a page of `visibleRows`.
    qint64 maxTopRow(int visibleRows) const;

    // A scroll bar holds an int: above this many steps one step covers several rows.
    static constexpr int kMaxScrollSteps = 1 << 30;
    int scrollMaximum(int visibleRows) const;
    int scrollValueOf(qint64 topRow, int visibleRows) const;
    qint64 topRowOf(int value, int visibleRows) const;

    // "%08x": at least eight lowercase digits, all of them above 32 bits.
    static QString OffsetText(qint64 offset);
    // Two uppercase digits per byte; a space after every byte whose place in the row is
    // below B - 1 (a full row has no trailing space, a short last row one after each byte).
    static QString HexText(const QByteArray& bytes, int bytesPerRow);
    // Printable ASCII (' ' to '~') as itself, everything else as ".".
    static QString CharText(const QByteArray& bytes);
    // Hex digits of either case from the start, up to the first other character; an empty
    // or non-hex text gives 0. Saturates instead of wrapping (an offset past any file).
    static qint64 ParseHex(const QString& text);
    // The bytes an edited hex text spells: (length + 1) / 3 bytes, byte k from the two
    // characters at 3k.
    static QByteArray BytesOfHexText(const QString& text);

private:
    qint64 length_;
    int bytes_;
};

// The cell editor overwrites: what one typed character or key does to its text and caret.
struct HexEdit {
    QString text;
    int caret = 0;

    // False when the character is not taken (anything but 0-9, a-f, A-F and space).
    bool Type(QChar ch);
    void Left() { caret = qMax(0, caret - 1); }
    void Right() { caret = qMin(int(text.size()), caret + 1); }
    static bool Accepts(QChar ch);
};

} // namespace velmar
