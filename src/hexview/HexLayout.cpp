#include "hexview/HexLayout.h"

#include <algorithm>
#include <limits>

namespace velmar {

int HexLayout::BytesPerRow(int width, int pairWidth, int charWidth) {
    const int per = std::max(pairWidth + charWidth, 1);
    const int b = (width - kRowMargin) / per / kRowStep * kRowStep;
    return std::max(b, kRowStep);
}

HexLayout::HexLayout(qint64 fileLength, int bytesPerRow)
    : length_(std::max<qint64>(fileLength, 0)), bytes_(std::max(bytesPerRow, 1)) {}

qint64 HexLayout::rowOf(qint64 offset) const {
    if (offset < 0) return -1;
    const qint64 row = offset / bytes_;
    return row < rowCount() ? row : -1;
}

int HexLayout::bytesInRow(qint64 row) const {
    if (row < 0 || row >= rowCount()) return 0;
    return int(std::min<qint64>(bytes_, length_ - row * bytes_));
}

qint64 HexLayout::maxTopRow(int visibleRows) const {
    return std::max<qint64>(rowCount() - std::max(visibleRows, 1), 0);
}

int HexLayout::scrollMaximum(int visibleRows) const {
    return int(std::min<qint64>(maxTopRow(visibleRows), kMaxScrollSteps));
}

int HexLayout::scrollValueOf(qint64 topRow, int visibleRows) const {
    const qint64 top = maxTopRow(visibleRows);
    if (top <= kMaxScrollSteps) return int(std::clamp<qint64>(topRow, 0, top));
    // topRow * steps may not fit 64 bits: scale in floating point, ends exact.
    const qint64 row = std::clamp<qint64>(topRow, 0, top);
    if (row == top) return kMaxScrollSteps;
    return std::min(int(double(row) / double(top) * kMaxScrollSteps), kMaxScrollSteps - 1);
}

qint64 HexLayout::topRowOf(int value, int visibleRows) const {
    const qint64 top = maxTopRow(visibleRows);
    if (top <= kMaxScrollSteps) return std::clamp<qint64>(value, 0, top);
    const int v = std::clamp(value, 0, kMaxScrollSteps);
    if (v == kMaxScrollSteps) return top;
    return std::min(qint64(double(v) / kMaxScrollSteps * double(top)), top);
}

QString HexLayout::OffsetText(qint64 offset) {
    return QStringLiteral("%1").arg(quint64(offset), 8, 16, QLatin1Char('0'));
}

QString HexLayout::HexText(const QByteArray& bytes, int bytesPerRow) {
    static const char digits[] = "0123456789ABCDEF";
    QString out;
    out.reserve(bytes.size() * 3);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out += QLatin1Char(digits[b >> 4]);
        out += QLatin1Char(digits[b & 15]);
        if (i < bytesPerRow - 1) out += QLatin1Char(' ');
    }
    return out;
}

QString HexLayout::CharText(const QByteArray& bytes) {
    QString out(bytes.size(), QLatin1Char('.'));
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b >= ' ' && b <= '~') out[i] = QLatin1Char(char(b));
    }
    return out;
}

qint64 HexLayout::ParseHex(const QString& text) {
    constexpr quint64 kMax = quint64(std::numeric_limits<qint64>::max());
    quint64 v = 0;
    for (const QChar c : text) {
        const int d = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ? c.unicode() - '0'
                      : (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ? c.unicode() - 'a' + 10
                      : (c >= QLatin1Char('A') && c <= QLatin1Char('F')) ? c.unicode() - 'A' + 10
                                                                         : -1;
        if (d < 0) break;
        v = v > (kMax >> 4) ? kMax : std::min(v * 16 + quint64(d), kMax);
    }
    return qint64(v);
}

QByteArray HexLayout::BytesOfHexText(const QString& text) {
    const qsizetype n = (text.size() + 1) / 3;
    QByteArray out(n, '\0');
    for (qsizetype k = 0; k < n; ++k)
        out[k] = char(ParseHex(text.mid(3 * k, 2)));
    return out;
}

bool HexEdit::Accepts(QChar ch) {
    return (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) ||
           (ch >= QLatin1Char('a') && ch <= QLatin1Char('f')) ||
           (ch >= QLatin1Char('A') && ch <= QLatin1Char('F')) || ch == QLatin1Char(' ');
}

bool HexEdit::Type(QChar ch) {
    if (!Accepts(ch)) return false;
    const int n = int(text.size());
    if (n == 0) return true;
    int i = std::clamp(caret, 0, n - 1);
    // Typing over a separator moves on to the next digit.
    if (text[i] == QLatin1Char(' ') && ch != QLatin1Char(' ') && i + 1 < n) ++i;
    if (ch != QLatin1Char(' ')) text[i] = ch;
    caret = std::min(i + 1, n - 1);
    return true;
}

} // namespace velmar
