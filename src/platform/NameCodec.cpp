#include "platform/NameCodec.h"

namespace velmar::platform {

namespace {

// Length of the valid UTF-8 sequence starting at p (1..4), or 0 when the bytes there are not one.
// Overlong forms, surrogates and code points above U+10FFFF are invalid.
int ValidSequence(const unsigned char* p, const unsigned char* end, char32_t& cp) {
    const unsigned char b0 = p[0];
    auto cont = [&](int i) { return p + i < end && (p[i] & 0xC0) == 0x80; };
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        if (!cont(1)) return 0;
        cp = char32_t(((b0 & 0x1F) << 6) | (p[1] & 0x3F));
        return 2;
    }
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        if (!cont(1) || !cont(2)) return 0;
        cp = char32_t(((b0 & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
        if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
        return 3;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        if (!cont(1) || !cont(2) || !cont(3)) return 0;
        cp = char32_t(((b0 & 0x07) << 18) | ((p[1] & 0x3F) << 12) | ((p[2] & 0x3F) << 6) |
                      (p[3] & 0x3F));
        if (cp < 0x10000 || cp > 0x10FFFF) return 0;
        return 4;
    }
    return 0;
}

} // namespace

QString DecodeName(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    if (p == end) return QString::fromLatin1(bytes.data(), 0); // null or empty, as given
    // Most names are plain ASCII: widened in the same pass that looks for a high bit.
    QString out(qsizetype(bytes.size()), Qt::Uninitialized);
    char16_t* d = reinterpret_cast<char16_t*>(out.data());
    const auto* scan = p;
    for (; scan < end && *scan < 0x80; ++scan)
        *d++ = char16_t(*scan);
    if (scan == end) return out;

    out.resize(scan - p);
    out.reserve(qsizetype(bytes.size()));
    p = scan;
    while (p < end) {
        if (*p < 0x80) {
            out.append(QChar(*p++));
            continue;
        }
        char32_t cp = 0;
        const int n = ValidSequence(p, end, cp);
        if (n == 0) {
            out.append(QChar(char16_t(0xDC00 + *p)));
            ++p;
            continue;
        }
        if (cp >= 0x10000) {
            out.append(QChar(QChar::highSurrogate(cp)));
            out.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            out.append(QChar(char16_t(cp)));
        }
        p += n;
    }
    return out;
}

QByteArray EncodeName(QStringView text) {
    if (text.isEmpty()) return {};
    const char16_t* p = text.utf16();
    const char16_t* end = p + text.size();
    // At most three bytes for each unit (a pair of two makes four): written straight into
    // the buffer, which is cut to length at the end (names are encoded for every file).
    QByteArray out(text.size() * 3, Qt::Uninitialized);
    char* o = out.data();
    while (p < end) {
        const char16_t u = *p++;
        if (u < 0x80) {
            *o++ = char(u);
        } else if (u < 0x800) {
            *o++ = char(0xC0 | (u >> 6));
            *o++ = char(0x80 | (u & 0x3F));
        } else if (u >= 0xD800 && u <= 0xDBFF && p < end && *p >= 0xDC00 && *p <= 0xDFFF) {
            const char32_t cp =
                0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(*p++) - 0xDC00);
            *o++ = char(0xF0 | (cp >> 18));
            *o++ = char(0x80 | ((cp >> 12) & 0x3F));
            *o++ = char(0x80 | ((cp >> 6) & 0x3F));
            *o++ = char(0x80 | (cp & 0x3F));
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            // An escaped raw byte from DecodeName.
            *o++ = char(u - 0xDC00);
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            // Other lone surrogates cannot be written as UTF-8; encode as U+FFFD.
            *o++ = char(0xEF);
            *o++ = char(0xBF);
            *o++ = char(0xBD);
        } else {
            *o++ = char(0xE0 | (u >> 12));
            *o++ = char(0x80 | ((u >> 6) & 0x3F));
            *o++ = char(0x80 | (u & 0x3F));
        }
    }
    out.truncate(o - out.constData());
    return out;
}

namespace {
// 16 KB a block (what one name kept for long keeps from being freed); a name longer than a
// sixteenth of that is made on its own.
constexpr qsizetype kBlockUnits = 8 * 1024;
constexpr qsizetype kLongestShared = kBlockUnits / 16;
constexpr qsizetype kMostNames = kBlockUnits / 2;
} // namespace

NameBlock::~NameBlock() {
    Release();
}

void NameBlock::Release() {
    // The references of the names the block did not come to hold go back with this one's.
    const int unused = int(kMostNames - made_) + 1;
    if (block_ && block_->ref_.fetchAndSubOrdered(unused) == unused)
        QTypedArrayData<char16_t>::deallocate(block_);
    block_ = nullptr;
    next_ = nullptr;
    left_ = 0;
    made_ = 0;
}

QString NameBlock::Ascii(std::string_view ascii) {
    const auto n = qsizetype(ascii.size());
    if (n == 0 || n >= kLongestShared) return QString::fromLatin1(ascii.data(), n);
    // Each name ends with a zero, as every string's storage does.
    if (left_ < n + 1) {
        Release();
        const auto [header, data] = QTypedArrayData<char16_t>::allocate(kBlockUnits);
        if (!header) return QString::fromLatin1(ascii.data(), n);
        // This holds one reference until the block is full, and one for every name the block
        // may come to hold (a name takes two units at least): the names then cost no atomic
        // operation each. No other thread sees the block yet.
        header->ref_.storeRelaxed(int(1 + kMostNames));
        block_ = header;
        next_ = data;
        left_ = kBlockUnits;
    }
    char16_t* const out = next_;
    for (qsizetype i = 0; i < n; ++i)
        out[i] = char16_t(static_cast<unsigned char>(ascii[size_t(i)]));
    out[n] = u'\0';
    next_ += n + 1;
    left_ -= n + 1;
    ++made_;
    return QString(QString::DataPointer(block_, out, n));
}

} // namespace velmar::platform
