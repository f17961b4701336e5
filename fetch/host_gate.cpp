#include "fetch/host_gate.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <unordered_map>

namespace {

struct Gate {
    std::mutex lock;
    std::condition_variable left;  // a connection ended
    std::unordered_map<std::string, int> open;
};

// Made at the first download. When the module goes, the gate goes with it if no connection is
// open; one that still is (a worker the host did not wait for) keeps it, so that its leaving
// touches nothing torn down.
struct GateHolder {
    Gate* gate;
    ~GateHolder() {
        if (gate->open.empty()) {
            delete gate;
        }
    }
};

Gate& TheGate() {
    static GateHolder holder{new Gate};
    return *holder.gate;
}

}  // namespace

long long SteadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool EnterHost(const char* host, long long deadline) {
    Gate& gate = TheGate();
    std::unique_lock<std::mutex> hold(gate.lock);
    const std::string key(host);
    while (gate.open[key] >= kConnectionsPerHost) {
        const long long left = deadline - SteadyMilliseconds();
        if (left <= 0) {
            return false;
        }
        gate.left.wait_for(hold, std::chrono::milliseconds(left));
    }
    ++gate.open[key];
    return true;
}

void LeaveHost(const char* host) {
    Gate& gate = TheGate();
    {
        std::lock_guard<std::mutex> hold(gate.lock);
        auto found = gate.open.find(host);
        if (found != gate.open.end() && --found->second <= 0) {
            gate.open.erase(found);
        }
    }
    gate.left.notify_all();
}
