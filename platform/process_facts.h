// Process facts the stand-in host and the tests need.
#pragma once

#include <string>

// The number of threads the process runs now. Win32: a tool-help snapshot. POSIX:
// /proc/self/task.
int CountProcessThreads();

// Runs a command line through the command interpreter (cmd.exe, /bin/sh), collecting what it
// prints (standard output and error) into `output`. Returns the command's exit status, or -1 when
// it could not be run.
int RunCommandLine(const std::string& commandLine, std::string* output);
