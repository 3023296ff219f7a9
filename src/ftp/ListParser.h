#pragma once
// Turns one line of an FTP LIST answer into a FindRecord. The form is chosen by the
// server's system type (first word of its SYST answer) and the line's first character:
// Unix long form, the DOS form of "Windows_NT" servers, the short form of "pSOSytem".

#include "platform/FindRecord.h"

#include <string_view>

namespace velmar::ftp {

// The date a Unix line without a year is read against.
struct ListClock {
    int year = 1970;
    int month = 1;
};

// Now, in UTC.
ListClock CurrentListClock();

// True when the line gave an entry; `out` is reset first in any case. An empty system
// type (no 215 to SYST) understands no line. Times are the listing's, taken as UTC.
bool ParseListLine(std::string_view systemType, std::string_view line, FindRecord& out,
                   const ListClock& now);
bool ParseListLine(std::string_view systemType, std::string_view line, FindRecord& out);

// A calendar date and time as a file time; false when it is not a valid date.
bool CivilToFileTime(int year, int month, int day, int hour, int minute, uint64_t& fileTime);

} // namespace velmar::ftp
