// Feed dates in mail form: the Date header needs an RFC 822 date, and feeds write dates in many
// shapes. NormalizeFeedDate keeps no state and may run on several workers at once.
#pragma once

#include <cstddef>

#include "base/capacities.h"

// Reads one feed date and writes it as a mail date ("Tue, 07 Dec 2004 10:20:30 +0800"), keeping
// the clock time and the zone the feed wrote; the day name is always the date's own. Read:
// - mail dates (RFC 822 and its kin): the day name optional and not trusted, a one- or two-digit
//   day, the month's name (abbreviated or whole), a year of two digits (00-49 are 2000-2049,
//   50-99 are 1950-1999) or four, "h:mm" or "h:mm:ss", and a zone that is numeric ("+0800",
//   "-01:01"), named (UT, GMT, Z, the US zones, a few European ones) or a military letter; no
//   zone is universal time; a parenthesised comment after it is ignored;
// - asctime ("Sun Nov  6 08:49:37 1994"), as universal time;
// - W3C and ISO 8601 dates: "2003", "2003-12", "2003-12-31", each with an optional time after
//   "T" or a blank ("hh:mm", "hh:mm:ss", with or without a fraction, which is dropped) and a
//   zone ("Z", "+hh:mm", "+hhmm", "+hh"); no zone is universal time.
// A field out of its range (month 13, 30 February, hour 25) makes the date unreadable: nothing
// rolls over. Returns `out`, or null when the text cannot be read, an argument is missing or
// `outSize` is below kFeedDateCapacity; after null, `out` holds nothing of use. Texts longer
// than 255 characters are refused.
char* NormalizeFeedDate(const char* source, char* out, size_t outSize);
