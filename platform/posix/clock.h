// The POSIX side of the runtime's time calls: the re-entrant conversions and the zone setting.
// Every conversion fills the caller's broken-down time, so workers never share the runtime's
// static one.
#pragma once

#include <cstdlib>
#include <ctime>

// Reads the time-zone setting (TZ) again, so that later conversions see the zone now in force.
inline void RefreshTimeZone() {
    tzset();
}

// The local time of `when`; false when it cannot be represented.
inline bool ToLocalTime(time_t when, struct tm* out) {
    return localtime_r(&when, out) != nullptr;
}

// The universal time of `when`; false when it cannot be represented.
inline bool ToUniversalTime(time_t when, struct tm* out) {
    return gmtime_r(&when, out) != nullptr;
}

// For tests: sets the TZ variable (null removes it) and refreshes the zone setting.
inline void SetTimeZoneVariable(const char* value) {
    if (value != nullptr) {
        setenv("TZ", value, 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}
