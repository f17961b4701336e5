// The update command: picks "&Update RSS" with a folder on screen. The host then waits for the
// refresh it started before it unloads the plug-in (main.cpp).
#include "standin/commands.h"
#include "standin/menu.h"

namespace {

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
    update(nullptr, 0);
    pellix::SayMessageBoxes(user);
    return 0;
}

const pellix::CommandRegistration kUpdate(
    {"update", "update ID            pick the update command with ID as the current folder", true,
     UpdateCommand});

}  // namespace
