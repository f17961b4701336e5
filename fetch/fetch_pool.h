// A bounded pool of worker threads and the queue of refreshes that wait for one. A profile of
// thousands of feed folders all due at once is refreshed a few folders at a time, in the order
// they became due, and none is turned away for want of a worker.
#pragma once

#include <cstddef>

struct FetchRequest;

// What a worker does with one request: runs it and releases it.
typedef void (*FetchJob)(FetchRequest* request);

// How a request fared in Submit.
enum class Queued {
    kQueued,        // it waits for a worker, or has one
    kAlreadyThere,  // its folder is queued or running already: the request was released
    kNoThread,      // no worker runs and none could be started: the request was released
};

struct FetchPoolState;

class FetchPool {
public:
    explicit FetchPool(FetchJob job);
    // Waits for nothing: a pool is made once and kept (see the production pool in fetch.cpp);
    // one that goes must have been stopped first.
    ~FetchPool();
    FetchPool(const FetchPool&) = delete;
    FetchPool& operator=(const FetchPool&) = delete;

    // Queues a request allocated with new, unless its folder (compared without regard to ASCII
    // case) is queued or running; starts a worker while fewer than `workers` run. A worker runs
    // requests from the queue's front until it is empty, then ends: the threads of an idle pool
    // have all ended, and a host that waits for the plug-in's threads before unloading it waits
    // for nothing more than the work it asked for.
    Queued Submit(FetchRequest* request, int workers);

    // Drops the waiting requests and waits until the running ones end, at most `milliseconds`.
    // True when no worker is left; the pool takes requests again afterwards.
    bool Stop(unsigned milliseconds);

    // Workers alive, and requests waiting for one.
    int Workers() const;
    size_t Waiting() const;

private:
    static void Run(void* pool);
    FetchPoolState* state_;
};
