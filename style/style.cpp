// Placeholder until the stylesheet substitution lands.
#include "host/pxapi.h"

int QF_CALL PXC_OnOpenMail(const char*) {
    return 0;
}
