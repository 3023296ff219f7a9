// Whois and finger answers are outside input: any bytes must give a display text within
// the limit, with every line feed preceded by a carriage return, and a finger answer
// must come back byte for byte.
#include "nettools/TextQuery.h"
#include "platform/NameCodec.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmar;
    const QByteArray answer(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString whois = WhoisAnswerText(answer);
    if (whois.size() > kWhoisTextLimit) std::abort();
    for (qsizetype i = 0; i < whois.size(); ++i)
        if (whois[i] == QLatin1Char('\n') && (i == 0 || whois[i - 1] != QLatin1Char('\r')))
            std::abort();
    // Below the limits nothing is lost: the bytes come back with a CR before each LF.
    if (size <= 7000) {
        QByteArray expected;
        for (const char c : answer) {
            if (c == '\n') expected.append('\r');
            expected.append(c);
        }
        if (platform::EncodeName(whois) != expected) std::abort();
    }
    if (platform::EncodeName(FingerAnswerText(answer)) != answer) std::abort();
    return 0;
}
