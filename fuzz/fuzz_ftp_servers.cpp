// The stored FTP server list is outside input: any bytes must read as a list or as
// nothing, and a list that reads must archive back to bytes that read as the same list.
// A server's reply reduction gets the same bytes as text.
#include "ftp/FtpServerList.h"
#include "ftp/InternetErrors.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    (void)velmar::ReduceServerReply(QString::fromLatin1(bytes));
    const auto nodes = velmar::UnarchiveFtpNodes(bytes);
    if (!nodes) return 0;
    const auto again = velmar::ArchiveFtpNodes(*nodes);
    if (again && velmar::UnarchiveFtpNodes(*again) != nodes) std::abort();
    return 0;
}
