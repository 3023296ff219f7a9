#pragma once
// The stored archive form shared by the history lists and the FTP server list: little-endian
// words, counts with a 0xFFFF escape to 32 bits, strings wide (0xFF 0xFFFE, a length, UTF-16LE)
// or narrow (a length, then bytes). The reader is for outside input: every read is checked.

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace velmar::archive {

void PutU16(QByteArray& out, uint32_t v);
void PutU32(QByteArray& out, uint32_t v);
// An element count: 16 bits, or 0xFFFF and 32 bits.
void PutCount(QByteArray& out, uint32_t count);
// A wide string.
void PutString(QByteArray& out, const QString& s);

class Reader {
public:
    explicit Reader(const QByteArray& bytes) : b_(bytes) {}
    bool U8(uint32_t& v);
    bool U16(uint32_t& v);
    bool U32(uint32_t& v);
    bool Count(uint32_t& count);
    bool Bytes(qsizetype n, QByteArray& out);
    // A wide or narrow string; false when it runs past the end.
    bool String(QString& s);
    qsizetype left() const { return b_.size() - pos_; }

private:
    const QByteArray& b_;
    qsizetype pos_ = 0;
};

} // namespace velmar::archive
