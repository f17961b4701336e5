#include "base/dates.h"

#include <cstring>

#include "base/civil_time.h"
#include "base/text.h"

namespace {

// The years a date is read in.
constexpr int64_t kFirstYear = 1;
constexpr int64_t kLastYear = 9999;
// The farthest a zone may be from universal time.
constexpr int kZoneMinutesMax = 23 * 60 + 59;

// A date and time as read, before its fields are checked.
typedef WrittenDate Moment;

// Exactly `count` digits at `at`.
bool ReadDigits(const char* at, size_t count, int64_t* value) {
    *value = 0;
    for (size_t i = 0; i < count; ++i) {
        if (!IsAsciiDigit(at[i])) {
            return false;
        }
        *value = *value * 10 + (at[i] - '0');
    }
    return true;
}

// Whether `word` (`length` letters) is `name` whole or its first three letters or more, without
// regard to case ("Sep", "Sept" and "September").
bool NamesWord(const char* word, size_t length, const char* name) {
    if (length < 3 || length > strlen(name)) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (AsciiLower(word[i]) != name[i]) {
            return false;
        }
    }
    return true;
}

int MonthOfWord(const char* word, size_t length) {
    static const char* const kMonths[] = {"january",   "february", "march",    "april",
                                          "may",       "june",     "july",     "august",
                                          "september", "october",  "november", "december"};
    for (int i = 0; i < 12; ++i) {
        if (NamesWord(word, length, kMonths[i])) {
            return i + 1;
        }
    }
    return 0;
}

bool IsDayWord(const char* word, size_t length) {
    static const char* const kDays[] = {"sunday",   "monday", "tuesday", "wednesday",
                                        "thursday", "friday", "saturday"};
    for (const char* day : kDays) {
        // Only the usual abbreviation or the whole name: "Tues" is no day of a mail date.
        if ((length == 3 || length == strlen(day)) && NamesWord(word, length, day)) {
            return true;
        }
    }
    return false;
}

// A zone written as a name: RFC 822's, the ones US and European feeds write beside them, and
// RFC 822's military letters (A to M west of universal time, except J; N to Y east; Z itself).
bool ReadNamedZone(const char* word, size_t length, int* minutes) {
    static const struct {
        const char* name;
        int hours;
    } kZones[] = {{"ut", 0},   {"utc", 0},  {"gmt", 0},  {"z", 0},    {"est", -5}, {"edt", -4},
                  {"cst", -6}, {"cdt", -5}, {"mst", -7}, {"mdt", -6}, {"pst", -8}, {"pdt", -7},
                  {"ast", -4}, {"adt", -3}, {"et", -5},  {"ct", -6},  {"mt", -7},  {"pt", -8},
                  {"at", -4},  {"wet", 0},  {"west", 1}, {"cet", 1},  {"cest", 2}, {"met", 1},
                  {"mest", 2}, {"eet", 2},  {"eest", 3}};
    for (const auto& zone : kZones) {
        if (strlen(zone.name) != length) {
            continue;
        }
        bool same = true;
        for (size_t i = 0; i < length && same; ++i) {
            same = AsciiLower(word[i]) == zone.name[i];
        }
        if (same) {
            *minutes = zone.hours * 60;
            return true;
        }
    }
    const char letter = length == 1 ? AsciiLower(word[0]) : '\0';
    if (letter >= 'a' && letter <= 'i') {
        *minutes = -(letter - 'a' + 1) * 60;
    } else if (letter >= 'k' && letter <= 'm') {
        *minutes = -(letter - 'k' + 10) * 60;
    } else if (letter >= 'n' && letter <= 'y') {
        *minutes = (letter - 'n' + 1) * 60;
    } else {
        return false;
    }
    return true;
}

// A numeric zone, the whole of the `length` characters at `at`: a sign and "hh", "hhmm" or
// "hh:mm".
bool ReadNumericZone(const char* at, size_t length, int* minutes) {
    if (length < 3 || (at[0] != '+' && at[0] != '-')) {
        return false;
    }
    int64_t hours = 0;
    int64_t extra = 0;
    const bool read =
        (length == 3 && ReadDigits(at + 1, 2, &hours)) ||
        (length == 5 && ReadDigits(at + 1, 2, &hours) && ReadDigits(at + 3, 2, &extra)) ||
        (length == 6 && ReadDigits(at + 1, 2, &hours) && at[3] == ':' &&
         ReadDigits(at + 4, 2, &extra));
    if (!read || extra > 59) {
        return false;
    }
    const int magnitude = static_cast<int>(hours * 60 + extra);
    *minutes = at[0] == '-' ? -magnitude : magnitude;
    return true;
}

// A clock time at `*at`: "h:mm" or "hh:mm", then optionally ":ss" and a fraction, which is
// dropped. Moves `*at` past it.
bool ReadClock(const char** at, Moment* m) {
    const char* p = *at;
    const size_t hourDigits = IsAsciiDigit(p[1]) ? 2 : 1;
    if (!ReadDigits(p, hourDigits, &m->hour) || p[hourDigits] != ':' ||
        !ReadDigits(p + hourDigits + 1, 2, &m->minute)) {
        return false;
    }
    p += hourDigits + 3;
    m->second = 0;
    if (*p == ':') {
        if (!ReadDigits(p + 1, 2, &m->second)) {
            return false;
        }
        p += 3;
        if ((*p == '.' || *p == ',') && IsAsciiDigit(p[1])) {
            ++p;
            while (IsAsciiDigit(*p)) {
                ++p;
            }
        }
    }
    *at = p;
    return true;
}

