// Dates as feeds and servers write them, read into their fields: one reader for the dates of
// feed items and those of HTTP answers (Retry-After). It keeps no state and may run on several
// workers at once.
#pragma once

#include <cstdint>

#include "base/capacities.h"

// A date and clock time as written, with the zone it was written in.
struct WrittenDate {
    int64_t year = 0;
    int64_t month = 1;
    int64_t day = 1;
    int64_t hour = 0;
    int64_t minute = 0;
    int64_t second = 0;
    int zoneMinutes = 0;  // east of universal time
};

// Reads one date, white space around it ignored:
// - mail dates (RFC 822 and its kin, which HTTP dates are too): the day name optional and not
//   trusted, a one- or two-digit day, the month's name (abbreviated or whole), a year of two
//   digits (00-49 are 2000-2049, 50-99 are 1950-1999) or four, "h:mm" or "h:mm:ss", and a zone
//   that is numeric ("+0800", "-01:01"), named (UT, GMT, Z, the US zones, a few European ones) or
//   a military letter; no zone is universal time; a parenthesised comment after it is ignored;
// - asctime ("Sun Nov  6 08:49:37 1994"), as universal time;
// - W3C and ISO 8601 dates: "2003", "2003-12", "2003-12-31", each with an optional time after
//   "T" or a blank ("hh:mm", "hh:mm:ss", with or without a fraction, which is dropped) and a
//   zone ("Z", "+hh:mm", "+hhmm", "+hh"); no zone is universal time.
// A field out of its range (month 13, 30 February, hour 25) makes the date unreadable: nothing
// rolls over. False for a text in none of these forms, or of kDateTextCapacity bytes or more.
bool ReadDate(const char* text, WrittenDate* date);

// The moment a date names, in seconds since 1970-01-01 00:00:00 universal time.
int64_t DateSeconds(const WrittenDate& date);
