#include "ftp/ListParser.h"

#include "platform/NameCodec.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velmar::ftp {

namespace {

// The white space that ends a field: blank, tab, CR, LF, VT and FF, told by one bit test.
constexpr uint64_t kSpaces =
    1ull << ' ' | 1ull << '\t' | 1ull << '\r' | 1ull << '\n' | 1ull << '\v' | 1ull << '\f';

bool IsSpace(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= ' ' && ((kSpaces >> u) & 1) != 0;
}

#if defined(__SSE2__)
// Bit i set when p[i] is white space, for the 16 bytes from p.
unsigned SpaceBits(const char* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i blank = _mm_cmpeq_epi8(v, _mm_set1_epi8(' '));
    // Tab to CR (9 to 13): v - 9 is at most 4, unsigned.
    const __m128i t = _mm_sub_epi8(v, _mm_set1_epi8('\t'));
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(4)), t);
    return unsigned(_mm_movemask_epi8(_mm_or_si128(blank, control)));
}
#endif

// One cursor over the line. A field ends at white space, which is skipped with it; text
// not followed by white space is no field, so the line's end is only ever the name.
// The white space of up to 64 bytes is told at once, as one bit each (a line of a listing
// has nine fields in about as many bytes): finding a field's end or the next field's start
// is then a shift and a bit count, not a look at every byte.
class Fields {
public:
    explicit Fields(std::string_view line) : p_(line.data()), end_(line.data() + line.size()) {
        Load(p_);
    }

    [[gnu::always_inline]] bool Next(std::string_view& field) {
        const char* q = FindSpace(p_);
        if (q == end_) return false;
        field = std::string_view(p_, size_t(q - p_));
        p_ = SkipSpaces(q + 1);
        return true;
    }
    bool Skip(int count) {
        std::string_view unused;
        for (int k = 0; k < count; ++k)
            if (!Next(unused)) return false;
        return true;
    }
    std::string_view Rest() const { return std::string_view(p_, size_t(end_ - p_)); }

private:
    // The window starts at `at`: bit i of spaces_ or of others_ tells at[i], for i below len_.
    void Load(const char* at) {
        base_ = at;
        const size_t left = size_t(end_ - at);
        len_ = unsigned(left < 64 ? left : 64);
        uint64_t bits = 0;
        unsigned i = 0;
#if defined(__SSE2__)
        for (; i + 16 <= len_; i += 16)
            bits |= uint64_t(SpaceBits(at + i)) << i;
        // The last part block: the 16 bytes ending with the window, never past the line.
        if (i < len_ && len_ >= 16) {
            const unsigned part = len_ - i;
            bits |= uint64_t(SpaceBits(at + len_ - 16) >> (16 - part)) << i;
            i = len_;
        }
#endif
        for (; i < len_; ++i)
            if (IsSpace(at[i])) bits |= 1ull << i;
        spaces_ = bits;
        others_ = ~bits & (len_ == 64 ? ~0ull : (1ull << len_) - 1);
    }

    // The first white space at or after `from`, or end.
    const char* FindSpace(const char* from) {
        return FirstOf(from, &Fields::spaces_);
    }
    // The first byte at or after `from` that is not white space, or end.
    const char* SkipSpaces(const char* from) {
        return FirstOf(from, &Fields::others_);
    }

    // The first byte at or after `from` whose bit is set in `mask` (spaces_ or others_). Most
    // answers are in the window at hand: that look is made in line, the rest apart.
    const char* FirstOf(const char* from, uint64_t Fields::*mask) {
        if (from < base_ + len_) {
            const uint64_t m = this->*mask >> unsigned(from - base_);
            if (m) return from + __builtin_ctzll(m);
        }
        return FirstOfFurther(from, mask);
    }
    [[gnu::noinline]] const char* FirstOfFurther(const char* from, uint64_t Fields::*mask) {
        for (;;) {
            if (from >= base_ + len_) {
                if (from >= end_) return end_;
                Load(from);
            }
            const uint64_t m = this->*mask >> unsigned(from - base_);
            if (m) return from + __builtin_ctzll(m);
            from = base_ + len_;
        }
    }

    const char* p_;
    const char* end_;
    const char* base_ = nullptr;
    unsigned len_ = 0;
    uint64_t spaces_ = 0; // white space in the window
    uint64_t others_ = 0; // the rest of the window
};

