// The ten callbacks that do nothing. The other six live with the subsystem whose work they start:
// host/commands.cpp, settings/schedule.cpp and style/style.cpp.
#include "base/pxapi.h"

int QF_CALL PXC_OnStart(void) {
    return 0;
}

int QF_CALL PXC_OnExit(void) {
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
