// Header values of an item message: one line each, and in words a mail client of the host's time
// reads. A value that holds a character beyond ASCII is written as RFC 2047 encoded-words in
// UTF-8 ("=?utf-8?B?...?="), folded onto lines of at most kHeaderLineLength characters as
// RFC 5322 allows; a value of ASCII only is written as it is.
#pragma once

#include <cstddef>

#include "base/capacities.h"

// The longest line a folded header gets, its name included.
constexpr size_t kHeaderLineLength = 76;

// `value` on one line: each run of CR, LF and TAB becomes one space (a line break in a title would
// start a bogus header, an empty line would end the header), and blanks at either end go. The
// result is cut between characters to fit `capacity`.
void CleanHeaderValue(const char* value, char* out, size_t capacity);

class TextWriter;

// Writes the header line "NAME:VALUE" and its CR LF, the value cleaned already and encoded when
// it needs to be. False when the line does not fit; then nothing of it is written.
[[nodiscard]] bool AppendHeader(TextWriter* out, const char* name, const char* value);

// Whether `address` is a mail address a header may carry as it is: "local@domain" in ASCII, the
// local part atoms apart by dots, the domain labels of letters, digits and hyphens.
bool IsMailAddress(const char* address);

// Writes the address header "NAME:DISPLAY <ADDRESS>" and its CR LF: the display name (cleaned
// already) as it is when it is words of plain letters, else quoted, or as encoded-words when it
// holds a character beyond ASCII; "NAME:<ADDRESS>" without a display name; with no address, what
// AppendHeader writes of the display name alone. `address` must pass IsMailAddress. False when
// the line does not fit; then nothing of it is written.
[[nodiscard]] bool AppendAddressHeader(TextWriter* out, const char* name, const char* displayName,
                                       const char* address);
