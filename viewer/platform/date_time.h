// Date and time texts of file times (seconds since 1970) in the user's locale.
#pragma once

#include <windows.h>

#include <cstdint>

// Local time; all fields zero when the time cannot be converted.
void TimeToSystemTime(int64_t seconds, SYSTEMTIME& out);
// "<date>,  <time>" with the long or short date and the 24-hour time.
void FormatFileTime(int64_t seconds, WCHAR (&text)[120], bool longDate);
void FormatFileTimeA(int64_t seconds, char (&text)[120]);
