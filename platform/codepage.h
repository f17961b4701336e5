// The ANSI code page: GetACP, WideCharToMultiByte with CP_ACP, and the runtime's _ismbblead and
// _setmbcp. Feed text arrives as UTF-16 and is stored in the ANSI code page; _ismbblead tells
// where a double-byte character begins.
//
// What the system relies on: characters the code page cannot represent become its default
// character (or, as Windows does, a near character of its best-fit table), an output that is too
// small gets whole characters only and the answer 0, and a code page never needs more than two
// bytes for one UTF-16 character. Win32: the real functions. POSIX: platform/posix/codepage.cpp,
// which also lets a test choose another code page (SelectAnsiCodePage).
#pragma once

#include "platform.h"
