// Feed dates in mail form: the Date header needs an RFC 822 date, and feeds write dates in three
// shapes. NormalizeFeedDate keeps no state and may run on several workers at once.
#pragma once

#include <cstddef>

#include "base/capacities.h"

// Turns one feed date into a mail date ("Tue, 07 Dec 2004 10:20:30 +0800"). Tried in order:
// - a text that already has the shape of a mail date (an optional three-character day name and a
//   comma, then day, month, year, h:m:s time and a zone of 1 to 5 characters) is copied unchanged;
// - a W3C date-time of exactly 25 characters with a numeric zone ("2004-12-07T10:20:30+08:00") is
//   rewritten, keeping the clock time and the zone the feed wrote;
// - a year-month-day date and time of exactly 19 characters ("2004-12-07 10:20:30") is rewritten
//   and labelled +0000.
// Overflowing fields of the two rewrites carry over as a calendar does (month 13 is January of
// the next year). Returns `out`, or null when the text is in none of the forms, an argument is
// missing or `outSize` is below kFeedDateCapacity; after null, `out` holds nothing of use.
// Texts longer than 255 characters are refused.
char* NormalizeFeedDate(const char* source, char* out, size_t outSize);
