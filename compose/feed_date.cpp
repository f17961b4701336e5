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

// The digits of `count` characters at `at` as a number; false when one is no digit.
bool ReadDigits(const char* at, int count, int64_t* value) {
    *value = 0;
    for (int i = 0; i < count; ++i) {
        if (at[i] < '0' || at[i] > '9') {
            return false;
        }
        *value = *value * 10 + (at[i] - '0');
    }
    return true;
}

// The rest of the W3C profile of RFC 3339, beyond the 25-character form: "YYYY-MM-DD", alone
// (midnight, +0000) or with "T" or "t" and "hh:mm:ss", optional fractional seconds (dropped) and
// the zone "Z", "z" (+0000) or a numeric one. The clock time and the zone stay as written.
bool RewriteRfc3339(const char* source, char* out, size_t outSize) {
    Fields f = {0, 0, 0, 0, 0, 0, 0};
    const char* at = source;
    if (!ReadDigits(at, 4, &f.year) || at[4] != '-' || !ReadDigits(at + 5, 2, &f.month) ||
        at[7] != '-' || !ReadDigits(at + 8, 2, &f.day)) {
        return false;
    }
    at += 10;
    char zone[kZoneTextCapacity] = " +0000";
    if (*at != '\0') {
        if ((*at != 'T' && *at != 't') || !ReadDigits(at + 1, 2, &f.hour) || at[3] != ':' ||
            !ReadDigits(at + 4, 2, &f.minute) || at[6] != ':' ||
            !ReadDigits(at + 7, 2, &f.second)) {
            return false;
        }
        at += 9;
        if (*at == '.') {
            const char* digits = ++at;
            while (*at >= '0' && *at <= '9') {
                ++at;
            }
            if (at == digits) {
                return false;
            }
        }
        int64_t zoneHours = 0;
        int64_t zoneMinutes = 0;
        if ((*at == 'Z' || *at == 'z') && at[1] == '\0') {
            // Universal time, as " +0000" already says.
        } else if ((*at == '+' || *at == '-') && ReadDigits(at + 1, 2, &zoneHours) &&
                   at[3] == ':' && ReadDigits(at + 4, 2, &zoneMinutes) && at[6] == '\0') {
            zone[1] = *at;
            zone[2] = at[1];
            zone[3] = at[2];
            zone[4] = at[4];
            zone[5] = at[5];
        } else {
            return false;
        }
    }
    Normalize(&f);
    return FormatFields(f, out, outSize) && AppendText(out, outSize, zone);
}

// A mail date whose day name is written out ("Tuesday, 07 Dec 2004 ..."), with the name
// abbreviated; false for any other text.
bool AbbreviateDayName(const char* source, char* out, size_t outSize) {
    static const char* const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                        "Thursday", "Friday", "Saturday"};
    for (const char* day : kDays) {
        const size_t length = strlen(day);
        size_t same = 0;
        while (same < length && (source[same] | 0x20) == (day[same] | 0x20)) {
            ++same;
        }
        if (same == length && source[length] == ',') {
            char shortened[kFeedDateCapacity];
            return FormatText(shortened, sizeof shortened, "%.3s%s", source, source + length) &&
                   HasMailDateShape(shortened) && CopyText(out, outSize, shortened);
        }
    }
    return false;
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
    if (RewriteW3c(source, out, outSize) || RewriteYearMonthDay(source, out, outSize)) {
        return out;
    }
    // Tried only when the three forms above fail, so that what they read stays as it was.
    return RewriteRfc3339(source, out, outSize) || AbbreviateDayName(source, out, outSize)
               ? out
               : nullptr;
}
