#include "telnet/Emulation.h"

#include <vector>

namespace velmar::telnet {

QString Emulation::LineText(int line) const {
    std::vector<Cell> cells(static_cast<size_t>(columns()));
    LineCells(line, cells.data());
    QString out;
    for (size_t c = 0; c < cells.size(); ++c) {
        if (c > 0 && (cells[c - 1].flags & kCellWide)) continue; // the right half of a wide glyph
        const char32_t ch = cells[c].ch ? cells[c].ch : U' ';
        out += QString::fromUcs4(&ch, 1);
    }
    while (out.endsWith(QLatin1Char(' ')))
        out.chop(1);
    return out;
}

} // namespace velmar::telnet
