// File-system facts the subsystems ask about. Win32: the Windows file functions. POSIX: stat.
#pragma once

#include <cstdint>

// True when something (a file or a directory) exists at `path`. Anything that keeps the path from
// being found, a missing directory on the way or a refused look-up, counts as nothing there.
bool PathExists(const char* path);

// An exclusive lock on a lock file, held across threads and processes: what keeps two programs
// that share a data folder from writing the same files at once. Win32: LockFileEx. POSIX: flock.
struct FileLock {
    intptr_t handle = -1;
};

// Creates the lock file at `path` when it is missing, and waits until the lock is this caller's.
// False when the file cannot be opened or locked; `lock` is then not held.
[[nodiscard]] bool AcquireFileLock(const char* path, FileLock* lock);

// Gives the lock up and closes its file; a lock that is not held is left alone.
void ReleaseFileLock(FileLock* lock);
