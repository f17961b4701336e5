// Opening a message: with its folder on screen, the plug-in may hand the host a rebuilt source
// for display under the id "TEMP"; the host then shows that one instead of the stored source.
#include "standin/commands.h"
#include "standin/host.h"

namespace {

int ShowCommand(pellix::Session& session) {
    if (session.arguments.size() != 2) {
        return 2;
    }
    auto openMail = PELLIX_CALLBACK(session.plugin, PXC_OnOpenMail);
    if (openMail == nullptr) {
        pellix::Say("pellix: the plug-in does not export PXC_OnOpenMail");
        return 1;
    }
    const std::string& folderId = session.arguments[0];
    const std::string mailId = folderId + "|" + session.arguments[1];
    if (PXA_GetSource(mailId.c_str()) == nullptr) {
        pellix::Say("pellix: no message " + session.arguments[1] + " in " + folderId);
        return 1;
    }
    pellix::HostState& state = pellix::State();
    state.currentFolder = folderId;
    state.sourceWasSet = false;
    state.shownSource.clear();
    openMail(mailId.c_str());
    // Read again: the text the host handed out before the call is the plug-in's to read only.
    const char* stored = PXA_GetSource(mailId.c_str());
    const std::string shown = state.sourceWasSet ? state.shownSource : (stored ? stored : "");
    // The source is the message as stored: its body is UTF-8.
    pellix::SayUtf8(shown);
    return 0;
}

const pellix::CommandRegistration kShow(
    {"show", "show ID N            open message N of folder ID and print the source as displayed",
     true, ShowCommand});

}  // namespace
