// NormalizeFeedDate on arbitrary text: never reads or writes out of bounds, always terminates
// its result, gives the same answer for the same text whatever the output's size, and every
// answer is a whole mail date whose fields a calendar has and whose day name is its own.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/civil_time.h"
#include "compose/feed_date.h"

namespace {

int64_t CivilFromDaysMonth(int64_t days) {
    int64_t year, month, day;
    CivilFromDays(days, &year, &month, &day);
    return month;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    char out[kFeedDateCapacity];
    memset(out, 'Z', sizeof out);
    const char* result = NormalizeFeedDate(text.c_str(), out, sizeof out);
    if (result == nullptr) {
        return 0;
    }
    if (result != out || memchr(out, '\0', sizeof out) == nullptr) {
        abort();
    }
    char larger[2 * kFeedDateCapacity];
    const char* again = NormalizeFeedDate(text.c_str(), larger, sizeof larger);
    if (again == nullptr || strcmp(out, larger) != 0) {
        abort();
    }
    char day[4];
    char month[4];
    int date = 0, year = 0, hour = 0, minute = 0, second = 0, zone = 0, used = 0;
    char sign = 0;
    if (sscanf(out, "%3[A-Za-z], %2d %3s %4d %2d:%2d:%2d %c%4d%n", day, &date, month, &year, &hour,
               &minute, &second, &sign, &zone, &used) != 9 ||
        out[used] != '\0' || strlen(out) != 31) {
        abort();
    }
    int monthNumber = 0;
    while (monthNumber < 12 && strcmp(MonthName(monthNumber + 1), month) != 0) {
        ++monthNumber;
    }
    ++monthNumber;
    const int64_t days = DaysFromCivil(year, monthNumber, date);
    if (monthNumber > 12 || year < 1 || date < 1 ||
        DaysFromCivil(year, monthNumber, 1) + date - 1 != days ||
        CivilFromDaysMonth(days) != monthNumber || hour > 23 || minute > 59 || second > 60 ||
        (sign != '+' && sign != '-') || zone % 100 > 59 ||
        strcmp(day, DayName(WeekdayFromDays(days))) != 0) {
        abort();
    }
    return 0;
}
