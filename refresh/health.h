// A folder's health: how its refreshes fare, kept in the settings file ([Health]) so that a feed
// that keeps failing is noticed, retried less often, and told in the folder itself.
#pragma once

#include "base/capacities.h"

struct Refresh;

struct FolderHealth {
    unsigned failures = 0;  // refreshes in a row that failed
    unsigned since = 0;     // when the first of them ran, seconds since 1970 (0: none failed)
    bool told = false;      // the folder holds the message that says so
    char outcome[kStatusTextMax + 1] = {};  // how the last refresh went, in words
};

// The folder's health; a folder whose health was never kept, or cannot be read, is well.
FolderHealth ReadFolderHealth(const char* folderId);

// How long the minute timer waits at least after the last start of a folder whose refreshes
// failed `failures` times in a row: an hour, four, twelve, then a day, never longer.
unsigned BackoffSeconds(unsigned failures);

// The message says it when a feed has failed for at least this long and this many times.
constexpr unsigned kTellAfterSeconds = 2u * 24u * 3600u;
constexpr unsigned kTellAfterFailures = 5;

// Keeps how the refresh went: a failure (but "no change") adds to the folder's failures, anything
// else ends them. When the failures reach kTellAfterFailures over kTellAfterSeconds, one message
// in the folder says what fails, since when, what the server said and what the user can do; when
// the feed works again after that, one message says so. A feed gone (410) says so once instead.
void KeepHealth(Refresh* refresh);
