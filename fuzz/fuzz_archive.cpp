// Stored history lists are outside input: any bytes must read as a list or as missing,
// and a list that reads must archive back to bytes that read as the same list.
#include "settings/SettingsStore.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<QStringList> list = velmar::UnarchiveStrings(bytes);
    if (!list) return 0;
    const std::optional<QByteArray> again = velmar::ArchiveStrings(*list);
    if (again && velmar::UnarchiveStrings(*again) != list) std::abort();
    return 0;
}
