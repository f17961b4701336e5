// Stands in for the runtime's _beginthread with a detached POSIX thread.
#include "platform/thread_start.h"

#include <pthread.h>

#include <new>

namespace {

struct ThreadStart {
    void (*start)(void*);
    void* argument;
};

void* RunThread(void* startRecord) {
    ThreadStart run = *static_cast<ThreadStart*>(startRecord);
    delete static_cast<ThreadStart*>(startRecord);
    run.start(run.argument);
    return nullptr;
}

}  // namespace

uintptr_t _beginthread(void (*start)(void*), unsigned stackSize, void* argument) {
    const uintptr_t failed = static_cast<uintptr_t>(-1);
    if (start == nullptr) {
        return failed;
    }
    ThreadStart* record = new (std::nothrow) ThreadStart{start, argument};
    if (record == nullptr) {
        return failed;
    }
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) {
        delete record;
        return failed;
    }
    bool ready = pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0 &&
                 (stackSize == 0 || pthread_attr_setstacksize(&attributes, stackSize) == 0);
    pthread_t thread;
    bool started = ready && pthread_create(&thread, &attributes, RunThread, record) == 0;
    pthread_attr_destroy(&attributes);
    if (!started) {
        delete record;
        return failed;
    }
    return 1;
}
