// PXC_OnExit, and the nine callbacks that do nothing. The other six live with the subsystem whose
// work they start: host/commands.cpp, settings/schedule.cpp and style/style.cpp.
#include "base/pxapi.h"
#include "base/status.h"
#include "fetch/fetch.h"
#include "refresh/feed_update.h"

int QF_CALL PXC_OnStart(void) {
    return 0;
}

int QF_CALL PXC_OnExit(void) {
    // The host shuts down: the refreshes that wait are dropped (their folders are due again at
    // the next start), and the running ones end by their deadline at most; a host that unloaded
    // the module under a running worker would crash.
    if (!StopRefreshes(kDefaultFetchDeadlineMs + 5000)) {
        Trace("refresh workers still running at exit");
    }
    return 0;
}

int QF_CALL PXC_OnOpenCompose(HWND, int) {
    return 0;
}

int QF_CALL PXC_OnOutgoing(HWND, int) {
    return 0;
}

int QF_CALL PXC_OnKeyDispatch(HWND, int, int) {
    return 0;
}

int QF_CALL PXC_OnRetrieve(const char*, const char*) {
    return 0;
}

int QF_CALL PXC_OnSend(const char*) {
    return 0;
}

int QF_CALL PXC_OnFinishRetrieve(const char*) {
    return 0;
}

int QF_CALL PXC_OnDragDrop(HWND, const char*, int, int) {
    return 0;
}

int QF_CALL PXC_OnBeforeFilter(const char*, const char*, int) {
    return 0;
}
