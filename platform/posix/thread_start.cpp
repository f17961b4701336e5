// Stands in for the runtime's _beginthread with a detached POSIX thread, counted in the process's
// thread registry (thread_registry.h) from before it starts until its work has ended.
#include "platform/thread_start.h"

#include <dlfcn.h>
#include <pthread.h>

#include <new>

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

uintptr_t _beginthread(void (*start)(void*), unsigned stackSize, void* argument) {
    const uintptr_t failed = static_cast<uintptr_t>(-1);
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
    bool ready = pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0 &&
                 (stackSize == 0 || pthread_attr_setstacksize(&attributes, stackSize) == 0);
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
    return 1;
}
