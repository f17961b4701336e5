// The process facts on Windows: a tool-help snapshot counts the threads, _popen runs commands.
#include "platform/process_facts.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform.h"

#include <tlhelp32.h>

int CountProcessThreads() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return 0;
    }
    DWORD self = GetCurrentProcessId();
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == self) {
            ++count;
        }
    }
    CloseHandle(snapshot);
    return count;
}

namespace {

// The ids of the process's threads now.
std::vector<unsigned long> ThreadIds() {
    std::vector<unsigned long> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return ids;
    }
    DWORD self = GetCurrentProcessId();
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == self) {
            ids.push_back(entry.th32ThreadID);
        }
    }
    CloseHandle(snapshot);
    return ids;
}

}  // namespace

ThreadMark MarkThreads() {
    ThreadMark mark;
    mark.threads = ThreadIds();
    std::sort(mark.threads.begin(), mark.threads.end());
    mark.count = static_cast<int>(mark.threads.size());
    return mark;
}

bool WaitForThreadsSince(const ThreadMark& mark, unsigned milliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        std::vector<HANDLE> handles;
        for (unsigned long id : ThreadIds()) {
            if (std::binary_search(mark.threads.begin(), mark.threads.end(), id)) {
                continue;
            }
            HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id);
            if (thread != nullptr) {
                handles.push_back(thread);
            }
        }
        if (handles.empty()) {
            return true;
        }
        const DWORD waited = GetTickCount() - start;
        const DWORD left = waited < milliseconds ? milliseconds - waited : 0;
        // At most 64 handles at a time; the next round sees what is left.
        const DWORD count = handles.size() < MAXIMUM_WAIT_OBJECTS
                                ? static_cast<DWORD>(handles.size())
                                : MAXIMUM_WAIT_OBJECTS;
        const DWORD result = WaitForMultipleObjects(count, handles.data(), TRUE, left);
        for (HANDLE thread : handles) {
            CloseHandle(thread);
        }
        if (result == WAIT_TIMEOUT || result == WAIT_FAILED) {
            return false;
        }
    }
}

int RunCommandLine(const std::string& commandLine, std::string* output) {
    // cmd.exe drops the outer quotes of a line that starts with one; a second pair keeps them.
    FILE* pipe = _popen(("\"" + commandLine + " 2>&1\"").c_str(), "rb");
    if (pipe == nullptr) {
        return -1;
    }
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        output->append(chunk, got);
    }
    return _pclose(pipe);
}
