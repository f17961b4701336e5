// The process facts on Windows: a tool-help snapshot counts the threads, _popen runs commands.
#include "platform/process_facts.h"

#include <cstdio>

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
