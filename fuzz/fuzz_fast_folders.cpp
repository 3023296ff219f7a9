// The fast-folder file is outside input (any bytes may be in it). Its text is its bytes
// two at a time, and gives back those bytes; the entries, written again, read back the same
// (a ";" in a name is written twice); a row stands for its own entry.
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
    if (FastFolderEntries(FastFolderText(entries)) != entries) std::abort();
    for (const QString& e : entries) {
        // A row stands for its own entry, so removing it removes that entry only.
        if (e.endsWith(QLatin1Char('/')) && FastFolderEntryOfRow(FastFolderRowText(e)) != e)
            std::abort();
    }
    return 0;
}
