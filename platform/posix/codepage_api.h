// Stands in for the Win32 ANSI code page calls the system makes: GetACP, WideCharToMultiByte
// with CP_ACP, and the runtime's _ismbblead and _setmbcp.
//
// The stand-in's ANSI code page is 1252 (Western European, one byte per character), which is what
// Wine answers under the test runs' locale, so both builds convert the same text to the same bytes.
// A test selects another with SelectAnsiCodePage (936, say, for a double-byte code page). Every
// code page the stand-in knows has at most two bytes per UTF-16 character, so an output limit of
// twice a text's length never cuts a character the code page can represent.
#pragma once

#include "platform.h"

typedef char16_t WCHAR;

#define CP_ACP 0
#define ERROR_INSUFFICIENT_BUFFER 122L

// The ANSI code page in use.
UINT GetACP();

// POSIX only: makes `codePage` the ANSI code page (and the multibyte code page of _ismbblead).
// Returns false, changing nothing, for a code page the stand-in does not know.
bool SelectAnsiCodePage(UINT codePage);

// POSIX only: the ANSI code page's name for iconv.
const char* AnsiCodePageIconvName();

// Converts UTF-16 text to the code page (CP_ACP: the ANSI code page). A length of -1 converts up
// to and with the terminator. With an output size of 0 it returns the size needed. Otherwise it
// writes whole characters while they fit and returns the bytes written, or 0 when the output was
// too small (the characters that fit have been written). Characters the code page cannot hold
// become its default character, "?", one per UTF-16 unit. Code page 1252 keeps U+0081, U+008D,
// U+008F, U+0090 and U+009D as the bytes it leaves unassigned, and writes the Latin letters of
// U+0100 to U+017F that it lacks without their accents, as Windows' best fit does. Windows' other
// best-fit mappings are not imitated: those characters become "?". `defaultChar` and `usedDefault`
// must be null, as the system passes them.
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* text, int length, char* out,
                        int outSize, const char* defaultChar, BOOL* usedDefault);

// Non-zero when `c` is a lead byte of a double-byte character in the multibyte code page.
int _ismbblead(unsigned int c);

// Sets the multibyte code page _ismbblead uses; returns 0, or -1 for an unknown code page.
int _setmbcp(int codePage);
