// The runtime's time-zone calls, as the composer uses them for the current time text. Every
// conversion fills the caller's broken-down time, so that workers never share the runtime's
// static one.
#pragma once

#include <ctime>

// Reads the time-zone setting (TZ) again, so that later conversions see the zone now in force.
void RefreshTimeZone();

// The local time of `when`; false when it cannot be represented.
bool ToLocalTime(time_t when, struct tm* out);

// The universal time of `when`; false when it cannot be represented.
bool ToUniversalTime(time_t when, struct tm* out);

// For tests: sets the TZ variable (null removes it) and refreshes the zone setting.
void SetTimeZoneVariable(const char* value);
