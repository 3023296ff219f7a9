#include "settings/Archive.h"

namespace velmar::archive {

void PutU16(QByteArray& out, uint32_t v) {
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

void PutU32(QByteArray& out, uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

void PutCount(QByteArray& out, uint32_t count) {
    if (count < 0xFFFF) {
        PutU16(out, count);
    } else {
        PutU16(out, 0xFFFF);
        PutU32(out, count);
    }
}

void PutString(QByteArray& out, const QString& s) {
    out.append(char(0xFF));
    PutU16(out, 0xFFFE);
    const auto n = uint32_t(s.size());
    if (n < 0xFF) {
        out.append(char(n));
    } else if (n < 0xFFFE) {
        out.append(char(0xFF));
        PutU16(out, n);
    } else {
        out.append(char(0xFF));
        PutU16(out, 0xFFFF);
        PutU32(out, n);
    }
    for (QChar c : s)
        PutU16(out, c.unicode());
}

bool Reader::U8(uint32_t& v) {
    if (pos_ + 1 > b_.size()) return false;
    v = uint8_t(b_[pos_++]);
    return true;
}

bool Reader::U16(uint32_t& v) {
    uint32_t lo, hi;
    if (!U8(lo) || !U8(hi)) return false;
    v = lo | (hi << 8);
    return true;
}

bool Reader::U32(uint32_t& v) {
    uint32_t lo, hi;
    if (!U16(lo) || !U16(hi)) return false;
    v = lo | (hi << 16);
    return true;
}

bool Reader::Count(uint32_t& count) {
    if (!U16(count)) return false;
    return count != 0xFFFF || U32(count);
}

bool Reader::Bytes(qsizetype n, QByteArray& out) {
    if (n < 0 || n > b_.size() - pos_) return false;
    out = b_.mid(pos_, n);
    pos_ += n;
    return true;
}

bool Reader::String(QString& s) {
    uint32_t first;
    if (!U8(first)) return false;
    bool wide = false;
    uint32_t length = first;
    if (first == 0xFF) {
        uint32_t marker;
        if (!U16(marker)) return false;
        if (marker == 0xFFFE) {
            wide = true;
            if (!U8(length)) return false;
            if (length == 0xFF) {
                if (!U16(length)) return false;
                if (length == 0xFFFF && !U32(length)) return false;
            }
        } else if (marker == 0xFFFF) {
            if (!U32(length)) return false;
        } else {
            length = marker;
        }
    }
    const qint64 need = qint64(length) * (wide ? 2 : 1);
    if (need > left()) return false;
    const auto* p = reinterpret_cast<const uchar*>(b_.constData() + pos_);
    if (wide) {
        s = QString(qsizetype(length), Qt::Uninitialized);
        for (qsizetype k = 0; k < qsizetype(length); ++k)
            s[k] = QChar(char16_t(p[2 * k] | (p[2 * k + 1] << 8)));
    } else {
        s = QString::fromLatin1(reinterpret_cast<const char*>(p), qsizetype(length));
    }
    pos_ += qsizetype(need);
    return true;
}

} // namespace velmar::archive
