// Digests and random bytes for answering a server's login challenge: MD5 and SHA-256 as HTTP
// Digest logins ask for them, and client nonces nobody can guess. Win32: the CryptoAPI. POSIX:
// OpenSSL's libcrypto.
#pragma once

#include <cstddef>

enum class DigestKind { kMd5, kSha256 };

// Writes the digest of the `length` bytes at `data` as small hexadecimal digits into `hex` (32 of
// them for MD5, 64 for SHA-256), terminated. False when the platform could not, or `capacity` is
// too small.
[[nodiscard]] bool DigestHex(DigestKind kind, const void* data, size_t length, char* hex,
                             size_t capacity);

// Fills `out` with `length` bytes of the platform's cryptographic random source; false when it
// could not.
[[nodiscard]] bool FillRandom(void* out, size_t length);
