// Time conversions between FILETIME, DOS date/time, calendar fields and local time,
// over the C library (timegm, localtime_r), honouring TZ.
#pragma once
#include "platform/win_types.h"

namespace platform {

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

// DOS date and time fields to a FILETIME in the same (local) frame; 0 for an invalid date.
BOOL DosDateTimeToFileTime(WORD date, WORD time, FILETIME* out);
BOOL LocalFileTimeToFileTime(const FILETIME* local, FILETIME* utc);
BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local);
BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st);
BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft);
void GetSystemTime(SYSTEMTIME* st);
void GetSystemTimeAsFileTime(FILETIME* ft);

// Seconds since 1970 (UTC) and FILETIME.
long long FileTimeToUnix(const FILETIME& ft);
FILETIME UnixToFileTime(long long seconds);

}  // namespace platform
