// Stands in for the Windows file facts: stat for the existence test, flock for the lock file.
#include "platform/files.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

bool PathExists(const char* path) {
    struct stat facts;
    return path != nullptr && stat(path, &facts) == 0;
}

bool AcquireFileLock(const char* path, FileLock* lock) {
    int descriptor = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        return false;
    }
    int locked;
    do {
        locked = flock(descriptor, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        close(descriptor);
        return false;
    }
    lock->handle = descriptor;
    return true;
}

void ReleaseFileLock(FileLock* lock) {
    if (lock->handle < 0) {
        return;
    }
    flock(static_cast<int>(lock->handle), LOCK_UN);
    close(static_cast<int>(lock->handle));
    lock->handle = -1;
}
