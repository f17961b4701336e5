#include "compose/feed_date.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "compose/civil_time.h"
#include "base/text_scan.h"
#include "base/text.h"

namespace {

// The longest source the shape test looks at: the date fields of a feed item hold 255.
constexpr size_t kSourceMax = kFeedDateCapacity - 1;
constexpr size_t kW3cLength = 25;
constexpr size_t kYearMonthDayLength = 19;
constexpr size_t kZoneTextCapacity = 10;

// The years a rewritten date may land in; outside them the fields are printed as read.
constexpr int64_t kFirstYear = 1;
constexpr int64_t kLastYear = 9999;

size_t Length(const char* text) {
    return text ? strlen(text) : 0;
}

// Looks at shape only: no name, zone or range is checked (see the header).
bool HasMailDateShape(const char* source) {
    char copy[kFeedDateCapacity];
    if (!CopyText(copy, sizeof copy, source)) {
        return false;
    }
    char* cursor = copy;
    char* date = copy;
    char* first = NextToken(&cursor, ",");
    if (first != nullptr && strlen(first) == 3) {
        // A three-character first piece is the day name, whatever it holds.
        date = NextToken(&cursor, ",");
        if (date == nullptr) {
            return false;
        }
    }
    // Otherwise the date is the copy up to the comma that ended the first piece, which the
    // tokenizer has replaced by the terminator.

    char* pieces = date;
    const char* day = NextToken(&pieces, " ");
    if (day == nullptr || LeadingNumber(day) == 0) {
        return false;
    }
    const char* month = NextToken(&pieces, " ");
    if (month == nullptr || strlen(month) < 3) {
        return false;
    }
    const char* year = NextToken(&pieces, " ");
    if (year == nullptr || strlen(year) < 4) {
        return false;
    }
    const char* time = NextToken(&pieces, " ");
    long long clock[3];
    if (time == nullptr || strlen(time) < 8 || ScanNumbers(time, "%d:%d:%d", clock, 3) != 3) {
        return false;
    }
    const char* zone = NextToken(&pieces, " ");
    size_t zoneLength = Length(zone);
    return zoneLength >= 1 && zoneLength <= 5;
}

// A broken-down time as the rewrites fill it.
struct Fields {
    int64_t year;   // as written, not since 1900
    int64_t month;  // 1 to 12 once normalised
    int64_t day;
    int64_t hour;
    int64_t minute;
    int64_t second;
    int weekday;  // 0 = Sunday
};

// Carries overflowing fields over as a calendar does and sets the day of the week. The zone is
// never applied: the clock time stays the one the feed wrote. Leaves the fields as they are
// (weekday Sunday) when the result falls outside the years we print.
void Normalize(Fields* f) {
    f->weekday = 0;
    const int64_t monthIndex = f->month - 1;
    const int64_t firstOfMonth =
        DaysFromCivil(f->year + FloorDiv(monthIndex, 12), FloorMod(monthIndex, 12) + 1, 1);
    const int64_t seconds =
        firstOfMonth * 86400 + (f->day - 1) * 86400 + f->hour * 3600 + f->minute * 60 + f->second;
    const int64_t days = FloorDiv(seconds, 86400);
    const int64_t inDay = FloorMod(seconds, 86400);
    int64_t year, month, day;
    CivilFromDays(days, &year, &month, &day);
    if (year < kFirstYear || year > kLastYear) {
        return;
    }
    f->year = year;
    f->month = month;
    f->day = day;
    f->hour = inDay / 3600;
    f->minute = inDay / 60 % 60;
    f->second = inDay % 60;
    f->weekday = WeekdayFromDays(days);
}

// "%a, %d %b %Y %H:%M:%S" in the default locale. A month that has no name (only possible for
// fields left as read) cannot be printed, and the rewrite fails.
bool FormatFields(const Fields& f, char* out, size_t outSize) {
    if (f.month < 1 || f.month > 12) {
        return false;
    }
    return FormatText(out, outSize, "%s, %02lld %s %lld %02lld:%02lld:%02lld", DayName(f.weekday),
                      static_cast<long long>(f.day), MonthName(static_cast<int>(f.month)),
                      static_cast<long long>(f.year), static_cast<long long>(f.hour),
                      static_cast<long long>(f.minute), static_cast<long long>(f.second));
}

bool RewriteW3c(const char* source, char* out, size_t outSize) {
    if (strlen(source) != kW3cLength) {
        return false;
    }
    long long n[8];
    const char* starts[8];
    if (ScanNumbers(source, "%d-%d-%dT%d:%d:%d%d:%d", n, 8, starts) != 8) {
        return false;
    }
    Fields f = {n[0], n[1], n[2], n[3], n[4], n[5], 0};
    Normalize(&f);
    if (!FormatFields(f, out, outSize)) {
        return false;
    }
    // The zone keeps the sign the feed wrote, also for -00:30, and applies it to the minutes:
    // -03:30 is -0330.
    const bool west = *starts[6] == '-';
    const long long hours = n[6] < 0 ? -n[6] : n[6];
    const long long value = (west ? -1 : 1) * (hours * 100 + n[7]);
    char zone[kZoneTextCapacity];
    if (!FormatText(zone, sizeof zone, " %c%04lld", value < 0 ? '-' : '+',
                    value < 0 ? -value : value)) {
        return false;
    }
    if (strlen(out) + strlen(zone) + 1 >= outSize) {
        return false;
    }
    return AppendText(out, outSize, zone);
}

bool RewriteYearMonthDay(const char* source, char* out, size_t outSize) {
    if (strlen(source) != kYearMonthDayLength) {
        return false;
    }
    long long n[6];
    if (ScanNumbers(source, "%d-%d-%d %d:%d:%d", n, 6) != 6) {
        return false;
    }
    Fields f = {n[0], n[1], n[2], n[3], n[4], n[5], 0};
    Normalize(&f);
    if (!FormatFields(f, out, outSize)) {
        return false;
    }
    // Labelled as universal time; the clock time is not converted.
    return AppendText(out, outSize, " +0000");
}

}  // namespace

char* NormalizeFeedDate(const char* source, char* out, size_t outSize) {
    if (source == nullptr || out == nullptr || outSize < kFeedDateCapacity) {
        return nullptr;
    }
    if (strnlen(source, kSourceMax + 1) > kSourceMax) {
        return nullptr;
    }
    if (HasMailDateShape(source)) {
        return CopyText(out, outSize, source) ? out : nullptr;
    }
    if (RewriteW3c(source, out, outSize)) {
        return out;
    }
    return RewriteYearMonthDay(source, out, outSize) ? out : nullptr;
}
