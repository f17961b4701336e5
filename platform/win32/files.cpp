// The file facts on Windows: a path exists when Windows can read its attributes; the lock file
// is locked with LockFileEx.
#include "platform/files.h"

#include "platform.h"

bool PathExists(const char* path) {
    return path != nullptr && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool AcquireFileLock(const char* path, FileLock* lock) {
    HANDLE file =
        CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    OVERLAPPED whole = {};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole)) {
        CloseHandle(file);
        return false;
    }
    lock->handle = reinterpret_cast<intptr_t>(file);
    return true;
}

void ReleaseFileLock(FileLock* lock) {
    if (lock->handle == -1) {
        return;
    }
    HANDLE file = reinterpret_cast<HANDLE>(lock->handle);
    OVERLAPPED whole = {};
    UnlockFileEx(file, 0, 1, 0, &whole);
    CloseHandle(file);
    lock->handle = -1;
}
