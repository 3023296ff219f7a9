#pragma once
// Readable failure messages for Qt strings and byte arrays.

#include <QByteArray>
#include <QString>
#include <ostream>

inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
    *os << '"' << bytes.toPercentEncoding(" !#$&'()*+,/:;=?@[]<>{}|\\^`~\"").constData() << '"';
}
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toUtf8().constData() << '"';
}
