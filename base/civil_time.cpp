#include "base/civil_time.h"

int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) {
        --q;
    }
    return q;
}

int64_t FloorMod(int64_t a, int64_t b) {
    return a - FloorDiv(a, b) * b;
}

// Eras of 400 years repeat exactly; counting years from March puts the leap day last.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = FloorDiv(year, 400);
    const int64_t yearOfEra = year - era * 400;
    const int64_t monthFromMarch = month > 2 ? month - 3 : month + 9;
    const int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int64_t* year, int64_t* month, int64_t* day) {
    days += 719468;
    const int64_t era = FloorDiv(days, 146097);
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    *day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
    *month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
    *year = yearOfEra + era * 400 + (*month <= 2 ? 1 : 0);
}

int WeekdayFromDays(int64_t days) {
    // 1970-01-01 was a Thursday.
    return static_cast<int>(FloorMod(days + 4, 7));
}

int64_t CivilSeconds(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                     int64_t second) {
    return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

const char* DayName(int weekday) {
    static const char* const kNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    return kNames[FloorMod(weekday, 7)];
}

const char* MonthName(int month) {
    static const char* const kNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return kNames[FloorMod(month - 1, 12)];
}