// Leading digits after an optional sign; 0 when there are none. Negative sizes read as 0,
// values past 64 bits saturate.
int64_t DecimalValue(std::string_view field) {
    // Days, hours, minutes and small sizes: a few digits, no sign, no overflow to watch.
    if (!field.empty() && field.size() <= 4 &&
        static_cast<unsigned char>(field[0]) - unsigned('0') <= 9) {
        int64_t value = 0;
        for (const char c : field) {
            const unsigned digit = static_cast<unsigned char>(c) - unsigned('0');
            if (digit > 9) break;
            value = value * 10 + int64_t(digit);
        }
        return value;
    }
    size_t i = 0;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
    int64_t value = 0;
    // Eighteen digits never overflow: only a longer run needs the saturating test.
    for (const size_t plain = std::min(field.size(), i + 18); i < plain; ++i) {
        const unsigned digit = static_cast<unsigned char>(field[i]) - unsigned('0');
        if (digit > 9) return negative ? -value : value;
        value = value * 10 + int64_t(digit);
    }
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    for (; i < field.size(); ++i) {
        const unsigned digit = static_cast<unsigned char>(field[i]) - unsigned('0');
        if (digit > 9) break;
        if (value > (kMax - int64_t(digit)) / 10) return negative ? -kMax : kMax;
        value = value * 10 + int64_t(digit);
    }
    return negative ? -value : value;
}

uint64_t SizeValue(std::string_view field) {
    const int64_t v = DecimalValue(field);
    return v < 0 ? 0 : uint64_t(v);
}

// The DOS form reads dates by position, each character as its low four bits.
int Nibble(std::string_view field, size_t position) {
    return position < field.size() ? (static_cast<unsigned char>(field[position]) & 0x0F) : 0;
}

int TwoNibbles(std::string_view field, size_t first) {
    return Nibble(field, first) * 10 + Nibble(field, first + 1);
}

void SetTimes(FindRecord& out, uint64_t fileTime) {
    out.creationTime = fileTime;
    out.lastAccessTime = fileTime;
    out.lastWriteTime = fileTime;
}

// A server names entries of one folder: a name that is empty, "." or "..", or holds a
// slash, a backslash (sent as a slash) or a control character (a line break would end a
// command line) could make a download, a delete or an upload reach outside the folder.
// Told on the bytes: decoding keeps every byte below 0x80 as that character and makes none
// of the others one.
// The bytes a name may not hold, one flag each: one load per byte of a listing's names.
constexpr std::array<bool, 256> kNotInName = [] {
    std::array<bool, 256> bad{};
    for (int c = 0; c < 0x20; ++c)
        bad[size_t(c)] = true;
    bad['/'] = bad['\\'] = bad[0x7F] = true;
    return bad;
}();

bool TakeName(std::string_view rest, FindRecord& out) {
    if (rest.empty() || rest == "." || rest == "..") return false;
    unsigned seen = 0;
    for (const char c : rest) {
        const auto u = static_cast<unsigned char>(c);
        if (kNotInName[u]) return false;
        seen |= u;
    }
    // Plain ASCII, as most names are, widens as it is (what decoding would make of it), into
    // blocks shared by the names this thread makes.
    thread_local platform::NameBlock names;
    out.name = seen < 0x80 ? names.Ascii(rest) : platform::DecodeName(rest);
    return true;
}

bool ParseShortForm(std::string_view line, FindRecord& out) {
    Fields f(line);
    std::string_view first;
    if (!f.Next(first)) return false;
    if (!first.empty() && first.front() == 'd') out.attributes = attr::Directory;
    std::string_view size;
    if (!f.Skip(2) || !f.Next(size)) return false;
    out.size = SizeValue(size);
    return TakeName(f.Rest(), out);
}

bool ParseDosForm(Fields& f, std::string_view date, FindRecord& out) {
    const int month = TwoNibbles(date, 0);
    const int day = TwoNibbles(date, 3);
    const int yy = TwoNibbles(date, 6);
    const int year = 1900 + yy + (yy < 80 ? 100 : 0);

    std::string_view time;
    if (!f.Next(time)) return false;
    int hour = TwoNibbles(time, 0);
    const int minute = TwoNibbles(time, 3);
    const char half = time.size() > 5 ? time[5] : '\0';
    if (half == 'P' && hour != 12) hour += 12;
    if (half == 'A' && hour == 12) hour = 0;

    std::string_view third;
    if (!f.Next(third)) return false;
    if (third == "<DIR>")
        out.attributes = attr::Directory;
    else
        out.size = SizeValue(third);

    uint64_t fileTime = 0;
    if (!CivilToFileTime(year, month, day, hour, minute, fileTime)) return false;
    SetTimes(out, fileTime);
    return TakeName(f.Rest(), out);
}

constexpr uint32_t Packed(char a, char b, char c) {
    return uint32_t(static_cast<unsigned char>(a)) << 16 |
           uint32_t(static_cast<unsigned char>(b)) << 8 | static_cast<unsigned char>(c);
}

