// The module functions the host binding uses: GetModuleHandleA(NULL) (the process's main
// executable), GetProcAddress, GetModuleFileNameA, lstrlenA and lstrcmpA. Win32: the real ones.
// POSIX: dlopen and dladdr (platform/posix/modules.cpp), where GetModuleFileNameA names the file
// that holds the calling code, whatever handle is passed.
#pragma once

#include "platform.h"
