// The table of feed dates and what NormalizeFeedDate makes of them, shared by the date tests and
// the test that runs them on several workers at once.
#pragma once

struct DateCase {
    const char* source;
    const char* expected;  // null: no result
};

inline const DateCase kDateCases[] = {
    // Mail dates pass unchanged, judged by shape only.
    {"Tue, 07 Dec 2004 10:20:30 +0800", "Tue, 07 Dec 2004 10:20:30 +0800"},
    {"07 Dec 2004 10:20:30 GMT", "07 Dec 2004 10:20:30 GMT"},
    {"Xyz, 07 Foo 2004 10:20:30 UT", "Xyz, 07 Foo 2004 10:20:30 UT"},
    {"Tue, 07 Dec 2004 10:20:30 Z", "Tue, 07 Dec 2004 10:20:30 Z"},
    {"Tue, 7 Dec 2004 1:2:3456 CET", "Tue, 7 Dec 2004 1:2:3456 CET"},
    {"Tue, 07 Dec 2004 10:20:30 CET and more", "Tue, 07 Dec 2004 10:20:30 CET and more"},
    {"Tue,07  Dec   2004 10:20:30 EST", "Tue,07  Dec   2004 10:20:30 EST"},
    {"Tue, 00 Dec 2004 10:20:30 +0800", nullptr},
    {"Tue, xx Dec 2004 10:20:30 +0800", nullptr},
    // A day name written out is read as if abbreviated.
    {"Tuesday, 07 Dec 2004 10:20:30 +0800", "Tue, 07 Dec 2004 10:20:30 +0800"},
    {"wednesday, 08 Dec 2004 10:20:30 GMT", "wed, 08 Dec 2004 10:20:30 GMT"},
    {"Tuesday, 07 Dec 2004 10:20 +0800", nullptr},
    {"Tuesdays, 07 Dec 2004 10:20:30 +0800", nullptr},
    {"Tue, 07 Dec 2004, 10:20:30 +0800", nullptr},
    {"Tue, 07 Dec 2004 10:20:30", nullptr},
    {"Tue, 07 Dec 2004 10:20:30 +08000", nullptr},
    {"Tue, 07 De 2004 10:20:30 +0800", nullptr},
    {"Tue, 07 Dec 04 10:20:30 +0800", nullptr},
    {"Tue, 07 Dec 2004 10:20 +0800", nullptr},
    {"Tue, 07 Dec 2004 10-20-30 +0800", nullptr},
    {"Tue,", nullptr},
    {",,,", nullptr},
    {"", nullptr},
    // W3C date-times of exactly 25 characters keep their clock time and zone.
    {"2004-12-07T10:20:30+08:00", "Tue, 07 Dec 2004 10:20:30 +0800"},
    {"2004-07-01T09:00:00-05:00", "Thu, 01 Jul 2004 09:00:00 -0500"},
    {"2004-12-07T10:20:30+05:30", "Tue, 07 Dec 2004 10:20:30 +0530"},
    {"2004-12-07T10:20:30-03:30", "Tue, 07 Dec 2004 10:20:30 -0330"},
    {"2004-12-07T10:20:30-00:30", "Tue, 07 Dec 2004 10:20:30 -0030"},
    {"2004-12-07T10:20:30+00:00", "Tue, 07 Dec 2004 10:20:30 +0000"},
    // A clock time that does not exist locally in a zone with daylight saving (US, 2004-04-04).
    {"2004-04-04T02:30:00-05:00", "Sun, 04 Apr 2004 02:30:00 -0500"},
    // Carried over as a calendar does.
    {"2004-13-07T10:20:30+08:00", "Fri, 07 Jan 2005 10:20:30 +0800"},
    {"2004-12-31T23:59:60+08:00", "Sat, 01 Jan 2005 00:00:00 +0800"},
    {"2004-00-31T00:00:00+01:00", "Wed, 31 Dec 2003 00:00:00 +0100"},
    // Past the years a date is printed in: fields as read, day name Sunday.
    {"9999-12-31T23:59:60+00:00", "Sun, 31 Dec 9999 23:59:60 +0000"},
    {"9999-13-01T00:00:00+00:00", nullptr},
    // The rest of RFC 3339: a Z zone, fractional seconds, a lower-case t, a date alone.
    {"2004-12-07T10:20:30Z", "Tue, 07 Dec 2004 10:20:30 +0000"},
    {"2004-12-07t10:20:30z", "Tue, 07 Dec 2004 10:20:30 +0000"},
    {"2004-12-07T10:20:30.5+08:00", "Tue, 07 Dec 2004 10:20:30 +0800"},
    {"2004-12-07T10:20:30.123456789-03:30", "Tue, 07 Dec 2004 10:20:30 -0330"},
    {"2004-12-07T10:20:30.25Z", "Tue, 07 Dec 2004 10:20:30 +0000"},
    {"2004-12-07t10:20:30+08:00", "Tue, 07 Dec 2004 10:20:30 +0800"},
    {"2004-12-07", "Tue, 07 Dec 2004 00:00:00 +0000"},
    {"2004-12-31T23:59:60Z", "Sat, 01 Jan 2005 00:00:00 +0000"},
    {"2004-12-07T10:20:30.5+8:00", nullptr},
    {"2004-12-07T10:20:30.+08:00", nullptr},
    {"2004-12-07T10:20Z", nullptr},
    {"2004-12-07T10:20:30", nullptr},
    {"2004-12-07T10:20:30Zx", nullptr},
    {"2004-12-07 ", nullptr},
    {"2004-1-07", nullptr},
    {"2004-12-07T10:20:30+08-00", nullptr},
    // Year-month-day dates are labelled universal time without conversion.
    {"2004-12-07 10:20:30", "Tue, 07 Dec 2004 10:20:30 +0000"},
    {"2004-13-07 10:20:30", "Fri, 07 Jan 2005 10:20:30 +0000"},
    {"2004-02-29 00:00:00", "Sun, 29 Feb 2004 00:00:00 +0000"},
    {"1900-02-29 00:00:00", "Thu, 01 Mar 1900 00:00:00 +0000"},
    {"2004-12-07 10:20:3", nullptr},
    {"99999999999999999999999", nullptr},
};
