// The system's ANSI code page, the text of the host's time: folder ids, paths, display names, the
// settings file and the folder index are in it, while feed text and messages are UTF-8. These
// convert between the two exactly as Windows converts for the host, so that a text the plug-in
// converts reads the same as the host's own conversion of it: characters the code page lacks
// become its default character "?" (or, as Windows does, a near character of its best-fit table).
// Win32: MultiByteToWideChar and WideCharToMultiByte. POSIX: platform/posix/codepage.cpp, whose
// code page is 1252 unless a test selects another (SelectAnsiCodePage).
#pragma once

#include <cstddef>

// Whether `byte` is the lead byte of a double-byte character of the runtime's multibyte code page
// (the ANSI one unless a test selects another): such a pair is one character.
bool IsAnsiLeadByte(unsigned char byte);

// Converts `length` bytes of UTF-8 into the ANSI code page. False, with `out` empty, when the
// result does not fit `capacity` (terminator included).
[[nodiscard]] bool Utf8ToAnsi(const char* utf8, size_t length, char* out, size_t capacity);

// Converts terminated ANSI text into UTF-8. False, with `out` empty, when the result does not fit
// `capacity` (terminator included).
[[nodiscard]] bool AnsiToUtf8(const char* ansi, char* out, size_t capacity);
