// The runtime's thread start, _beginthread, from the C runtime's own header.
#pragma once

// platform/win32/process.h (the process facts) shadows the runtime's header of that name on the
// include path, so the runtime's is reached past this folder.
#include_next <process.h>
