// Bounded text operations over fixed-capacity buffers.
//
// Every text of the system lives in a buffer of fixed capacity (in bytes, terminator included).
// These are the only ways the system copies, appends and formats into such a buffer: they never
// write past the capacity, always leave the text terminated when the capacity is at least one
// byte, and say whether they had to cut.
#pragma once

#include <cstdarg>
#include <cstddef>

// Capacities named once. Folder ids, URLs, style names and paths built from them.
constexpr size_t kTextCapacity = 1024;
// The settings file's path, as the module entry computes it.
constexpr size_t kSettingsPathCapacity = 260;

#if defined(__GNUC__)
#define QF_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define QF_PRINTF(fmt, args)
#endif

// Copies src into dst. Returns true when all of src fit; otherwise dst holds as much of src as
// fits, terminated. A null src copies as the empty text.
bool CopyText(char* dst, size_t capacity, const char* src);

// Appends src to the text already in dst, with the same cut and result as CopyText.
bool AppendText(char* dst, size_t capacity, const char* src);

// Formats printf-style into dst. Returns true when the whole result fit; otherwise dst holds the
// cut, terminated result.
bool FormatText(char* dst, size_t capacity, const char* format, ...) QF_PRINTF(3, 4);
bool FormatTextV(char* dst, size_t capacity, const char* format, va_list args);
