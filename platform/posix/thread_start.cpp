// Threads as detached POSIX threads, counted in the process's thread registry (thread_registry.h)
// from before they start until their work has ended: the POSIX side of thread_start.h.
#include "platform/thread_start.h"

#include <dlfcn.h>
#include <pthread.h>

#include <new>

#include "platform.h"
#include "thread_registry.h"

extern "C" QF_EXPORT ThreadRegistry* QfThreadRegistry() {
    static ThreadRegistry* registry = new ThreadRegistry;
    return registry;
}

ThreadRegistry* ProcessThreadRegistry() {
    typedef ThreadRegistry* (*Finder)();
    static const Finder find = [] {
        auto program = reinterpret_cast<Finder>(dlsym(RTLD_DEFAULT, "QfThreadRegistry"));
        return program != nullptr ? program : &QfThreadRegistry;
    }();
    return find();
}

namespace {

struct ThreadStart {
    void (*start)(void*);
    void* argument;
    ThreadRegistry* registry;
};

void Ended(ThreadRegistry* registry) {
    {
        std::lock_guard<std::mutex> hold(registry->lock);
        --registry->running;
    }
    registry->ended.notify_all();
}

void* RunThread(void* startRecord) {
    ThreadStart run = *static_cast<ThreadStart*>(startRecord);
    delete static_cast<ThreadStart*>(startRecord);
    run.start(run.argument);
    Ended(run.registry);
    return nullptr;
}

}  // namespace

bool StartThread(void (*start)(void*), void* argument) {
    const bool failed = false;
    if (start == nullptr) {
        return failed;
    }
    ThreadStart* record = new (std::nothrow) ThreadStart{start, argument, ProcessThreadRegistry()};
    if (record == nullptr) {
        return failed;
    }
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) {
        delete record;
        return failed;
    }
    const bool ready = pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0;
    // Counted before the thread exists, so that a waiter never misses one.
    ThreadRegistry* registry = record->registry;
    {
        std::lock_guard<std::mutex> hold(registry->lock);
        ++registry->running;
    }
    pthread_t thread;
    bool started = ready && pthread_create(&thread, &attributes, RunThread, record) == 0;
    pthread_attr_destroy(&attributes);
    if (!started) {
        delete record;
        Ended(registry);
        return failed;
    }
    return true;
}
