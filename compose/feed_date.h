// Feed dates in mail form: the Date header needs an RFC 822 date, and feeds write dates in many
// shapes. NormalizeFeedDate keeps no state and may run on several workers at once.
#pragma once

#include <cstddef>

#include "base/capacities.h"

// Reads one feed date as base/dates.h reads dates and writes it as a mail date ("Tue, 07 Dec
// 2004 10:20:30 +0800"), keeping the clock time and the zone the feed wrote; the day name is
// always the date's own. Returns `out`, or null when the text cannot be read, an argument is
// missing or `outSize` is below kFeedDateCapacity; after null, `out` holds nothing of use.
char* NormalizeFeedDate(const char* source, char* out, size_t outSize);
