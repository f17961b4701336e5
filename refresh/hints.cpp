#include "refresh/hints.h"

#include <cstring>

#include "base/dates.h"
#include "base/settings_file.h"
#include "base/status.h"
#include "base/text.h"
#include "fetch/answer_stream.h"
#include "refresh/refresh.h"

namespace {

// What [Hints] keeps of a folder: "refreshed feed answer hours days", the last refresh (seconds
// since 1970), the waits the feed and the answer asked for (seconds), the skipped hours and days
// (as bits).
struct KeptHints {
    unsigned long long refreshed = 0;
    unsigned long long feedSeconds = 0;
    unsigned long long answerSeconds = 0;
    unsigned long long skipHours = 0;
    unsigned long long skipDays = 0;
};

constexpr unsigned long kAllHours = (1ul << 24) - 1;
constexpr unsigned kAllDays = (1u << 7) - 1;

KeptHints ReadKept(const char* folderId) {
    KeptHints kept;
    char value[128];
    if (ReadSetting(kHintsSection, folderId, value, sizeof value) == 0) {
        return kept;
    }
    unsigned long long* fields[] = {&kept.refreshed, &kept.feedSeconds, &kept.answerSeconds,
                                    &kept.skipHours, &kept.skipDays};
    const char* at = value;
    for (unsigned long long* field : fields) {
        for (; IsAsciiDigit(*at); ++at) {
            *field = *field < 0xFFFFFFFFu ? *field * 10 + static_cast<unsigned>(*at - '0') : *field;
        }
        at += *at == ' ' ? 1 : 0;
    }
    return kept;
}

unsigned long long Capped(long long seconds) {
    return seconds <= 0 ? 0 : seconds < kLongestHintSeconds ? seconds : kLongestHintSeconds;
}

// How long the answer says it stays fresh: Cache-Control's max-age, else Expires after the
// answer's Date (or after now, when it gives none).
unsigned long long AnswerSeconds(const AnswerHeader& header, unsigned now) {
    if (header.maxAge >= 0) {
        return Capped(header.maxAge);
    }
    WrittenDate expires;
    if (header.expires[0] == '\0' || !ReadDate(header.expires, &expires)) {
        return 0;
    }
    WrittenDate date;
    const long long from = header.date[0] != '\0' && ReadDate(header.date, &date)
                               ? DateSeconds(date)
                               : static_cast<long long>(now);
    return Capped(DateSeconds(expires) - from);
}

}  // namespace

void KeepHints(Refresh* refresh, const Download& download) {
    const AnswerStream* answer = download.Answer();
    if (answer == nullptr) {
        return;  // no answer: nothing was said, and the timer's back-off has the failure
    }
    const KeptHints before = ReadKept(refresh->folderId);
    KeptHints kept = before;
    kept.refreshed = refresh->now;
    kept.answerSeconds = AnswerSeconds(answer->Fields(), refresh->now);
    // A feed that was read says again what it says; an unchanged one said it before.
    if (refresh->documentWhole) {
        const FeedHints& hints = refresh->hints;
        const long long ttl = hints.ttlMinutes < kLongestHintSeconds / 60
                                  ? hints.ttlMinutes * 60
                                  : static_cast<long long>(kLongestHintSeconds);
        kept.feedSeconds =
            Capped(ttl > hints.updatePeriodSeconds ? ttl : hints.updatePeriodSeconds);
        kept.skipHours = hints.skipHours;
        kept.skipDays = hints.skipDays;
    }
    // A folder that was never told anything keeps no entry.
    if (kept.feedSeconds == 0 && kept.answerSeconds == 0 && kept.skipHours == 0 &&
        kept.skipDays == 0 && before.refreshed == 0) {
        return;
    }
    char value[128];
    if (!FormatText(value, sizeof value, "%llu %llu %llu %llu %llu", kept.refreshed,
                    kept.feedSeconds, kept.answerSeconds, kept.skipHours, kept.skipDays) ||
        !WriteSetting(kHintsSection, refresh->folderId, value)) {
        Trace("cannot keep the hints of %s", refresh->folderId);
    }
}

bool HintsHoldBack(const char* folderId, unsigned now) {
    const KeptHints kept = ReadKept(folderId);
    if (kept.refreshed == 0) {
        return false;
    }
    const unsigned long long wait =
        kept.feedSeconds > kept.answerSeconds ? kept.feedSeconds : kept.answerSeconds;
    // As a distance, so that a clock set back holds nothing for long.
    const unsigned since = now - static_cast<unsigned>(kept.refreshed);
    if (since < wait) {
        return true;
    }
    // Hours and days in universal time, as RSS says; a feed that skips every hour or every day
    // means something else, and is refreshed all the same.
    const unsigned hour = now / 3600 % 24;
    const unsigned day = (now / 86400 + 4) % 7;  // 1970-01-01 was a Thursday
    const bool skipsHour = kept.skipHours != kAllHours && (kept.skipHours >> hour & 1) != 0;
    const bool skipsDay = kept.skipDays != kAllDays && (kept.skipDays >> day & 1) != 0;
    return skipsHour || skipsDay;
}
