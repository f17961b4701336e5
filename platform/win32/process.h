// Process facts the stand-in host needs.
#pragma once

// The number of threads the process runs now.
int CountProcessThreads();

#include <string>

// Runs a command line through the command interpreter, collecting what it prints (standard
// output and error) into `output`. Returns the command's exit status, or -1 when it could not be
// run.
int RunCommandLine(const std::string& commandLine, std::string* output);
