// The runtime's zone calls on Windows: the secure conversions of the C runtime, which fill the
// caller's broken-down time, and _tzset.
#include "platform/time_zone.h"

#include <cstdlib>

void RefreshTimeZone() {
    _tzset();
}

bool ToLocalTime(time_t when, struct tm* out) {
    return localtime_s(out, &when) == 0;
}

bool ToUniversalTime(time_t when, struct tm* out) {
    return gmtime_s(out, &when) == 0;
}

void SetTimeZoneVariable(const char* value) {
    _putenv_s("TZ", value != nullptr ? value : "");
    _tzset();
}
