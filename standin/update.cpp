// The update command: picks "&Update RSS" with a folder on screen and waits for the refresh.
#include "platform/process_facts.h"
#include "standin/commands.h"
#include "standin/menu.h"

namespace {

const int kWorkerSeconds = 120;

int UpdateCommand(pellix::Session& session) {
    if (session.arguments.size() != 1) {
        return 2;
    }
    pellix::SetCurrentFolder(session.arguments[0]);
    PxCommandProc update = pellix::FindMenuCommand(session.plugin, "&Update RSS");
    if (update == nullptr) {
        return 1;
    }
    ScriptedUser user;
    int baseline = pellix::ThreadBaseline();
    update(nullptr, 0);
    bool ended = pellix::WaitForPluginThreads(baseline, kWorkerSeconds);
    pellix::SayMessageBoxes(user);
    if (!ended) {
        pellix::Say("pellix: the plug-in's workers did not end within " +
                    std::to_string(kWorkerSeconds) + " s");
        return 1;
    }
    return 0;
}

const pellix::CommandRegistration kUpdate(
    {"update", "update ID            pick the update command with ID as the current folder", true,
     UpdateCommand});

}  // namespace
