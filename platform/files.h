// File-system facts the subsystems ask about. Win32: the Windows file functions. POSIX: stat.
#pragma once

#include <cstdint>
#include <cstdio>

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

// What tells one file from another, and its length. A reader that has read part of a file knows
// by these that it is still the same file, grown, and can read on from where it stopped.
struct FileFacts {
    uint64_t volume = 0;
    uint64_t index = 0;
    uint64_t size = 0;
    uint64_t modified = 0;  // the last write, in the platform's own units
};

// The facts of an open file, or of the file at a path. Win32: GetFileInformationByHandle.
// POSIX: fstat and stat.
[[nodiscard]] bool ReadFileFacts(FILE* file, FileFacts* facts);
[[nodiscard]] bool ReadPathFacts(const char* path, FileFacts* facts);

// True when both facts name the same file, whatever its length.
inline bool IsSameFile(const FileFacts& one, const FileFacts& other) {
    return one.volume == other.volume && one.index == other.index;
}

// Makes the directory at `path` when it is missing (its parent must exist). False when there is
// none there afterwards. Win32: CreateDirectoryA. POSIX: mkdir.
[[nodiscard]] bool MakeDirectory(const char* path);

// Puts the file at `from` in the place of the file at `to`, in one step where the platform can:
// a reader sees the old file or the new one, never a mix. False when it could not (`from` then
// stays). Win32: MoveFileExA, replacing. POSIX: rename.
[[nodiscard]] bool PutFileInPlace(const char* from, const char* to);

// Removes the file at `path`; false when it is still there.
bool RemoveFile(const char* path);

// Moves the read position of a file opened in binary mode to `offset` bytes from its start, past
// what a long offset can say on a 32-bit system.
[[nodiscard]] bool SeekFile(FILE* file, uint64_t offset);

// Whether the calling thread's last failure was a full disk (Win32: its last error is
// ERROR_DISK_FULL or ERROR_HANDLE_DISK_FULL; POSIX: errno is ENOSPC), as a host leaves it when it
// could not store a message for want of room.
bool LastFailureWasDiskFull();

// Leaves the calling thread's last failure as a full disk leaves it: the stand-in host's store,
// when it acts as a full disk, fails as a real one would.
void SayDiskFull();
