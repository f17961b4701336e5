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

// The traces of every element, text and item, for following one refresh closely: compiled into a
// build made with -DQF_DETAILED_TRACES=ON only. Elsewhere they cost nothing, not even their
// arguments: a refresh makes thousands of them, and each costs a formatting and, on Windows, an
// exception raised in the debugger interface.
#if defined(QF_DETAILED_TRACES)
#define QF_TRACE_DETAIL(...) Trace(__VA_ARGS__)
#else
#define QF_TRACE_DETAIL(...) static_cast<void>(0)
#endif
