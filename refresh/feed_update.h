// The refreshes of the plug-in: what the triggers start, queued for a bounded pool of workers.
#pragma once

// The refresh workers: kDefaultRefreshWorkers unless the settings file's [Options] section says
// otherwise ("Workers=4"), at most kMostRefreshWorkers. Peers fetch a few feeds at a time too:
// more at once would gain little and cost the host's address space.
constexpr int kDefaultRefreshWorkers = 8;
constexpr int kMostRefreshWorkers = 64;
constexpr char kWorkersKey[] = "Workers";
int RefreshPoolSize();

// Queues a refresh that downloads `url` and turns its items into messages of `folderId`; both
// texts are copied, and it returns at once: 0 when the refresh is queued, -1 when not. The
// refresh runs as soon as one of the RefreshPoolSize() workers is free, after the ones queued
// before it; nothing is turned away for want of a worker. One refresh of a folder is queued or
// runs at a time: another for the same folder (its id compared without regard to ASCII case)
// answers -1, since two at once would append the same items twice.
int StartFeedUpdate(const char* url, const char* folderId);

// Drops the refreshes waiting for a worker and waits for the running ones to end, at most
// `milliseconds` (a refresh ends by its deadline at most). True when no worker is left. The
// plug-in calls it as the host shuts down.
bool StopRefreshes(unsigned milliseconds);

struct RefreshRequest;
struct RefreshWorker;

// What the plug-in's pool does with each request a worker takes: runs its refresh with what the
// worker keeps, and releases it. A pool of the tests' own runs the same.
void RunRefreshRequest(RefreshRequest* request, RefreshWorker* worker);

// How many of the plug-in's refresh workers run now: what tests wait on, since nothing else
// tells when a refresh is done.
int RefreshWorkersRunning();
