// The POSIX side of the runtime's time calls: the re-entrant conversions and the zone setting.
// Every conversion fills the caller's broken-down time, so workers never share the runtime's
// static one.
#pragma once

#include <cstdlib>
#include <ctime>
#include <mutex>

// The C library guards its zone state with a lock of its own, which the thread sanitizer cannot
// see; workers re-read the zone at every item, so they take this lock around the zone calls too.
inline std::mutex& TimeZoneLock() {
    static std::mutex lock;
    return lock;
}

// Reads the time-zone setting (TZ) again, so that later conversions see the zone now in force.
inline void RefreshTimeZone() {
    std::lock_guard<std::mutex> hold(TimeZoneLock());
    tzset();
}

// The local time of `when`; false when it cannot be represented.
inline bool ToLocalTime(time_t when, struct tm* out) {
    std::lock_guard<std::mutex> hold(TimeZoneLock());
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
    RefreshTimeZone();
}
