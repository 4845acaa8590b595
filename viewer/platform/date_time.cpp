#include "viewer/platform/date_time.h"

#include <ctime>

void TimeToSystemTime(int64_t seconds, SYSTEMTIME& out) {
    out = SYSTEMTIME{};
    const time_t t = static_cast<time_t>(seconds);
    struct tm local;
    if (!localtime_r(&t, &local)) return;
    out.wYear = static_cast<WORD>(local.tm_year + 1900);
    out.wMonth = static_cast<WORD>(local.tm_mon + 1);
    out.wDayOfWeek = static_cast<WORD>(local.tm_wday);
    out.wDay = static_cast<WORD>(local.tm_mday);
    out.wHour = static_cast<WORD>(local.tm_hour);
    out.wMinute = static_cast<WORD>(local.tm_min);
    out.wSecond = static_cast<WORD>(local.tm_sec);
}

void FormatFileTime(int64_t seconds, WCHAR (&text)[120], bool longDate) {
    SYSTEMTIME time;
    TimeToSystemTime(seconds, time);
    WCHAR date[80] = {};
    WCHAR clock[40] = {};
    GetDateFormatW(LOCALE_USER_DEFAULT, longDate ? DATE_LONGDATE : DATE_SHORTDATE, &time, nullptr,
                   date, 80);
    GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_FORCE24HOURFORMAT, &time, nullptr, clock, 40);
    WCHAR joined[128];
    wsprintfW(joined, L"%s,  %s", date, clock);
    lstrcpynW(text, joined, 120);
}

void FormatFileTimeA(int64_t seconds, char (&text)[120]) {
    SYSTEMTIME time;
    TimeToSystemTime(seconds, time);
    char date[80] = {};
    char clock[40] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 80);
    GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_FORCE24HOURFORMAT, &time, nullptr, clock, 40);
    char joined[128];
    wsprintfA(joined, "%s,  %s", date, clock);
    lstrcpynA(text, joined, 120);
}
