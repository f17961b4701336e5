// The file facts on Windows: a path exists when Windows can read its attributes; an open file's
// identity is its volume serial number and file index; the lock file is locked with LockFileEx.
#include "platform/files.h"

#include "platform.h"

#include <io.h>

#include <cstdint>

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

namespace {

bool FactsOf(HANDLE handle, FileFacts* facts) {
    BY_HANDLE_FILE_INFORMATION known;
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &known)) {
        return false;
    }
    facts->volume = known.dwVolumeSerialNumber;
    facts->index = static_cast<uint64_t>(known.nFileIndexHigh) << 32 | known.nFileIndexLow;
    facts->size = static_cast<uint64_t>(known.nFileSizeHigh) << 32 | known.nFileSizeLow;
    facts->modified = static_cast<uint64_t>(known.ftLastWriteTime.dwHighDateTime) << 32 |
                      known.ftLastWriteTime.dwLowDateTime;
    return true;
}

}  // namespace

bool ReadFileFacts(FILE* file, FileFacts* facts) {
    return file != nullptr &&
           FactsOf(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))), facts);
}

bool ReadPathFacts(const char* path, FileFacts* facts) {
    // Only the attributes are read; the file stays open to everyone else meanwhile.
    HANDLE handle = CreateFileA(path, FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool read = FactsOf(handle, facts);
    CloseHandle(handle);
    return read;
}

bool SeekFile(FILE* file, uint64_t offset) {
    if (offset > static_cast<uint64_t>(INT64_MAX)) {
        return false;
    }
    return _fseeki64(file, static_cast<int64_t>(offset), SEEK_SET) == 0;
}

bool MakeDirectory(const char* path) {
    if (CreateDirectoryA(path, nullptr)) {
        return true;
    }
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PutFileInPlace(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool RemoveFile(const char* path) {
    return DeleteFileA(path) != FALSE || GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool LastFailureWasDiskFull() {
    const DWORD error = GetLastError();
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

void SayDiskFull() {
    SetLastError(ERROR_DISK_FULL);
}
