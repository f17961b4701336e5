// Digests and random bytes from the CryptoAPI's default AES provider, which every Windows since
// XP SP3 has (and which CNG, from Vista on, would not give the older ones): the Windows side of
// digests.h.
#include "platform/digests.h"

#include "platform.h"

#include <wincrypt.h>

#include <climits>

namespace {

// The longest digest asked for: SHA-256's.
constexpr DWORD kLongestDigest = 32;
// CALG_SHA_256, which the headers name only for builds aimed at XP SP3 and later; the providers
// that know it have it under this number.
constexpr ALG_ID kSha256 = ALG_CLASS_HASH | ALG_TYPE_ANY | 12;

// A context of the provider that only hashes and draws random bytes: no key container.
bool AcquireProvider(HCRYPTPROV* provider) {
    return CryptAcquireContextA(provider, nullptr, nullptr, PROV_RSA_AES,
                                CRYPT_VERIFYCONTEXT | CRYPT_SILENT) != FALSE;
}

}  // namespace

bool DigestHex(DigestKind kind, const void* data, size_t length, char* hex, size_t capacity) {
    HCRYPTPROV provider = 0;
    if (length > ULONG_MAX || !AcquireProvider(&provider)) {
        return false;
    }
    BYTE digest[kLongestDigest];
    DWORD size = sizeof digest;
    HCRYPTHASH hash = 0;
    const bool made = CryptCreateHash(provider, kind == DigestKind::kMd5 ? CALG_MD5 : kSha256, 0, 0,
                                      &hash) != FALSE &&
                      CryptHashData(hash, static_cast<const BYTE*>(data),
                                    static_cast<DWORD>(length), 0) != FALSE &&
                      CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0) != FALSE;
    if (hash != 0) {
        CryptDestroyHash(hash);
    }
    CryptReleaseContext(provider, 0);
    if (!made || 2 * size + 1 > capacity) {
        return false;
    }
    static const char kDigits[] = "0123456789abcdef";
    for (DWORD i = 0; i < size; ++i) {
        hex[2 * i] = kDigits[digest[i] >> 4];
        hex[2 * i + 1] = kDigits[digest[i] & 0xF];
    }
    hex[2 * size] = '\0';
    return true;
}

bool FillRandom(void* out, size_t length) {
    HCRYPTPROV provider = 0;
    if (length > ULONG_MAX || !AcquireProvider(&provider)) {
        return false;
    }
    const bool filled =
        CryptGenRandom(provider, static_cast<DWORD>(length), static_cast<BYTE*>(out)) != FALSE;
    CryptReleaseContext(provider, 0);
    return filled;
}
