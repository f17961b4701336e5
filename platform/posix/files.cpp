// The POSIX implementation of the interface in files.h: stat for the existence test and a file's
// identity, flock for the lock file, errno for a full disk.
#include "platform/files.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <cstdio>
#include <unistd.h>

#include <limits>

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

namespace {

bool FactsOf(const struct stat& known, FileFacts* facts) {
    if (known.st_size < 0) {
        return false;
    }
    facts->volume = static_cast<uint64_t>(known.st_dev);
    facts->index = static_cast<uint64_t>(known.st_ino);
    facts->size = static_cast<uint64_t>(known.st_size);
    facts->modified = static_cast<uint64_t>(known.st_mtim.tv_sec) * 1000000000u +
                      static_cast<uint64_t>(known.st_mtim.tv_nsec);
    return true;
}

}  // namespace

bool ReadFileFacts(FILE* file, FileFacts* facts) {
    struct stat known;
    return file != nullptr && fstat(fileno(file), &known) == 0 && FactsOf(known, facts);
}

bool ReadPathFacts(const char* path, FileFacts* facts) {
    struct stat known;
    return path != nullptr && stat(path, &known) == 0 && FactsOf(known, facts);
}

bool SeekFile(FILE* file, uint64_t offset) {
    if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) {
        return false;
    }
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool MakeDirectory(const char* path) {
    struct stat facts;
    return mkdir(path, 0777) == 0 || (stat(path, &facts) == 0 && S_ISDIR(facts.st_mode));
}

bool PutFileInPlace(const char* from, const char* to) {
    return rename(from, to) == 0;
}

bool RemoveFile(const char* path) {
    return unlink(path) == 0 || errno == ENOENT;
}

bool LastFailureWasDiskFull() {
    return errno == ENOSPC;
}

void SayDiskFull() {
    errno = ENOSPC;
}
