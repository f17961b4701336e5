// Stands in for the process facts with /proc/self/task for the threads and popen for commands.
#include "platform/process_facts.h"

#include <dirent.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "thread_registry.h"

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

ThreadMark MarkThreads() {
    // A runtime may start a helper thread of its own along with the first thread it sees
    // (ThreadSanitizer does); one started and ended here makes it come before the mark.
    static const bool warmed = [] {
        std::thread([] {}).join();
        return true;
    }();
    static_cast<void>(warmed);
    ThreadMark mark;
    ThreadRegistry* registry = ProcessThreadRegistry();
    {
        std::lock_guard<std::mutex> hold(registry->lock);
        mark.started = registry->running;
    }
    mark.count = CountProcessThreads();
    return mark;
}

bool WaitForThreadsSince(const ThreadMark& mark, unsigned milliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    ThreadRegistry* registry = ProcessThreadRegistry();
    {
        std::unique_lock<std::mutex> hold(registry->lock);
        if (!registry->ended.wait_until(hold, deadline,
                                        [&] { return registry->running <= mark.started; })) {
            return false;
        }
    }
    // Their work is done; the threads themselves leave the process a moment later, and until
    // they have, the code they return through must stay loaded.
    while (CountProcessThreads() > mark.count) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
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
