// Secrets kept for the signed-in user: the passwords of logins, in a file of their own beside the
// settings file. Win32: the Data Protection API (CryptProtectData), which binds them to the
// user's logon, so that the file is of no use to anyone else. POSIX: the bytes as they are, in a
// file only its owner may read or write (WritePrivateFile).
#pragma once

#include <cstddef>

// The protected form of the `length` bytes at `secret` into `out`; `written` gets its length.
// False when the platform could not protect them or the result does not fit `capacity`.
[[nodiscard]] bool ProtectSecret(const void* secret, size_t length, unsigned char* out,
                                 size_t capacity, size_t* written);

// The secret a protected form stands for, into `out`; `written` gets its length. False when it
// is no protected form of this user's, or the secret does not fit `capacity`.
[[nodiscard]] bool UnprotectSecret(const unsigned char* data, size_t length, char* out,
                                   size_t capacity, size_t* written);

// Writes `length` bytes as the whole file at `path`, through a temporary file beside it that is
// then put in its place: the old file or the new one, never half of one. POSIX: the file may be
// read and written by its owner only, from before its first byte. False when it could not be
// written; the old file then stays.
[[nodiscard]] bool WritePrivateFile(const char* path, const char* data, size_t length);
