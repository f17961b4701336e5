// Digests and random bytes from OpenSSL's libcrypto: the POSIX side of digests.h.
#include "platform/digests.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <climits>

bool DigestHex(DigestKind kind, const void* data, size_t length, char* hex, size_t capacity) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    const EVP_MD* type = kind == DigestKind::kMd5 ? EVP_md5() : EVP_sha256();
    if (EVP_Digest(data, length, digest, &size, type, nullptr) != 1 || 2 * size + 1 > capacity) {
        return false;
    }
    static const char kDigits[] = "0123456789abcdef";
    for (unsigned int i = 0; i < size; ++i) {
        hex[2 * i] = kDigits[digest[i] >> 4];
        hex[2 * i + 1] = kDigits[digest[i] & 0xF];
    }
    hex[2 * size] = '\0';
    return true;
}

bool FillRandom(void* out, size_t length) {
    return length <= INT_MAX &&
           RAND_bytes(static_cast<unsigned char*>(out), static_cast<int>(length)) == 1;
}
