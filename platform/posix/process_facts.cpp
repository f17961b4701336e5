// Stands in for the process facts with /proc/self/task for the threads and popen for commands.
#include "platform/process_facts.h"

#include <dirent.h>
#include <sys/wait.h>

#include <cstdio>

int CountProcessThreads() {
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) {
        return 0;
    }
    int count = 0;
    while (dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] != '.') {
            ++count;
        }
    }
    closedir(tasks);
    return count;
}

int RunCommandLine(const std::string& commandLine, std::string* output) {
    FILE* pipe = popen((commandLine + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        output->append(chunk, got);
    }
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
