// The host's menu of kind 2 as the plug-in builds it, and picking one of its items.
#pragma once

#include <string>

#include "platform/dialogs.h"
#include "standin/host.h"

namespace pellix {

// Builds a fresh menu of `kind` through PXC_OnMenuInit; the caller destroys it. Null when the
// plug-in does not export the callback.
HMENU BuildMenu(HMODULE plugin, int kind);

// Builds the menu of kind 2 and finds the command behind the item labelled `label`, as a user
// picking it would reach it. Null when there is no such item or no registered command for it.
PxCommandProc FindMenuCommand(HMODULE plugin, const char* label);

// Prints the message boxes the scripted user saw, one line per line of text.
void SayMessageBoxes(const ScriptedUser& user);

// Makes `folderId` the folder on screen; an empty id means none.
void SetCurrentFolder(const std::string& folderId);

}  // namespace pellix
