#include "platform/filetime.h"

#include <ctime>
#include <sys/time.h>

namespace platform {
namespace {
constexpr long long kEpochDiff = 11644473600LL;  // seconds from 1601 to 1970
constexpr long long kTicks = 10000000LL;

bool ValidCalendar(int y, int mo, int d, int h, int mi, int s) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59 || s > 59 || y < 1601 || y > 30827) return false;
    int dim = days[mo - 1] + (mo == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0) ? 1 : 0);
    return d <= dim;
}

long long CalendarToUnix(int y, int mo, int d, int h, int mi, int s) {
    struct tm t {};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return (long long)timegm(&t);
}
}  // namespace

long long FileTimeToUnix(const FILETIME& ft) {
    return (long long)(FileTimeToU64(ft) / kTicks) - kEpochDiff;
}

FILETIME UnixToFileTime(long long seconds) {
    return U64ToFileTime(uint64_t((seconds + kEpochDiff) * kTicks));
}

BOOL DosDateTimeToFileTime(WORD date, WORD time, FILETIME* out) {
    int y = 1980 + (date >> 9), mo = (date >> 5) & 15, d = date & 31;
    int h = time >> 11, mi = (time >> 5) & 63, s = (time & 31) * 2;
    if (!out || !ValidCalendar(y, mo, d, h, mi, s)) return 0;
    *out = UnixToFileTime(CalendarToUnix(y, mo, d, h, mi, s));
    return 1;
}

BOOL LocalFileTimeToFileTime(const FILETIME* local, FILETIME* utc) {
    if (!local || !utc) return 0;
    uint64_t v = FileTimeToU64(*local);
    long long secs = (long long)(v / kTicks) - kEpochDiff;
    uint64_t frac = v % kTicks;
    // Local wall-clock fields to UTC through mktime (which honours TZ and daylight time).
    time_t tt = (time_t)secs;
    struct tm fields {};
    gmtime_r(&tt, &fields);
    fields.tm_isdst = -1;
    time_t u = mktime(&fields);
    if (u == (time_t)-1 && secs != -1) {
        *utc = *local;
        return 1;
    }
    *utc = U64ToFileTime(uint64_t(((long long)u + kEpochDiff) * kTicks) + frac);
    return 1;
}

BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
    if (!utc || !local) return 0;
    uint64_t v = FileTimeToU64(*utc);
    time_t secs = (time_t)((long long)(v / kTicks) - kEpochDiff);
    struct tm fields {};
    if (!localtime_r(&secs, &fields)) return 0;
    long long offset = fields.tm_gmtoff;
    *local = U64ToFileTime(uint64_t((long long)v + offset * kTicks));
    return 1;
}

BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st) {
    if (!ft || !st) return 0;
    uint64_t v = FileTimeToU64(*ft);
    if (v >> 63) return 0;
    time_t secs = (time_t)((long long)(v / kTicks) - kEpochDiff);
    struct tm t {};
    if (!gmtime_r(&secs, &t)) return 0;
    st->wYear = WORD(t.tm_year + 1900);
    st->wMonth = WORD(t.tm_mon + 1);
    st->wDayOfWeek = WORD(t.tm_wday);
    st->wDay = WORD(t.tm_mday);
    st->wHour = WORD(t.tm_hour);
    st->wMinute = WORD(t.tm_min);
    st->wSecond = WORD(t.tm_sec);
    st->wMilliseconds = WORD((v % kTicks) / 10000);
    return 1;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft) {
    if (!st || !ft || !ValidCalendar(st->wYear, st->wMonth, st->wDay, st->wHour, st->wMinute, st->wSecond) ||
        st->wMilliseconds > 999)
        return 0;
    long long secs = CalendarToUnix(st->wYear, st->wMonth, st->wDay, st->wHour, st->wMinute, st->wSecond);
    *ft = U64ToFileTime(uint64_t((secs + kEpochDiff) * kTicks + st->wMilliseconds * 10000LL));
    return 1;
}

void GetSystemTimeAsFileTime(FILETIME* ft) {
    struct timeval tv {};
    gettimeofday(&tv, nullptr);
    *ft = U64ToFileTime(uint64_t((tv.tv_sec + kEpochDiff) * kTicks + tv.tv_usec * 10LL));
}

void GetSystemTime(SYSTEMTIME* st) {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    FileTimeToSystemTime(&ft, st);
}

}  // namespace platform
