// The profile functions on the settings file: GetPrivateProfileStringA, GetPrivateProfileIntA and
// WritePrivateProfileStringA, with Windows' behaviour: sections and keys matched without regard
// to case, a null value deleting the key, a null key listing the section's keys as consecutive
// terminated names and one more terminator (the last name cut, with two terminators, when they do
// not fit). Each call is consistent on its own across threads. Win32: the real ones. POSIX: an
// INI store with the same edge behaviour (platform/posix/profile.cpp).
#pragma once

#include "platform.h"
