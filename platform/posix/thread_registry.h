// The count of threads that StartThread has started and that have not ended yet,
// kept once per process: by the program when it exports QfThreadRegistry (the stand-in host does),
// so that the copy of the stand-in inside a loaded plug-in counts into the program's, the way
// Windows knows every thread of a process. The waiter of process_facts.cpp waits on it.
#pragma once

#include <condition_variable>
#include <mutex>

struct ThreadRegistry {
    std::mutex lock;
    std::condition_variable ended;
    int running = 0;
};

// The process's registry; never destroyed, so a thread that ends late still finds it.
ThreadRegistry* ProcessThreadRegistry();
