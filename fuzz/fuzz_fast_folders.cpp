// The fast-folder file is outside input (any bytes may be in it). Its text is its bytes
// two at a time, and gives back those bytes; the entries hold no ";" and, joined again,
// give the text up to its last ";"; a row's text is its entry less two characters.
#include "filemgr/FastFolderFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmar;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = FastFolderTextOf(bytes);
    if (text.size() != bytes.size() / 2) std::abort();
    QByteArray back;
    for (const QChar c : text) {
        back += char(c.unicode() & 0xFF);
        back += char(c.unicode() >> 8);
    }
    if (back != bytes.left(back.size())) std::abort();
    const QStringList entries = FastFolderEntries(text);
    for (const QString& e : entries) {
        if (e.contains(QLatin1Char(';'))) std::abort();
        // A row stands for its own entry, so removing it removes that entry only.
        if (e.endsWith(QLatin1Char('/')) && FastFolderEntryOfRow(FastFolderRowText(e)) != e)
            std::abort();
    }
    const qsizetype last = text.lastIndexOf(QLatin1Char(';'));
    const QString joined = entries.isEmpty() ? QString() : entries.join(QLatin1Char(';')) + ';';
    if (joined != text.left(last + 1)) std::abort();
    return 0;
}
