// Threads through the C runtime, which sets up its per-thread state for them: the Windows side of
// thread_start.h.
#include "platform/thread_start.h"

#include <process.h>

#include <cstdint>

bool StartThread(void (*run)(void*), void* argument) {
    return _beginthread(run, 0, argument) != static_cast<uintptr_t>(-1);
}