// W3C and ISO 8601: "yyyy", "yyyy-mm", "yyyy-mm-dd", the last with an optional time and zone.
bool ReadIsoDate(const char* text, Moment* m) {
    const char* at = text;
    if (!ReadDigits(at, 4, &m->year)) {
        return false;
    }
    at += 4;
    if (*at == '\0') {
        return true;
    }
    if (*at != '-' || !ReadDigits(at + 1, 2, &m->month)) {
        return false;
    }
    at += 3;
    if (*at == '\0') {
        return true;
    }
    if (*at != '-' || !ReadDigits(at + 1, 2, &m->day)) {
        return false;
    }
    at += 3;
    if (*at == '\0') {
        return true;
    }
    if (*at != 'T' && *at != 't' && *at != ' ') {
        return false;
    }
    ++at;
    if (!IsAsciiDigit(at[0]) || !IsAsciiDigit(at[1]) || !ReadClock(&at, m)) {
        return false;
    }
    if (*at == '\0') {
        return true;
    }
    if ((*at == 'Z' || *at == 'z') && at[1] == '\0') {
        return true;
    }
    return ReadNumericZone(at, strlen(at), &m->zoneMinutes);
}

// Mail dates and asctime: words parted by blanks and commas, each read by what it looks like and
// what was read before it.
bool ReadMailDate(const char* text, Moment* m) {
    bool haveDay = false;
    bool haveMonth = false;
    bool haveYear = false;
    bool haveTime = false;
    bool haveZone = false;
    bool first = true;
    for (const char* at = text;;) {
        while (*at == ' ' || *at == '\t' || *at == ',') {
            ++at;
        }
        if (*at == '\0') {
            break;
        }
        if (*at == '(') {
            // A comment after the zone ("+0000 (UTC)") says nothing more; it must close.
            const size_t rest = strlen(at);
            if (!haveZone || at[rest - 1] != ')') {
                return false;
            }
            break;
        }
        const char* word = at;
        while (*at != '\0' && *at != ' ' && *at != '\t' && *at != ',') {
            ++at;
        }
        const size_t length = static_cast<size_t>(at - word);
        size_t letters = 0;
        size_t digits = 0;
        while (letters < length && IsAsciiLetter(word[letters])) {
            ++letters;
        }
        while (digits < length && IsAsciiDigit(word[digits])) {
            ++digits;
        }
        int month = 0;
        if (letters == length && !haveTime && !haveMonth &&
            (month = MonthOfWord(word, length)) != 0) {
            m->month = month;
            haveMonth = true;
        } else if (letters == length && first && IsDayWord(word, length)) {
            // The day name says nothing the date does not; a wrong one is not believed.
        } else if (letters == length && haveTime && !haveZone &&
                   ReadNamedZone(word, length, &m->zoneMinutes)) {
            haveZone = true;
        } else if (digits == length && digits <= 2 && !haveDay && !haveYear) {
            ReadDigits(word, digits, &m->day);
            haveDay = true;
        } else if (digits == length && (digits == 2 || digits == 4) && haveDay && haveMonth &&
                   !haveYear) {
            ReadDigits(word, digits, &m->year);
            if (digits == 2) {
                m->year += m->year < 50 ? 2000 : 1900;
            }
            haveYear = true;
        } else if (digits > 0 && digits <= 2 && word[digits] == ':' && !haveTime) {
            const char* clock = word;
            if (!ReadClock(&clock, m) || clock != at) {
                return false;
            }
            haveTime = true;
        } else if ((word[0] == '+' || word[0] == '-') && haveTime && !haveZone &&
                   ReadNumericZone(word, length, &m->zoneMinutes)) {
            haveZone = true;
        } else {
            return false;
        }
        first = false;
    }
    return haveDay && haveMonth && haveYear;
}

int64_t DaysInMonth(int64_t year, int64_t month) {
    return DaysFromCivil(year + month / 12, month % 12 + 1, 1) - DaysFromCivil(year, month, 1);
}

// Whether every field is one a calendar and a clock have; a second of 60 is a leap second.
bool InRange(const Moment& m) {
    return m.year >= kFirstYear && m.year <= kLastYear && m.month >= 1 && m.month <= 12 &&
           m.day >= 1 && m.day <= DaysInMonth(m.year, m.month) && m.hour <= 23 && m.minute <= 59 &&
           m.second <= 60 && m.zoneMinutes >= -kZoneMinutesMax && m.zoneMinutes <= kZoneMinutesMax;
}

}  // namespace

bool ReadDate(const char* source, WrittenDate* date) {
    if (source == nullptr || strnlen(source, kDateTextCapacity) >= kDateTextCapacity) {
        return false;
    }
    // Feeds often wrap a date in the white space of their markup.
    char text[kDateTextCapacity];
    const char* start = source + strspn(source, " \t\r\n");
    size_t length = strlen(start);
    while (length > 0 && strchr(" \t\r\n", start[length - 1]) != nullptr) {
        --length;
    }
    memcpy(text, start, length);
    text[length] = '\0';

    Moment iso;
    Moment mail;
    if (ReadIsoDate(text, &iso) && InRange(iso)) {
        *date = iso;
        return true;
    }
    if (ReadMailDate(text, &mail) && InRange(mail)) {
        *date = mail;
        return true;
    }
    return false;
}

int64_t DateSeconds(const WrittenDate& date) {
    return CivilSeconds(date.year, date.month, date.day, date.hour, date.minute, date.second) -
           static_cast<int64_t>(date.zoneMinutes) * 60;
}
