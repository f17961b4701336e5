// Loading a module: LoadLibraryA, FreeLibrary and GetLastError, as the stand-in host loads the
// plug-in. As on Windows, loading runs the module's entry with process attach, and a module whose
// entry answers FALSE is not loaded: the load fails with ERROR_DLL_INIT_FAILED (1114). The
// plug-in's file name on the platform is QF_PLUGIN_FILE_NAME. Win32: the real loader. POSIX:
// dlopen (platform/posix/loader.cpp).
#pragma once

#include "platform.h"

// What the platform said when a module could not be opened at all, for a person to read; empty
// where the error code says all (Windows).
const char* LastLoadErrorText();
