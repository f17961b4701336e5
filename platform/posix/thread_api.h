// Stands in for the runtime's thread start, _beginthread, with a detached POSIX thread.
#pragma once

#include <cstdint>

// Starts `start(argument)` on a new thread that nobody joins; it ends when `start` returns. A
// stack size of 0 means the platform's default. Returns a value other than -1 when the thread
// was started, and (uintptr_t)-1 when it could not be; `argument` is then left to the caller.
uintptr_t _beginthread(void (*start)(void*), unsigned stackSize, void* argument);
