// The table of feed dates and what NormalizeFeedDate makes of them, shared by the date tests and
// the test that runs them on several workers at once.
#pragma once

struct DateCase {
    const char* source;
    const char* expected;  // null: no result
};

inline const DateCase kDateCases[] = {
    // Mail dates are read and written back whole, with the date's own day name.
    {"Tue, 07 Dec 2004 10:20:30 +0800", "Tue, 07 Dec 2004 10:20:30 +0800"},
    {"07 Dec 2004 10:20:30 GMT", "Tue, 07 Dec 2004 10:20:30 +0000"},
    {"Tue, 07 Dec 2004 10:20:30 Z", "Tue, 07 Dec 2004 10:20:30 +0000"},
    {"Tue, 7 Dec 2004 1:02:03 UT", "Tue, 07 Dec 2004 01:02:03 +0000"},
    {"Tue,07  Dec   2004 10:20:30 EST", "Tue, 07 Dec 2004 10:20:30 -0500"},
    {"Sun, 06 Jun 2004 08:00:00 PDT", "Sun, 06 Jun 2004 08:00:00 -0700"},
    {"Thu, 01 Jan 2004 19:48:21 CET", "Thu, 01 Jan 2004 19:48:21 +0100"},
    {"Thu, 01 Jan 2004 19:48:21 MET", "Thu, 01 Jan 2004 19:48:21 +0100"},
    {"Thu, 01 Jan 2004 19:48:21 PT", "Thu, 01 Jan 2004 19:48:21 -0800"},
    {"Thu, 01 Jan 2004 19:48:21 -01:01", "Thu, 01 Jan 2004 19:48:21 -0101"},
    {"Thu, 01 Jan 2004 19:48:21 +0000 (UTC)", "Thu, 01 Jan 2004 19:48:21 +0000"},
    // Military letters, as RFC 822 lists them.
    {"Thu, 01 Jan 2004 19:48:21 A", "Thu, 01 Jan 2004 19:48:21 -0100"},
    {"Thu, 01 Jan 2004 19:48:21 M", "Thu, 01 Jan 2004 19:48:21 -1200"},
    {"Thu, 01 Jan 2004 19:48:21 N", "Thu, 01 Jan 2004 19:48:21 +0100"},
    {"Thu, 01 Jan 2004 19:48:21 J", nullptr},
    // Day names missing, wrong or written out; months written out; two-digit years; no seconds;
    // no zone; no time.
    {"Mon, 07 Dec 2004 10:20:30 +0800", "Tue, 07 Dec 2004 10:20:30 +0800"},
    {"Tuesday, 07 December 2004 10:20:30 +0800", "Tue, 07 Dec 2004 10:20:30 +0800"},
    {"wednesday, 08 dec 2004 10:20:30 GMT", "Wed, 08 Dec 2004 10:20:30 +0000"},
    {"Tue, 07 Dec 04 10:20:30 +0800", "Tue, 07 Dec 2004 10:20:30 +0800"},
    {"Thu, 07 Dec 95 10:20:30 GMT", "Thu, 07 Dec 1995 10:20:30 +0000"},
    {"Tue, 07 Dec 2004 10:20 +0800", "Tue, 07 Dec 2004 10:20:00 +0800"},
    {"Tue, 07 Dec 2004 10:20:30", "Tue, 07 Dec 2004 10:20:30 +0000"},
    {"07 Sept 2004", "Tue, 07 Sep 2004 00:00:00 +0000"},
    // asctime, as universal time.
    {"Sun Nov  6 08:49:37 1994", "Sun, 06 Nov 1994 08:49:37 +0000"},
    // Fields out of range, names unknown and words left over make a date unreadable.
    {"Sun, 99 Jun 2009 12:00:00 GMT", nullptr},
    {"Tue, 00 Dec 2004 10:20:30 +0800", nullptr},
    {"Tue, 30 Feb 2004 10:20:30 +0800", nullptr},
    {"Tue, 07 Dec 2004 25:20:30 +0800", nullptr},
    {"Tue, 07 Dec 2004 10:20:30 XYZ", nullptr},
    {"Tue, 07 Dec 2004 10:20:30 CET and more", nullptr},
    {"Xyz, 07 Foo 2004 10:20:30 UT", nullptr},
    {"Tue, 07 De 2004 10:20:30 +0800", nullptr},
    {"Tue, 07 Dec 2004 10-20-30 +0800", nullptr},
    {"Tue, 07 Dec 2004 10:20:30 +08000", nullptr},
    {"Tue, 07 Dec 2004 10:20:30 +2400", nullptr},
    {"Tue, 07 Dec 2004 10:20:30 +0800 (UTC", nullptr},
    {"Tue, xx Dec 2004 10:20:30 +0800", nullptr},
    {"Tue,", nullptr},
    {",,,", nullptr},
    {"", nullptr},
    // W3C and ISO 8601 keep their clock time and zone.
    {"2004-12-07T10:20:30+08:00", "Tue, 07 Dec 2004 10:20:30 +0800"},
    {"2004-07-01T09:00:00-05:00", "Thu, 01 Jul 2004 09:00:00 -0500"},
    {"2004-12-07T10:20:30-03:30", "Tue, 07 Dec 2004 10:20:30 -0330"},
    {"2004-12-07T10:20:30-00:30", "Tue, 07 Dec 2004 10:20:30 -0030"},
    {"2004-12-07T10:20:30+0530", "Tue, 07 Dec 2004 10:20:30 +0530"},
    {"2004-12-07T10:20:30+05", "Tue, 07 Dec 2004 10:20:30 +0500"},
    {"2003-12-31T10:14:55.1234-01:01", "Wed, 31 Dec 2003 10:14:55 -0101"},
    // A clock time that does not exist locally in a zone with daylight saving (US, 2004-04-04).
    {"2004-04-04T02:30:00-05:00", "Sun, 04 Apr 2004 02:30:00 -0500"},
    {"2004-12-07T10:20:30Z", "Tue, 07 Dec 2004 10:20:30 +0000"},
    {"2004-12-07t10:20:30z", "Tue, 07 Dec 2004 10:20:30 +0000"},
    {"2004-12-07T10:20:30.25Z", "Tue, 07 Dec 2004 10:20:30 +0000"},
    {"2004-12-07T10:20Z", "Tue, 07 Dec 2004 10:20:00 +0000"},
    {"2004-12-07T10:20:30", "Tue, 07 Dec 2004 10:20:30 +0000"},
    {"2004-12-07 10:20:30", "Tue, 07 Dec 2004 10:20:30 +0000"},
    {"2004-07-08 23:56:58.0", "Thu, 08 Jul 2004 23:56:58 +0000"},
    {" 2004-12-07T10:20:30Z\n", "Tue, 07 Dec 2004 10:20:30 +0000"},
    {"2004-02-29 00:00:00", "Sun, 29 Feb 2004 00:00:00 +0000"},
    {"2004-12-31T23:59:60Z", "Fri, 31 Dec 2004 23:59:60 +0000"},
    // Partial dates stand for their first day.
    {"2004-12-07", "Tue, 07 Dec 2004 00:00:00 +0000"},
    {"2003-12", "Mon, 01 Dec 2003 00:00:00 +0000"},
    {"2003", "Wed, 01 Jan 2003 00:00:00 +0000"},
    // Out of range is refused, never rolled over.
    {"2003-12-31T25:14:55Z", nullptr},
    {"2004-13-07T10:20:30+08:00", nullptr},
    {"2004-00-31T00:00:00+01:00", nullptr},
    {"1900-02-29 00:00:00", nullptr},
    {"2004-12-07T10:60:00Z", nullptr},
    {"2004-12-07T10:20:30+08:60", nullptr},
    {"2004-12-07T10:20:30.5+8:00", nullptr},
    {"2004-12-07T10:20:30.+08:00", nullptr},
    {"2004-12-07T10:20:30Zx", nullptr},
    {"2004-1-07", nullptr},
    {"2004-12-07T10:20:30+08-00", nullptr},
    {"2004-12-07 10:20:3", nullptr},
    {"0000-01-01", nullptr},
    {"99999999999999999999999", nullptr},
};
