// The settings store: values in an INI file by section and key, sections and keys matched
// without regard to ASCII case and without the blanks around them, a value in matching quotes
// read without them. Each call is consistent on its own across threads and processes: a reader
// sees a file before or after a write, never half of one. Win32: the profile functions of the
// system (win32/profile.cpp). POSIX: an INI store with the same behaviour, which keeps the file it
// read while the file stays the same (posix/profile.cpp). Both read and write the same files.
#pragma once

#include <cstddef>

// Reads the value of `key` into `out`, cut to `capacity` - 1 characters and terminated: true when
// the key is there, false (with `out` empty) when it is not.
bool ReadProfileValue(const char* fileName, const char* section, const char* key, char* out,
                      size_t capacity);

// The number the value's text begins with (blanks, a sign and decimal digits), in unsigned 32-bit
// arithmetic so that ten-digit times read back whole; 0 when the key is absent or holds none.
unsigned ReadProfileNumber(const char* fileName, const char* section, const char* key);

// Writes the value of `key`, creating the file, the section and the key as needed. False when the
// file could not be written.
bool WriteProfileValue(const char* fileName, const char* section, const char* key,
                       const char* value);

// Removes `key` from `section`; true also when it was not there, false when the file could not
// be written.
bool DeleteProfileKey(const char* fileName, const char* section, const char* key);

// Removes every key of `section` that is one of the `count` names of `keys`, writing the file
// once however many there are. True when they are gone (also when none was there); false when the
// file could not be read or written, which then holds what it held.
bool DeleteProfileKeys(const char* fileName, const char* section, const char* const* keys,
                       size_t count);

// Lists the keys of `section` in file order into `out`: every name followed by its terminator,
// then one more terminator. Returns the count of characters before the last terminator. When the
// names do not fit, the last is cut and followed by two terminators, and the count is
// `capacity` - 2; a capacity below 2 lists nothing.
size_t ListProfileKeys(const char* fileName, const char* section, char* out, size_t capacity);
