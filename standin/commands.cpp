#include "standin/commands.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <thread>

#include "platform/process_facts.h"

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

bool ParseNumber(const std::string& text, int* value) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    long number = strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || number < INT_MIN || number > INT_MAX) {
        return false;
    }
    *value = static_cast<int>(number);
    return true;
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
