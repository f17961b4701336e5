// Threads: a function started on a thread of its own, which nobody joins and which ends when the
// function returns. Win32: the C runtime's _beginthread (win32/thread_start.cpp). POSIX: a
// detached thread (posix/thread_start.cpp).
#pragma once

// Starts `run(argument)` on a new thread with the platform's default stack. False when no thread
// could be started; `argument` is then left to the caller.
bool StartThread(void (*run)(void*), void* argument);
