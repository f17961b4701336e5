// The menu, its two commands, the plug-in information and the About box.
#include <cstring>

#include "host/module.h"
#include "host/pxapi.h"

namespace {

const char kPlugInName[] = "Pellix Quillfeed plug-in";
const char kPlugInVendor[] = "The Quillfeed developers";
const char kPlugInDescription[] = "Enables Pellix to use RSS with Styles.";

}  // namespace

int QF_CALL PXC_OnMenuInit(HWND, HMENU, int) {
    return 0;
}

int QF_CALL PXC_OnPlugInSetup(HWND) {
    return 1;
}

int QF_CALL PXC_OnPlugInInfo(PlugInInfo* info) {
    // Each text fits its 80-byte field with its terminator; the host's record may hold anything.
    static_assert(sizeof kPlugInName <= kPlugInInfoFieldSize, "name fits");
    static_assert(sizeof kPlugInVendor <= kPlugInInfoFieldSize, "vendor fits");
    static_assert(sizeof kPlugInDescription <= kPlugInInfoFieldSize, "description fits");
    memcpy(info->name, kPlugInName, sizeof kPlugInName);
    memcpy(info->vendor, kPlugInVendor, sizeof kPlugInVendor);
    memcpy(info->version, PlugInVersion, sizeof PlugInVersion);
    memcpy(info->description, kPlugInDescription, sizeof kPlugInDescription);
    return 0;
}
