#pragma once
// File names and network text are bytes on Linux. They decode to UTF-16 losslessly:
// a byte that is not part of valid UTF-8 becomes a lone surrogate U+DC80..U+DCFF and
// encodes back to the very same byte, so any name can be listed and handed back.

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QtCore/qarraydata.h>
#include <string_view>

namespace velmar::platform {

QString DecodeName(std::string_view bytes);
inline QString DecodeName(const QByteArray& bytes) {
    return DecodeName(std::string_view(bytes.constData(), size_t(bytes.size())));
}
QByteArray EncodeName(QStringView text);
inline QByteArray EncodeName(const QString& text) {
    return EncodeName(QStringView(text));
}

// Makes the many short names of a large listing in shared blocks of storage: one allocation
// for some hundreds of names instead of one each, and half the memory. Each name is a
// QString like any other: copied, shared and changed as usual (a change first copies the
// name out of its block, unless it is the last name left there); a block is freed with the
// last name in it. A NameBlock belongs to one thread; its names may go anywhere.
class NameBlock {
public:
    NameBlock() = default;
    ~NameBlock();
    NameBlock(const NameBlock&) = delete;
    NameBlock& operator=(const NameBlock&) = delete;

    // The name of bytes that are all below 0x80 (as DecodeName would make it).
    QString Ascii(std::string_view ascii);

private:
    void Release();

    QTypedArrayData<char16_t>* block_ = nullptr;
    char16_t* next_ = nullptr;
    qsizetype left_ = 0;
    qsizetype made_ = 0; // names made in the block
};

} // namespace velmar::platform
