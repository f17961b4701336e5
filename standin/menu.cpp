// The menu command: builds the plug-in's menu and shows its items.
#include "standin/menu.h"

#include <cstdlib>

#include "standin/commands.h"

namespace pellix {

HMENU BuildMenu(HMODULE plugin, int kind) {
    auto menuInit = PELLIX_CALLBACK(plugin, PXC_OnMenuInit);
    if (menuInit == nullptr) {
        Say("pellix: the plug-in does not export PXC_OnMenuInit");
        return nullptr;
    }
    HMENU menu = CreatePopupMenu();
    int result = menuInit(nullptr, menu, kind);
    if (result != 0) {
        Say("pellix: PXC_OnMenuInit answered " + std::to_string(result));
    }
    return menu;
}

PxCommandProc FindMenuCommand(HMODULE plugin, const char* label) {
    HMENU menu = BuildMenu(plugin, kPluginMenuKind);
    if (menu == nullptr) {
        return nullptr;
    }
    PxCommandProc found = nullptr;
    for (int i = 0; i < GetMenuItemCount(menu) && found == nullptr; ++i) {
        char text[kMenuLabelCapacity] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        if (std::string(text) != label) {
            continue;
        }
        int id = static_cast<int>(GetMenuItemID(menu, i));
        for (const RegisteredCommand& command : State().commands) {
            if (command.id == id) {
                found = command.callback;
            }
        }
    }
    DestroyMenu(menu);
    if (found == nullptr) {
        Say(std::string("pellix: the menu has no command \"") + label + "\"");
    }
    return found;
}

void SayMessageBoxes(const ScriptedUser& user) {
    for (const MessageBoxSeen& box : user.MessageBoxes()) {
        std::string text = box.text;
        std::string line;
        Say("message box \"" + box.caption + "\"" + (box.owned ? " (owned)" : "") + ":");
        for (char c : text) {
            if (c == '\n') {
                Say("  " + line);
                line.clear();
            } else if (c != '\r') {
                line += c;
            }
        }
        if (!line.empty()) {
            Say("  " + line);
        }
    }
}

void SetCurrentFolder(const std::string& folderId) {
    State().currentFolder = folderId;
}

}  // namespace pellix

namespace {

int MenuCommand(pellix::Session& session) {
    if (session.arguments.size() > 1) {
        return 2;
    }
    int kind = kPluginMenuKind;
    if (!session.arguments.empty() && !pellix::ParseNumber(session.arguments[0], &kind)) {
        return 2;
    }
    HMENU menu = pellix::BuildMenu(session.plugin, kind);
    if (menu == nullptr) {
        return 1;
    }
    int count = GetMenuItemCount(menu);
    pellix::Say("menu of kind " + std::to_string(kind) + ": " + std::to_string(count) + " item(s)");
    for (int i = 0; i < count; ++i) {
        char text[kMenuLabelCapacity] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        int id = static_cast<int>(GetMenuItemID(menu, i));
        std::string line = std::to_string(id) + " " + text;
        for (const pellix::RegisteredCommand& command : pellix::State().commands) {
            if (command.id == id) {
                line += " -> \"" + command.comment + "\" (kind " +
                        std::to_string(command.menuKind) + ")";
            }
        }
        pellix::Say(line);
    }
    DestroyMenu(menu);
    return 0;
}

const pellix::CommandRegistration kMenu(
    {"menu", "menu [KIND]          show the menu items that the plug-in added (kind 2 by default)",
     true, MenuCommand});

}  // namespace
