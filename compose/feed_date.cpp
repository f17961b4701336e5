#include "compose/feed_date.h"

#include "base/civil_time.h"
#include "base/dates.h"
#include "base/text.h"

char* NormalizeFeedDate(const char* source, char* out, size_t outSize) {
    WrittenDate m;
    if (out == nullptr || outSize < kFeedDateCapacity || !ReadDate(source, &m)) {
        return nullptr;
    }
    const int zone = m.zoneMinutes < 0 ? -m.zoneMinutes : m.zoneMinutes;
    const bool whole =
        FormatText(out, outSize, "%s, %02lld %s %04lld %02lld:%02lld:%02lld %c%02d%02d",
                   DayName(WeekdayFromDays(DaysFromCivil(m.year, m.month, m.day))),
                   static_cast<long long>(m.day), MonthName(static_cast<int>(m.month)),
                   static_cast<long long>(m.year), static_cast<long long>(m.hour),
                   static_cast<long long>(m.minute), static_cast<long long>(m.second),
                   m.zoneMinutes < 0 ? '-' : '+', zone / 60, zone % 60);
    return whole ? out : nullptr;
}
