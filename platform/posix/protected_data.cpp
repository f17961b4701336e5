// The POSIX side of protected_data.h: no store of the user's own to bind a secret to, so the
// secret is kept as it is and the file that holds it is its owner's alone (mode 0600), as the
// files of other programs' logins are.
#include "platform/protected_data.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

bool ProtectSecret(const void* secret, size_t length, unsigned char* out, size_t capacity,
                   size_t* written) {
    if (length > capacity) {
        return false;
    }
    memcpy(out, secret, length);
    *written = length;
    return true;
}

bool UnprotectSecret(const unsigned char* data, size_t length, char* out, size_t capacity,
                     size_t* written) {
    if (length > capacity) {
        return false;
    }
    memcpy(out, data, length);
    *written = length;
    return true;
}

bool WritePrivateFile(const char* path, const char* data, size_t length) {
    const std::string temporary = std::string(path) + ".new";
    unlink(temporary.c_str());
    // Owner-only from its creation: never a moment in which another user could open it.
    const int file = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (file < 0) {
        return false;
    }
    bool written = fchmod(file, 0600) == 0;
    while (written && length > 0) {
        const ssize_t put = write(file, data, length);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        written = put > 0;
        if (written) {
            data += put;
            length -= static_cast<size_t>(put);
        }
    }
    written = fsync(file) == 0 && written;
    written = close(file) == 0 && written;
    if (!written || rename(temporary.c_str(), path) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}
