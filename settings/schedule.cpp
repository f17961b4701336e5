// Placeholder until refresh scheduling lands.
#include "host/pxapi.h"

int QF_CALL PXC_OnOpenFolder(const char*) {
    return 0;
}

int QF_CALL PXC_OnEveryMinute(void) {
    return 0;
}
