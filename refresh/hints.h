// When the publisher would have a feed asked for again, kept per folder in the settings file
// ([Hints]): the feed's ttl, its syndication period and the hours and days it skips, and the
// answer's Cache-Control max-age or Expires. Only the minute timer heeds them: opening the folder
// and the update command are the user's.
#pragma once

struct Refresh;
class Download;

// The most any hint holds a folder back: a day.
constexpr unsigned kLongestHintSeconds = 24u * 3600u;

// Keeps what this refresh learnt: when it ran, and what the answer and the feed (when it was
// read) say of the next.
void KeepHints(Refresh* refresh, const Download& download);

// Whether the hints of the folder hold the timer back at `now`: the shortest wait they ask for
// since its last refresh has not passed, or the hour or the day of `now` (universal time) is one
// the feed skips.
bool HintsHoldBack(const char* folderId, unsigned now);
