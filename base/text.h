// Text helpers over fixed-capacity buffers.
//
// Every text of the system lives in a buffer of fixed capacity (in bytes, terminator included,
// named in base/capacities.h). These are the only ways the system copies, appends and formats
// into such a buffer: they never write past the capacity, always leave the text terminated when
// the capacity is at least one byte, and say whether they had to cut. A cut text that names
// something (a folder, a file) names something else, so every caller looks at the answer.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "base/capacities.h"

#if defined(__GNUC__)
#define QF_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define QF_PRINTF(fmt, args)
#endif

// Copies src into dst. Returns true when all of src fit; otherwise dst holds as much of src as
// fits, terminated. A null src copies as the empty text.
[[nodiscard]] bool CopyText(char* dst, size_t capacity, const char* src);

// Appends src to the text already in dst, with the same cut and result as CopyText.
[[nodiscard]] bool AppendText(char* dst, size_t capacity, const char* src);

// Formats printf-style into dst. Returns true when the whole result fit; otherwise dst holds the
// cut, terminated result.
[[nodiscard]] bool FormatText(char* dst, size_t capacity, const char* format, ...) QF_PRINTF(3, 4);
[[nodiscard]] bool FormatTextV(char* dst, size_t capacity, const char* format, va_list args);

// The length of the longest start of `text` (`length` bytes of UTF-8) that has at most `room`
// bytes and ends between two characters: where UTF-8 text may be cut.
size_t Utf8CutLength(const char* text, size_t length, size_t room);

// Appends `length` bytes of UTF-8 text to the text already in dst, as much as fits, cut between
// two characters. `*used` is the length of dst's text, kept by the caller so that many appends to
// a long text do not measure it again; it is moved on. Returns true when all of it fit.
[[nodiscard]] bool AppendUtf8(char* dst, size_t capacity, size_t* used, const char* text,
                              size_t length);

// An ASCII capital letter as its small letter; every other byte as it is.
char AsciiLower(char c);

// Whether `length` bytes at `text` are exactly `word`, ASCII letters without regard to case (the
// way names of feed elements, header fields, codings and folder ids are matched). False for a
// null text.
bool SameAsciiWord(const char* text, size_t length, const char* word);

// The part of `text` after the last occurrence of `separator` that is not at the very end (the
// whole text when there is none). Without a separator, a backslash; an empty separator gives the
// whole text. A double-byte character of the multibyte code page never counts as a separator.
// Nothing is copied: the result points into `text`.
const char* LastPathComponent(const char* text, const char* separator);
