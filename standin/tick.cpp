// One call of the host's minute timer.
#include "standin/commands.h"
#include "standin/host.h"

namespace {

int TickCommand(pellix::Session& session) {
    if (!session.arguments.empty()) {
        return 2;
    }
    auto everyMinute = PELLIX_CALLBACK(session.plugin, PXC_OnEveryMinute);
    if (everyMinute == nullptr) {
        pellix::Say("pellix: the plug-in does not export PXC_OnEveryMinute");
        return 1;
    }
    everyMinute();
    pellix::Say("minute timer called");
    return 0;
}

const pellix::CommandRegistration kTick(
    {"tick", "tick                 one minute-timer call (auto refreshes and clean-up)", true,
     TickCommand});

}  // namespace
