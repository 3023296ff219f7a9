#include "ftpclient/ListParser.h"

#include "platform/NameCodec.h"

#include <array>
#include <ctime>
#include <limits>
#include <optional>

namespace velmar::ftp {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// One cursor over the line. A field ends at white space, which is skipped with it; text
// not followed by white space is no field, so the line's end is only ever the name.
class Fields {
public:
    explicit Fields(std::string_view line) : rest_(line) {}

    std::optional<std::string_view> Next() {
        size_t i = 0;
        while (i < rest_.size() && !IsSpace(rest_[i]))
            ++i;
        if (i == rest_.size()) return std::nullopt;
        const std::string_view field = rest_.substr(0, i);
        while (i < rest_.size() && IsSpace(rest_[i]))
            ++i;
        rest_.remove_prefix(i);
        return field;
    }
    bool Skip(int count) {
        for (int k = 0; k < count; ++k)
            if (!Next()) return false;
        return true;
    }
    std::string_view Rest() const { return rest_; }

private:
    std::string_view rest_;
};

// Leading digits after an optional sign; 0 when there are none. Negative sizes read as 0,
// values past 64 bits saturate.
int64_t DecimalValue(std::string_view field) {
    size_t i = 0;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
    int64_t value = 0;
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        const int digit = field[i] - '0';
        if (value > (kMax - digit) / 10) {
            value = kMax;
            while (i < field.size() && field[i] >= '0' && field[i] <= '9')
                ++i;
            break;
        }
        value = value * 10 + digit;
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

QString NameFrom(std::string_view rest) {
    return platform::DecodeName(rest);
}

bool ParseShortForm(std::string_view line, FindRecord& out) {
    Fields f(line);
    const std::optional<std::string_view> first = f.Next();
    if (!first) return false;
    if (!first->empty() && first->front() == 'd') out.attributes = attr::Directory;
    if (!f.Skip(2)) return false;
    const std::optional<std::string_view> size = f.Next();
    if (!size) return false;
    out.size = SizeValue(*size);
    out.name = NameFrom(f.Rest());
    return true;
}

bool ParseDosForm(Fields& f, std::string_view date, FindRecord& out) {
    const int month = TwoNibbles(date, 0);
    const int day = TwoNibbles(date, 3);
    const int yy = TwoNibbles(date, 6);
    const int year = 1900 + yy + (yy < 80 ? 100 : 0);

    const std::optional<std::string_view> time = f.Next();
    if (!time) return false;
    int hour = TwoNibbles(*time, 0);
    const int minute = TwoNibbles(*time, 3);
    const char half = time->size() > 5 ? (*time)[5] : '\0';
    if (half == 'P' && hour != 12) hour += 12;
    if (half == 'A' && hour == 12) hour = 0;

    const std::optional<std::string_view> third = f.Next();
    if (!third) return false;
    if (*third == "<DIR>")
        out.attributes = attr::Directory;
    else
        out.size = SizeValue(*third);
    out.name = NameFrom(f.Rest());

    uint64_t fileTime = 0;
    if (!CivilToFileTime(year, month, day, hour, minute, fileTime)) return false;
    SetTimes(out, fileTime);
    return true;
}

int MonthNumber(std::string_view field) {
    static constexpr std::array<std::string_view, 12> kMonths{
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (size_t i = 0; i < kMonths.size(); ++i)
        if (field == kMonths[i]) return int(i) + 1;
    return 0;
}

bool ParseUnixForm(std::string_view line, Fields& f, FindRecord& out, const ListClock& now) {
    if (line.front() == 'd')
        out.attributes = attr::Directory;
    else if (line.front() != '-')
        return false; // links, sockets, devices and the "total" line
    if (!f.Skip(3)) return false;
    const std::optional<std::string_view> size = f.Next();
    if (!size) return false;
    out.size = SizeValue(*size);

    const std::optional<std::string_view> monthField = f.Next();
    if (!monthField) return false;
    const int month = MonthNumber(*monthField);
    if (month == 0) return false;
    const std::optional<std::string_view> dayField = f.Next();
    if (!dayField) return false;
    const int64_t day = DecimalValue(*dayField);
    const std::optional<std::string_view> when = f.Next();
    if (!when) return false;

    int64_t year = 0;
    int hour = 0;
    int minute = 0;
    const size_t colon = when->find(':');
    if (colon != std::string_view::npos) {
        hour = colon > 2 ? 0 : int(DecimalValue(when->substr(0, colon)));
        minute = int(DecimalValue(when->substr(colon + 1, 2)));
        // A time instead of a year: within the last twelve months.
        year = now.year - (month > now.month ? 1 : 0);
    } else {
        year = DecimalValue(*when);
    }
    uint64_t fileTime = 0;
    if (year < 0 || year > 99999 || day < 0 || day > 99 ||
        !CivilToFileTime(int(year), month, int(day), hour, minute, fileTime))
        return false;
    SetTimes(out, fileTime);
    out.name = NameFrom(f.Rest());
    return true;
}

// A server names entries of one folder: a name that is empty, "." or "..", or holds a
// slash or a NUL could make a folder download write outside its target.
bool Accept(FindRecord& out) {
    const QString& n = out.name;
    if (n.isEmpty() || n == QLatin1String(".") || n == QLatin1String("..") ||
        n.contains(QLatin1Char('/')) || n.contains(QChar(0))) {
        out = FindRecord{};
        return false;
    }
    return true;
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
    const int64_t days = int64_t(era) * 146097 + doe - 719468;
    fileTime = FileTimeFromUnix(days * 86400 + hour * 3600 + minute * 60, 0);
    return true;
}

bool ParseListLine(std::string_view systemType, std::string_view line, FindRecord& out,
                   const ListClock& now) {
    out = FindRecord{};
    if (systemType.empty()) return false;
    if (systemType == "pSOSytem") return ParseShortForm(line, out) && Accept(out);

    Fields f(line);
    const std::optional<std::string_view> first = f.Next();
    if (!first || *first == "totals") return false;
    const char c = line.front();
    const bool parsed = systemType.substr(0, 10) == "Windows_NT" && c != 'd' && c != '-' && c != 's'
                            ? ParseDosForm(f, *first, out)
                            : ParseUnixForm(line, f, out, now);
    return parsed && Accept(out);
}

bool ParseListLine(std::string_view systemType, std::string_view line, FindRecord& out) {
    return ParseListLine(systemType, line, out, CurrentListClock());
}

} // namespace velmar::ftp
