// The Windows side of protected_data.h: the Data Protection API, which encrypts with a key of the
// signed-in user's logon, so that a copy of the file opens for nobody else.
#include "platform/protected_data.h"

#include "platform.h"

#include <wincrypt.h>

#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/files.h"

namespace {

// The description DPAPI keeps with each protected form: it names the program in a key audit.
const WCHAR kDescription[] = L"Quillfeed login";

bool CopyOut(const DATA_BLOB& blob, void* out, size_t capacity, size_t* written) {
    const bool fits = blob.cbData <= capacity;
    if (fits) {
        memcpy(out, blob.pbData, blob.cbData);
        *written = blob.cbData;
    }
    SecureZeroMemory(blob.pbData, blob.cbData);
    LocalFree(blob.pbData);
    return fits;
}

}  // namespace

bool ProtectSecret(const void* secret, size_t length, unsigned char* out, size_t capacity,
                   size_t* written) {
    if (length > ULONG_MAX) {
        return false;
    }
    DATA_BLOB plain = {static_cast<DWORD>(length), static_cast<BYTE*>(const_cast<void*>(secret))};
    DATA_BLOB sealed = {0, nullptr};
    // No prompt, ever: the plug-in runs inside a mail client, often with nobody watching.
    if (!CryptProtectData(&plain, kDescription, nullptr, nullptr, nullptr,
                          CRYPTPROTECT_UI_FORBIDDEN, &sealed)) {
        return false;
    }
    return CopyOut(sealed, out, capacity, written);
}

bool UnprotectSecret(const unsigned char* data, size_t length, char* out, size_t capacity,
                     size_t* written) {
    if (length > ULONG_MAX) {
        return false;
    }
    DATA_BLOB sealed = {static_cast<DWORD>(length), const_cast<BYTE*>(data)};
    DATA_BLOB plain = {0, nullptr};
    if (!CryptUnprotectData(&sealed, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                            &plain)) {
        return false;
    }
    return CopyOut(plain, out, capacity, written);
}

bool WritePrivateFile(const char* path, const char* data, size_t length) {
    char temporary[MAX_PATH + 8];
    if (snprintf(temporary, sizeof temporary, "%s.new", path) >=
        static_cast<int>(sizeof temporary)) {
        return false;
    }
    FILE* file = fopen(temporary, "wb");
    if (file == nullptr) {
        return false;
    }
    bool written = fwrite(data, 1, length, file) == length;
    written = fclose(file) == 0 && written;
    if (!written || !PutFileInPlace(temporary, path)) {
        static_cast<void>(RemoveFile(temporary));
        return false;
    }
    return true;
}
