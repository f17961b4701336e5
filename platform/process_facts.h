// Process facts the stand-in host and the tests need.
#pragma once

#include <string>
#include <vector>

// The number of threads the process runs now. Win32: a tool-help snapshot. POSIX:
// /proc/self/task.
int CountProcessThreads();

// The threads the process runs at one moment, for waiting later on those started after it.
struct ThreadMark {
    std::vector<unsigned long> threads;  // Win32: their ids
    int count = 0;                       // POSIX: how many run
    int started = 0;                     // POSIX: how many the thread start counts as running
};
ThreadMark MarkThreads();

// Waits, without polling where the platform can tell, until every thread started after `mark`
// has ended and left the process, at most `milliseconds`. False when the time ran out. Win32:
// waits on the handles of the threads that are new. POSIX: waits on the count of the thread
// start's threads (every thread a loaded plug-in starts counts there too), then for them to
// leave /proc/self/task.
bool WaitForThreadsSince(const ThreadMark& mark, unsigned milliseconds);

// Runs a command line through the command interpreter (cmd.exe, /bin/sh), collecting what it
// prints (standard output and error) into `output`. Returns the command's exit status, or -1 when
// it could not be run.
int RunCommandLine(const std::string& commandLine, std::string* output);