int MonthNumber(std::string_view field) {
    if (field.size() != 3) return 0;
    switch (Packed(field[0], field[1], field[2])) {
    case Packed('J', 'a', 'n'):
        return 1;
    case Packed('F', 'e', 'b'):
        return 2;
    case Packed('M', 'a', 'r'):
        return 3;
    case Packed('A', 'p', 'r'):
        return 4;
    case Packed('M', 'a', 'y'):
        return 5;
    case Packed('J', 'u', 'n'):
        return 6;
    case Packed('J', 'u', 'l'):
        return 7;
    case Packed('A', 'u', 'g'):
        return 8;
    case Packed('S', 'e', 'p'):
        return 9;
    case Packed('O', 'c', 't'):
        return 10;
    case Packed('N', 'o', 'v'):
        return 11;
    case Packed('D', 'e', 'c'):
        return 12;
    default:
        return 0;
    }
}

bool ParseUnixForm(std::string_view line, Fields& f, FindRecord& out, const ListClock& now) {
    if (line.front() == 'd')
        out.attributes = attr::Directory;
    else if (line.front() != '-')
        return false; // links, sockets, devices and the "total" line
    std::string_view size;
    if (!f.Skip(3) || !f.Next(size)) return false;
    out.size = SizeValue(size);

    std::string_view monthField;
    if (!f.Next(monthField)) return false;
    const int month = MonthNumber(monthField);
    if (month == 0) return false;
    std::string_view dayField;
    if (!f.Next(dayField)) return false;
    const int64_t day = DecimalValue(dayField);
    std::string_view when;
    if (!f.Next(when)) return false;

    int64_t year = 0;
    int hour = 0;
    int minute = 0;
    const size_t colon = when.find(':');
    if (colon != std::string_view::npos) {
        hour = colon > 2 ? 0 : int(DecimalValue(when.substr(0, colon)));
        minute = int(DecimalValue(when.substr(colon + 1, 2)));
        // A time instead of a year: within the last twelve months.
        year = now.year - (month > now.month ? 1 : 0);
    } else {
        year = DecimalValue(when);
    }
    uint64_t fileTime = 0;
    if (year < 0 || year > 99999 || day < 0 || day > 99 ||
        !CivilToFileTime(int(year), month, int(day), hour, minute, fileTime))
        return false;
    SetTimes(out, fileTime);
    return TakeName(f.Rest(), out);
}

bool ParseLine(std::string_view systemType, std::string_view line, FindRecord& out,
               const ListClock& now) {
    if (systemType.empty()) return false;
    if (systemType == "pSOSytem") return ParseShortForm(line, out);

    Fields f(line);
    std::string_view first;
    if (!f.Next(first) || first == "totals") return false;
    const char c = line.front();
    return systemType.substr(0, 10) == "Windows_NT" && c != 'd' && c != '-' && c != 's'
               ? ParseDosForm(f, first, out)
               : ParseUnixForm(line, f, out, now);
}

} // namespace

ListClock CurrentListClock() {
    const std::time_t t = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&t, &utc);
    return {utc.tm_year + 1900, utc.tm_mon + 1};
}

bool CivilToFileTime(int year, int month, int day, int hour, int minute, uint64_t& fileTime) {
    // The range a file time can hold as a calendar date.
    if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1 || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59)
        return false;
    // The entries of a listing share few dates: the last date's day count is kept.
    thread_local int lastDate = 0;
    thread_local int64_t lastDays = 0;
    const int date = (year * 16 + month) * 32 + day;
    if (date != lastDate) {
        static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        const int monthDays = kDays[size_t(month - 1)] + (month == 2 && leap ? 1 : 0);
        if (day > monthDays) return false;
        // Days since 1970-01-01 of a proleptic Gregorian date.
        const int y = year - (month <= 2 ? 1 : 0);
        const int era = (y >= 0 ? y : y - 399) / 400;
        const int yoe = y - era * 400;
        const int mp = (month + 9) % 12;
        const int doy = (153 * mp + 2) / 5 + day - 1;
        const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        lastDays = int64_t(era) * 146097 + doe - 719468;
        lastDate = date;
    }
    const int64_t days = lastDays;
    fileTime = FileTimeFromUnix(days * 86400 + hour * 3600 + minute * 60, 0);
    return true;
}

bool ParseListLine(std::string_view systemType, std::string_view line, FindRecord& out,
                   const ListClock& now) {
    out = FindRecord{};
    if (ParseLine(systemType, line, out, now)) return true;
    out = FindRecord{};
    return false;
}

bool ParseListLine(std::string_view systemType, std::string_view line, FindRecord& out) {
    return ParseListLine(systemType, line, out, CurrentListClock());
}

} // namespace velmar::ftp
