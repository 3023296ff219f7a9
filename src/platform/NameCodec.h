#pragma once
// File names and network text are bytes on Linux. They decode to UTF-16 losslessly:
// a byte that is not part of valid UTF-8 becomes a lone surrogate U+DC80..U+DCFF and
// encodes back to the very same byte, so any name can be listed and handed back.

#include <QByteArray>
#include <QString>
#include <QStringView>
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

} // namespace velmar::platform
