// The two message sinks every subsystem uses: the host's status line and the debug trace.
#pragma once

#include "base/text.h"

// Formats printf-style and shows the result on the host's status line when it has at most 100
// characters; a longer text is dropped without notice. Always returns 0.
int ShowStatus(const char* format, ...) QF_PRINTF(1, 2);

// A debug trace: formats printf-style and hands the text to the platform's debug output, which
// nobody but a debugger (or, on POSIX, a host that asks for it) sees. Always returns 0; removing
// a call changes no behaviour.
int Trace(const char* format, ...) QF_PRINTF(1, 2);
