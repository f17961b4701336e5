// A bounded pool of worker threads and the queue of refreshes that wait for one. A profile of
// thousands of feed folders all due at once is refreshed a few folders at a time, in the order
// they became due, and none is turned away for want of a worker. The pool knows a request only
// by its folder; what a refresh does is its job's.
#pragma once

#include <cstddef>

#include "base/capacities.h"
#include "fetch/fetch.h"
#include "refresh/refresh.h"

// One refresh waiting for a worker: the folder's address and id, and how it is to run.
struct RefreshRequest {
    char url[kUrlCapacity];
    char folderId[kFolderIdCapacity];
    FetchLimits limits;
    AnswerReader readAnswer = nullptr;  // null: the feed reader (see Refresh)
    unsigned now = 0;                   // when it runs, seconds since 1970; 0: the clock's
};

// What a worker does with one request: runs it with what the worker keeps for all its
// refreshes, and releases it.
typedef void (*RefreshJob)(RefreshRequest* request, RefreshWorker* worker);

// How a request fared in Submit.
enum class Queued {
    kQueued,        // it waits for a worker, or has one
    kAlreadyThere,  // its folder is queued or running already: the request was released
    kNoThread,      // no worker runs and none could be started: the request was released
};

struct RefreshPoolState;

class RefreshPool {
public:
    explicit RefreshPool(RefreshJob job);
    // Waits for nothing: a pool is made once and kept (see the plug-in's pool in
    // refresh/feed_update.cpp); one that goes must have been stopped first.
    ~RefreshPool();
    RefreshPool(const RefreshPool&) = delete;
    RefreshPool& operator=(const RefreshPool&) = delete;

    // Queues a request allocated with new, unless its folder (compared without regard to ASCII
    // case) is queued or running; starts a worker while fewer than `workers` run. A worker runs
    // requests from the queue's front until it is empty, then ends: the threads of an idle pool
    // have all ended, and a host that waits for the plug-in's threads before unloading it waits
    // for nothing more than the work it asked for.
    Queued Submit(RefreshRequest* request, int workers);

    // Drops the waiting requests and waits until the running ones end, at most `milliseconds`.
    // True when no worker is left; the pool takes requests again afterwards.
    bool Stop(unsigned milliseconds);

    // Workers alive, and requests waiting for one.
    int Workers() const;
    size_t Waiting() const;

private:
    static void Run(void* pool);
    RefreshPoolState* state_;
};
