// The stand-in host's commands. Each lives in a file of its own and registers itself with a
// static CommandRegistration, so that adding a command touches no shared table.
#pragma once

#include <string>
#include <vector>

#include "platform.h"

namespace pellix {

// What a command works with: the loaded plug-in (null for commands that need none) and the
// command's own words after its name.
struct Session {
    HMODULE plugin;
    std::vector<std::string> arguments;
};

typedef int (*CommandProc)(Session& session);

struct CommandInfo {
    const char* name;
    const char* usage;  // one line for the usage text, "name ARGS  what it does"
    bool needsPlugin;
    CommandProc run;
};

class CommandRegistration {
public:
    explicit CommandRegistration(const CommandInfo& info);
};

const std::vector<CommandInfo>& Commands();

// Finds a callback the plug-in exports, typed as its declaration in host/pxapi.h.
template <typename Callback>
Callback FindCallback(HMODULE plugin, const char* name) {
    return reinterpret_cast<Callback>(reinterpret_cast<void (*)()>(GetProcAddress(plugin, name)));
}
#define PELLIX_CALLBACK(plugin, name) pellix::FindCallback<decltype(&name)>(plugin, #name)

// Reads a whole decimal number of int range (an optional sign and digits, nothing else) into
// `value`; false for any other text.
bool ParseNumber(const std::string& text, int* value);

}  // namespace pellix
