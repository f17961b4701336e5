// Stands in for the Win32 loader calls the stand-in host makes: LoadLibraryA, FreeLibrary and
// GetLastError. As on Windows, loading a module runs its entry with process attach, and a module
// whose entry answers FALSE is unloaded again and the load fails with ERROR_DLL_INIT_FAILED.
#pragma once

#include "platform.h"

// The plug-in module's file name on this platform.
#define QF_PLUGIN_FILE_NAME "pxQuillfeed.so"

#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_DLL_INIT_FAILED 1114L

HMODULE LoadLibraryA(const char* fileName);
BOOL FreeLibrary(HMODULE module);
DWORD GetLastError();
