// Stands in for the runtime's zone calls with the re-entrant POSIX conversions and tzset.
#include "platform/time_zone.h"

#include <cstdlib>
#include <mutex>
#include <string>

namespace {

// The C library guards its zone state with a lock of its own, which the thread sanitizer cannot
// see; workers re-read the zone at every item, so they take this lock around the zone calls too.
std::mutex g_timeZoneLock;
// The TZ value the zone was last read for.
bool g_zoneRead = false;
bool g_zoneSet = false;
std::string g_zone;

}  // namespace

void RefreshTimeZone() {
    std::lock_guard<std::mutex> hold(g_timeZoneLock);
    // tzset reads the zone file again at every call, and workers call this at every item. The
    // Windows runtime takes a changed zone from TZ; so does this stand-in, and only a change of
    // TZ reads the zone again (a new system zone is seen by the next process).
    const char* zone = getenv("TZ");
    if (g_zoneRead && (zone != nullptr) == g_zoneSet && (zone == nullptr || g_zone == zone)) {
        return;
    }
    tzset();
    g_zoneRead = true;
    g_zoneSet = zone != nullptr;
    g_zone = zone != nullptr ? zone : "";
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
