// The win32 side of the runtime's time calls: the secure conversions of the C runtime, which fill
// the caller's broken-down time, and _tzset.
#pragma once

#include <cstdlib>
#include <ctime>

// Reads the time-zone setting (TZ) again, so that later conversions see the zone now in force.
inline void RefreshTimeZone() {
    _tzset();
}

// The local time of `when`; false when it cannot be represented.
inline bool ToLocalTime(time_t when, struct tm* out) {
    return localtime_s(out, &when) == 0;
}

// The universal time of `when`; false when it cannot be represented.
inline bool ToUniversalTime(time_t when, struct tm* out) {
    return gmtime_s(out, &when) == 0;
}

// For tests: sets the TZ variable (null removes it) and refreshes the zone setting.
inline void SetTimeZoneVariable(const char* value) {
    _putenv_s("TZ", value != nullptr ? value : "");
    _tzset();
}
