// LIST lines are outside input. The first byte picks the server's system type; the rest
// is one line. An accepted line's name must be the line's own tail, byte for byte, and one
// plain name: never empty, ".", "..", nor holding a slash, a backslash or a control
// character.
#include "ftp/ListParser.h"
#include "platform/NameCodec.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static constexpr std::string_view kTypes[] = {"UNIX", "Windows_NT", "pSOSytem", ""};
    const std::string_view type = kTypes[data[0] % 4];
    const std::string_view line(reinterpret_cast<const char*>(data + 1), size - 1);
    velmar::FindRecord r;
    const velmar::ftp::ListClock now{2024, 6};
    if (!velmar::ftp::ParseListLine(type, line, r, now)) return 0;
    const QByteArray name = velmar::platform::EncodeName(r.name);
    if (!line.ends_with(std::string_view(name.constData(), size_t(name.size())))) std::abort();
    if (r.name.isEmpty() || r.name == QLatin1String(".") || r.name == QLatin1String("..") ||
        r.name.contains(QLatin1Char('/')) || r.name.contains(QLatin1Char('\\')))
        std::abort();
    for (const QChar c : r.name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) std::abort();
    if (r.attributes != 0 && r.attributes != velmar::attr::Directory) std::abort();
    return 0;
}
