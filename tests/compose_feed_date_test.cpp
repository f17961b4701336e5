// Feed dates in mail form: the three forms, their failures, and independence from the local zone.
#include <gtest/gtest.h>

#include <string>

#include "compose/feed_date.h"
#include "tests/compose_support.h"
#include "tests/feed_date_cases.h"

namespace {

void ExpectTable(const char* zone) {
    for (const DateCase& c : kDateCases) {
        char out[kFeedDateCapacity];
        const char* result = NormalizeFeedDate(c.source, out, sizeof out);
        if (c.expected == nullptr) {
            EXPECT_EQ(result, nullptr) << "\"" << c.source << "\" under TZ=" << zone << " gave \""
                                       << (result ? result : "") << "\"";
        } else {
            ASSERT_EQ(result, out) << "\"" << c.source << "\" under TZ=" << zone;
            EXPECT_STREQ(out, c.expected) << "\"" << c.source << "\" under TZ=" << zone;
        }
    }
}

TEST(ComposeFeedDate, FormsAndFailuresWhateverTheLocalZone) {
    // Universal time, a zone in daylight saving time on the summer and gap dates above, a
    // half-hour zone and a southern zone in daylight saving time in December.
    for (const char* zone : {"UTC0", "EST5EDT", "IST-5:30", "NZST-12NZDT"}) {
        ScopedTimeZone tz(zone);
        ExpectTable(zone);
    }
}

TEST(ComposeFeedDate, RefusesMissingArgumentsAndSmallOutputs) {
    char out[kFeedDateCapacity];
    EXPECT_EQ(NormalizeFeedDate(nullptr, out, sizeof out), nullptr);
    EXPECT_EQ(NormalizeFeedDate("2004-12-07 10:20:30", nullptr, sizeof out), nullptr);
    EXPECT_EQ(NormalizeFeedDate("2004-12-07 10:20:30", out, sizeof out - 1), nullptr);
    // Longer than any feed date field.
    std::string longMailDate = "Tue, 07 Dec 2004 10:20:30 +0800" + std::string(300, ' ');
    EXPECT_EQ(NormalizeFeedDate(longMailDate.c_str(), out, sizeof out), nullptr);
}

TEST(ComposeFeedDate, LargerOutputsGetTheSameText) {
    char out[1024];
    ASSERT_NE(NormalizeFeedDate("2004-12-07T10:20:30+05:30", out, sizeof out), nullptr);
    EXPECT_STREQ(out, "Tue, 07 Dec 2004 10:20:30 +0530");
}

}  // namespace
