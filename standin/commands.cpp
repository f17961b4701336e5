#include "standin/commands.h"

#include <chrono>
#include <thread>

#include "process.h"

namespace pellix {
namespace {

std::vector<CommandInfo>& Registry() {
    static std::vector<CommandInfo> commands;
    return commands;
}

}  // namespace

CommandRegistration::CommandRegistration(const CommandInfo& info) {
    Registry().push_back(info);
}

const std::vector<CommandInfo>& Commands() {
    return Registry();
}

int ThreadBaseline() {
    // A runtime may start a helper thread of its own along with the first thread it sees
    // (ThreadSanitizer does); one started and ended here makes it come before the count.
    static bool warmed = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)warmed;
    return CountProcessThreads();
}

bool WaitForPluginThreads(int baselineThreads, int seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (CountProcessThreads() > baselineThreads) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace pellix
