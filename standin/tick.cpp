// One call of the host's minute timer.
#include "platform/process_facts.h"
#include "standin/commands.h"
#include "standin/host.h"

namespace {

// How long a command waits for the refreshes the plug-in started.
constexpr int kWorkerWaitSeconds = 60;

int TickCommand(pellix::Session& session) {
    if (!session.arguments.empty()) {
        return 2;
    }
    auto everyMinute = PELLIX_CALLBACK(session.plugin, PXC_OnEveryMinute);
    if (everyMinute == nullptr) {
        pellix::Say("pellix: the plug-in does not export PXC_OnEveryMinute");
        return 1;
    }
    int baseline = pellix::ThreadBaseline();
    everyMinute();
    pellix::Say("minute timer called");
    if (!pellix::WaitForPluginThreads(baseline, kWorkerWaitSeconds)) {
        pellix::Say("pellix: the plug-in's refreshes did not end within " +
                    std::to_string(kWorkerWaitSeconds) + " s");
        return 1;
    }
    return 0;
}

const pellix::CommandRegistration kTick(
    {"tick", "tick                 one minute-timer call (auto refreshes and clean-up)", true,
     TickCommand});

}  // namespace
