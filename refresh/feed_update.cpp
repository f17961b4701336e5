#include "refresh/feed_update.h"

#include <new>

#include "base/settings_file.h"
#include "base/status.h"
#include "base/text.h"
#include "refresh/refresh.h"
#include "refresh/refresh_pool.h"

void RunRefreshRequest(RefreshRequest* request, RefreshWorker* worker) {
    std::unique_ptr<Refresh> refresh = MakeRefresh(request->url, request->folderId);
    if (refresh == nullptr) {
        Trace("Fetch %s | Out of memory\n", request->url);
        delete request;
        return;
    }
    refresh->limits = request->limits;
    refresh->readAnswer = request->readAnswer;
    if (request->now != 0) {
        refresh->now = request->now;
    }
    refresh->worker = worker;
    delete request;
    RunRefresh(refresh.get());
}

namespace {

// The refreshes of the plug-in, made at the first. When the module goes, the pool goes with it if
// no worker is left; one that still runs (a host that did not wait for it) keeps the pool, so
// that it touches nothing torn down.
struct PoolHolder {
    RefreshPool* pool;
    ~PoolHolder() {
        if (pool->Workers() == 0) {
            delete pool;
        }
    }
};

RefreshPool& Pool() {
    static PoolHolder holder{new RefreshPool(RunRefreshRequest)};
    return *holder.pool;
}

}  // namespace

int RefreshPoolSize() {
    const int workers = ReadSettingInt(kOptionsSection, kWorkersKey);
    return workers <= 0                    ? kDefaultRefreshWorkers
           : workers < kMostRefreshWorkers ? workers
                                           : kMostRefreshWorkers;
}

int StartFeedUpdate(const char* url, const char* folderId) {
    RefreshRequest* request = new (std::nothrow) RefreshRequest;
    if (request == nullptr) {
        return -1;
    }
    // A cut URL or folder id would fetch another feed or fill another folder.
    if (!CopyText(request->url, sizeof request->url, url) ||
        !CopyText(request->folderId, sizeof request->folderId, folderId)) {
        Trace("Fetch %s | URL or folder id too long\n", request->url);
        delete request;
        return -1;
    }
    char folder[kFolderIdCapacity];
    static_cast<void>(CopyText(folder, sizeof folder, folderId));
    switch (Pool().Submit(request, RefreshPoolSize())) {
        case Queued::kQueued:
            return 0;
        case Queued::kAlreadyThere:
            Trace("Fetch %s | a refresh of it is queued or running\n", folder);
            return -1;
        case Queued::kNoThread:
            break;
    }
    Trace("Fetch %s | no worker could be started\n", folder);
    return -1;
}

bool StopRefreshes(unsigned milliseconds) {
    return Pool().Stop(milliseconds);
}

int RefreshWorkersRunning() {
    return Pool().Workers();
}
