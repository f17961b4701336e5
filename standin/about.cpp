// The About box, as the host's plug-in set-up button shows it.
#include "standin/commands.h"
#include "standin/menu.h"

namespace {

int AboutCommand(pellix::Session& session) {
    auto setup = PELLIX_CALLBACK(session.plugin, PXC_OnPlugInSetup);
    if (setup == nullptr) {
        pellix::Say("pellix: the plug-in does not export PXC_OnPlugInSetup");
        return 1;
    }
    ScriptedUser user;
    int result = setup(nullptr);
    pellix::SayMessageBoxes(user);
    pellix::Say("PXC_OnPlugInSetup answered " + std::to_string(result));
    return 0;
}

const pellix::CommandRegistration kAbout({"about", "about                the About box text", true,
                                          AboutCommand});

}  // namespace
