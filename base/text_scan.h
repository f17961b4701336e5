// Small re-entrant text readers that the composer uses instead of strtok, atoi and sscanf: they
// keep their position in the caller's variables (workers tokenize at the same time) and never
// overflow on long digit runs.
#pragma once

#include <cstddef>

// Cuts the next piece off a text the way strtok does: separators at the start are skipped, a run
// of separators counts as one, and the separator that ends the piece is overwritten with the
// terminator. `cursor` holds the position between calls; returns null when no piece is left.
char* NextToken(char** cursor, const char* separators);

// The leading decimal number of a text as atoi reads it (white space, an optional sign, digits),
// 0 when there is none; clamped to the range of int.
long long LeadingNumber(const char* text);

// Reads numbers from a text by a pattern the way sscanf does with "%d" conversions: "%d" skips
// white space and reads an optionally signed decimal number (clamped to the range of int); white
// space in the pattern matches any run of white space, also none; any other character must match
// itself. Returns how many numbers were read before the first mismatch. When `starts` is given,
// it receives where each number's sign or first digit is.
int ScanNumbers(const char* text, const char* pattern, long long* numbers, int capacity,
                const char** starts = nullptr);
