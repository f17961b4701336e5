// Refresh scheduling: when a feed folder is refreshed by opening it (PXC_OnOpenFolder) and by the
// host's minute timer (PXC_OnEveryMinute), and the clean-up of folders that no longer exist.
//
// The scheduling state is in the settings file: each folder's "LastUpdateTime", what its server
// said of it ([Gone], [HostHolds]), how its refreshes fare ([Health]: the timer backs off a
// failing folder) and when its publisher would have it asked again ([Hints]); nothing stays in
// memory between calls. Both callbacks
// run on the host's thread and return without waiting for a download. The callbacks themselves are
// declared with the others in base/pxapi.h.
#pragma once

// The clock the triggers read: seconds since 1 January 1970, UTC, cut to unsigned 32 bits.
typedef unsigned (*ScheduleClock)(void);
// The runtime clock, which the product uses.
unsigned RuntimeClock(void);

// Starts one refresh of a folder, with the signature and result of StartFeedUpdate
// (refresh/feed_update.h).
typedef int (*RefreshStart)(const char* url, const char* folderId);

// The two seams of the triggers: the clock and the refresh start. They default to RuntimeClock
// and StartFeedUpdate; tests replace them while no callback runs, and put them back afterwards.
extern ScheduleClock g_scheduleClock;
extern RefreshStart g_refreshStart;

// Whether a refresh is due after `elapsed` seconds (unsigned, so a last start in the future wraps
// to a large value) with an interval of `minutes`, already raised to its minimum. The click
// trigger wants strictly more than the interval, the timer at least the interval.
bool IsClickRefreshDue(unsigned elapsed, int minutes);
bool IsAutoRefreshDue(unsigned elapsed, int minutes);
