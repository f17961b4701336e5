// Opening a folder: the folder becomes the current one and the plug-in hears of it, as when a
// person clicks it in the folder tree.
#include "standin/commands.h"
#include "standin/host.h"

namespace {

int OpenCommand(pellix::Session& session) {
    if (session.arguments.size() != 1) {
        return 2;
    }
    auto openFolder = PELLIX_CALLBACK(session.plugin, PXC_OnOpenFolder);
    if (openFolder == nullptr) {
        pellix::Say("pellix: the plug-in does not export PXC_OnOpenFolder");
        return 1;
    }
    const std::string& id = session.arguments[0];
    pellix::State().currentFolder = id;
    openFolder(id.c_str());
    pellix::Say("opened folder " + id);
    return 0;
}

const pellix::CommandRegistration kOpen(
    {"open", "open ID              open folder ID (a click refresh when it is due)", true,
     OpenCommand});

}  // namespace
