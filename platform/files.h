// File-system facts the subsystems ask about. Win32: the Windows file functions. POSIX: stat.
#pragma once

// True when something (a file or a directory) exists at `path`. Anything that keeps the path from
// being found, a missing directory on the way or a refused look-up, counts as nothing there.
bool PathExists(const char* path);
