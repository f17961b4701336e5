// Stands in for the runtime's zone calls with the re-entrant POSIX conversions and tzset.
#include "platform/time_zone.h"

#include <cstdlib>
#include <mutex>

namespace {

// The C library guards its zone state with a lock of its own, which the thread sanitizer cannot
// see; workers re-read the zone at every item, so they take this lock around the zone calls too.
std::mutex g_timeZoneLock;

}  // namespace

void RefreshTimeZone() {
    std::lock_guard<std::mutex> hold(g_timeZoneLock);
    tzset();
}

bool ToLocalTime(time_t when, struct tm* out) {
    std::lock_guard<std::mutex> hold(g_timeZoneLock);
    return localtime_r(&when, out) != nullptr;
}

bool ToUniversalTime(time_t when, struct tm* out) {
    return gmtime_r(&when, out) != nullptr;
}

void SetTimeZoneVariable(const char* value) {
    if (value != nullptr) {
        setenv("TZ", value, 1);
    } else {
        unsetenv("TZ");
    }
    RefreshTimeZone();
}
