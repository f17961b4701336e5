// Standard output for the stand-in host: text in the ANSI code page, written in the encoding that
// whatever reads it expects. A Windows console gets the characters themselves; output whose
// locale (LC_ALL, LC_CTYPE or LANG, the first one set) names UTF-8, as a Unix terminal's does,
// also under Wine, gets UTF-8; any other gets the ANSI bytes as they are. Only what is printed is
// converted: files keep the bytes the plug-in wrote.
#pragma once

#include "platform.h"

// Writes `text` (in the ANSI code page) and a line end to standard output and flushes it.
void WriteOutputLine(const char* text);

// The same for text in UTF-8 (an item message's body): a UTF-8 locale gets it as it is, a console
// its characters, any other output the ANSI code page's form of it.
void WriteUtf8OutputLine(const char* text);

// Whether the environment's locale names UTF-8 (shared by both sides).
bool OutputLocaleIsUtf8();
