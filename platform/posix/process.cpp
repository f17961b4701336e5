// Counts the process's threads from /proc/self/task, as the Windows side does with a tool-help
// snapshot.
#include "process.h"

#include <dirent.h>

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
