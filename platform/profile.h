// The profile functions on the settings file: GetPrivateProfileStringA, GetPrivateProfileIntA and
// WritePrivateProfileStringA, with Windows' behaviour: sections and keys matched without regard
// to case, a null value deleting the key, a null key listing the section's keys as consecutive
// terminated names and one more terminator (the last name cut, with two terminators, when they do
// not fit). Each call is consistent on its own across threads. Win32: the real ones. POSIX: an
// INI store with the same edge behaviour (platform/posix/profile.cpp).
#pragma once

#include "platform.h"

#include <cstddef>

// Removes every key of `section` in `fileName` that is one of the `count` names of `keys` (matched
// without regard to ASCII case, as the profile functions match them), writing the file once
// however many there are. True when they are gone (also when none was there); false when the file
// could not be read or written, which then holds what it held.
bool DeleteProfileKeys(const char* fileName, const char* section, const char* const* keys,
                       size_t count);
