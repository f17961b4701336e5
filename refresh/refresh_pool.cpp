#include "refresh/refresh_pool.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <new>
#include <string>
#include <unordered_set>

#include "base/status.h"
#include "base/text.h"
#include "platform/thread_start.h"

struct RefreshPoolState {
    explicit RefreshPoolState(RefreshJob work) : job(work) {}

    RefreshJob job;
    mutable std::mutex lock;
    std::condition_variable ended;  // a worker ended
    std::deque<RefreshRequest*> waiting;
    // The folders queued or running, in lower case.
    std::unordered_set<std::string> taken;
    int workers = 0;
    bool stopping = false;
};

namespace {

std::string FolderKey(const char* folderId) {
    std::string key(folderId);
    for (char& c : key) {
        c = AsciiLower(c);
    }
    return key;
}

}  // namespace

RefreshPool::RefreshPool(RefreshJob job) : state_(new RefreshPoolState(job)) {}

RefreshPool::~RefreshPool() {
    for (RefreshRequest* request : state_->waiting) {
        delete request;
    }
    delete state_;
}

Queued RefreshPool::Submit(RefreshRequest* request, int workers) {
    std::unique_lock<std::mutex> hold(state_->lock);
    const std::string key = FolderKey(request->folderId);
    if (state_->taken.count(key) != 0) {
        hold.unlock();
        delete request;
        return Queued::kAlreadyThere;
    }
    state_->taken.insert(key);
    state_->waiting.push_back(request);
    if (state_->workers < workers) {
        // Counted before the thread exists, so that it finds itself among the workers.
        ++state_->workers;
        if (!StartThread(Run, this)) {
            --state_->workers;
            Trace("Fetch | no worker thread could be started; %d run", state_->workers);
            if (state_->workers == 0) {
                // Nobody would ever take it.
                state_->waiting.pop_back();
                state_->taken.erase(key);
                hold.unlock();
                delete request;
                return Queued::kNoThread;
            }
        }
    }
    return Queued::kQueued;
}

namespace {

// Runs the refreshes waiting, one after another, until there are none or the pool stops.
void RunWaiting(RefreshPoolState* state, RefreshWorker* worker) {
    for (;;) {
        RefreshRequest* request = nullptr;
        std::string key;
        {
            std::lock_guard<std::mutex> hold(state->lock);
            if (state->waiting.empty() || state->stopping) {
                return;
            }
            request = state->waiting.front();
            state->waiting.pop_front();
            key = FolderKey(request->folderId);
        }
        // The folder is given back only once the job has appended every item, so that the next
        // refresh of it sees them.
        state->job(request, worker);
        std::lock_guard<std::mutex> hold(state->lock);
        state->taken.erase(key);
    }
}

}  // namespace

void RefreshPool::Run(void* argument) {
    RefreshPoolState* state = static_cast<RefreshPool*>(argument)->state_;
    for (;;) {
        // What the worker keeps (the platform's reader) serves all the refreshes it runs, and
        // is given up before the worker counts itself out: once it has, the module may go.
        RefreshWorker worker;
        RunWaiting(state, &worker);
        CloseRefreshWorker(&worker);
        std::lock_guard<std::mutex> hold(state->lock);
        // A refresh queued while the reader was given up found this worker still counted, so
        // no other was started for it: this one takes it.
        if (state->waiting.empty() || state->stopping) {
            --state->workers;
            state->ended.notify_all();
            return;
        }
    }
}

bool RefreshPool::Stop(unsigned milliseconds) {
    std::unique_lock<std::mutex> hold(state_->lock);
    state_->stopping = true;
    for (RefreshRequest* request : state_->waiting) {
        state_->taken.erase(FolderKey(request->folderId));
        delete request;
    }
    state_->waiting.clear();
    const bool ended = state_->ended.wait_for(hold, std::chrono::milliseconds(milliseconds),
                                              [this] { return state_->workers == 0; });
    state_->stopping = !ended;
    return ended;
}

int RefreshPool::Workers() const {
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->workers;
}

size_t RefreshPool::Waiting() const {
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->waiting.size();
}
