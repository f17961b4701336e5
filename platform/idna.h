// Host names in any script, as the resolver, TLS and the Host header need them: the ASCII form
// of an internationalised domain name (IDNA, "bücher.example" as "xn--bcher-kva.example").
// Win32: IdnToAscii (win32/idna.cpp). POSIX: libidn2 (posix/idna.cpp).
#pragma once

#include <cstddef>

// Writes the ASCII form of the host name `host` (`length` bytes of UTF-8) into `out`. False when
// it is no host name IDNA allows, the platform cannot say, or the result does not fit `capacity`.
[[nodiscard]] bool HostToAscii(const char* host, size_t length, char* out, size_t capacity);
