// The modules of the process as the plug-in sees them: the program that loaded it, whose exports
// are the host's functions, and the plug-in's own file. Win32: the module functions of the
// system (win32/modules.cpp). POSIX: dlopen, dlsym and dladdr (posix/modules.cpp), which also
// stand in for the Windows module functions the stand-in host calls.
#pragma once

#include <cstddef>

// An export as it is found: cast to its own type before it is called.
typedef void (*ExportedProc)();

// The process's main program; null when the platform cannot say.
const void* MainProgram();

// The export `name` of `module`; null when it has none.
ExportedProc FindExport(const void* module, const char* name);

// The path of the plug-in's own file (on Windows, of the module `instance` its entry was given)
// into `out`: false, with `out` empty, when there is none or it does not fit `capacity`, since a
// cut path would name another file.
bool ModuleFilePath(const void* instance, char* out, size_t capacity);
