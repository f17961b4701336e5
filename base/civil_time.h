// Calendar arithmetic on the proleptic Gregorian calendar without any time zone: the date reader
// turns dates into moments with it, and the composer writes mail dates and measures the local
// zone's offset with it, so that none of them depends on the runtime's zone state or on mktime's
// daylight saving guesses.
#pragma once

#include <cstdint>

// The days from 1970-01-01 to the given date; month 1 to 12, any year.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day);

// The date of a day count from 1970-01-01.
void CivilFromDays(int64_t days, int64_t* year, int64_t* month, int64_t* day);

// The day of the week of a day count from 1970-01-01, 0 = Sunday.
int WeekdayFromDays(int64_t days);

// Seconds since 1970-01-01 00:00:00 of a wall-clock time read as if it were universal time.
int64_t CivilSeconds(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                     int64_t second);

// Floor division and the matching non-negative remainder.
int64_t FloorDiv(int64_t a, int64_t b);
int64_t FloorMod(int64_t a, int64_t b);

// English three-letter names, as the default locale prints %a and %b: weekday 0 = Sunday,
// month 1 = January.
const char* DayName(int weekday);
const char* MonthName(int month);
