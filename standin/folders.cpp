// Commands on the mail store itself: making a folder and listing its messages.
#include "standin/commands.h"
#include "standin/host.h"

namespace {

int MakeFolderCommand(pellix::Session& session) {
    if (session.arguments.size() != 1) {
        return 2;
    }
    const std::string& id = session.arguments[0];
    bool made = pellix::MakeFolder(id);
    pellix::Say(made ? "made folder " + id : "pellix: cannot make folder " + id);
    return made ? 0 : 1;
}

int ListCommand(pellix::Session& session) {
    if (session.arguments.size() != 1) {
        return 2;
    }
    const std::string& id = session.arguments[0];
    std::vector<pellix::IndexEntry> entries;
    if (!pellix::ReadIndex(id, &entries)) {
        pellix::Say("pellix: no folder " + id);
        return 1;
    }
    pellix::Say(std::to_string(entries.size()) + " message(s) in " + id);
    for (const pellix::IndexEntry& entry : entries) {
        pellix::Say(entry.number + " | " + entry.date + " | " + entry.sender + " | " +
                    entry.subject);
    }
    return 0;
}

const pellix::CommandRegistration kMakeFolder(
    {"mkfolder", "mkfolder ID          make a folder (directory and empty index)", false,
     MakeFolderCommand});
const pellix::CommandRegistration kList(
    {"list", "list ID              the folder's messages: number, date, sender, subject", false,
     ListCommand});

}  // namespace
