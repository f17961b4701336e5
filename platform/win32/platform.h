// The win32 side of the platform layer: the real Windows headers and the few names the
// subsystems share with the POSIX side.
#pragma once

#include <windows.h>

#define QF_CALL __cdecl
#define QF_EXPORT __declspec(dllexport)
// How the module entry is declared: the loader finds it without an export.
#define QF_MODULE_ENTRY WINAPI

// The separator the system puts between the parts of a file path it builds.
#define QF_PATH_SEPARATOR "\\"
