// The Win32 loader calls come from <windows.h>; only the error text has no counterpart there.
#pragma once

#include "platform.h"

// The plug-in module's file name on this platform.
#define QF_PLUGIN_FILE_NAME "pxQuillfeed.dll"

inline const char* LastLoadErrorText() {
    return "";
}
