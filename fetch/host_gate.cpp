#include "fetch/host_gate.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>

#include "base/capacities.h"

namespace {

// The hosts that have connections open now, at most this many at once: more than the workers
// that can run (a host beyond them is let through rather than kept waiting).
constexpr size_t kHostSlots = 128;

struct HostCount {
    char host[kUrlCapacity];
    int open;  // 0: the slot is free
};

struct Gate {
    std::mutex lock;
    std::condition_variable left;  // a connection ended
    HostCount hosts[kHostSlots];
};

// Made at the first download and never taken down: a worker the host did not wait for may use it
// to its end, even while the process exits. It lives in static storage, so that nothing of it is
// left on the heap when the module goes.
Gate& TheGate() {
    alignas(Gate) static unsigned char storage[sizeof(Gate)];
    static Gate* gate = new (storage) Gate();
    return *gate;
}

HostCount* Find(Gate& gate, const char* host) {
    for (HostCount& count : gate.hosts) {
        if (count.open > 0 && strcmp(count.host, host) == 0) {
            return &count;
        }
    }
    return nullptr;
}

}  // namespace

long long SteadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool EnterHost(const char* host, long long deadline) {
    if (strlen(host) >= kUrlCapacity) {
        return true;  // no host name is that long; nothing to count it by
    }
    Gate& gate = TheGate();
    std::unique_lock<std::mutex> hold(gate.lock);
    for (;;) {
        HostCount* count = Find(gate, host);
        if (count == nullptr) {
            for (HostCount& free : gate.hosts) {
                if (free.open == 0) {
                    memcpy(free.host, host, strlen(host) + 1);
                    free.open = 1;
                    return true;
                }
            }
            return true;  // every slot taken: let it through rather than hold it
        }
        if (count->open < kConnectionsPerHost) {
            ++count->open;
            return true;
        }
        const long long left = deadline - SteadyMilliseconds();
        if (left <= 0) {
            return false;
        }
        gate.left.wait_for(hold, std::chrono::milliseconds(left));
    }
}

void LeaveHost(const char* host) {
    Gate& gate = TheGate();
    {
        std::lock_guard<std::mutex> hold(gate.lock);
        HostCount* count = Find(gate, host);
        if (count != nullptr) {
            --count->open;
        }
    }
    gate.left.notify_all();
}
