#include "standin/commands.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace pellix {
namespace {

std::vector<CommandInfo>& Registry() {
    static std::vector<CommandInfo> commands;
    return commands;
}

}  // namespace

CommandRegistration::CommandRegistration(const CommandInfo& info) {
    Registry().push_back(info);
}

const std::vector<CommandInfo>& Commands() {
    return Registry();
}

bool ParseNumber(const std::string& text, int* value) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    long number = strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || number < INT_MIN || number > INT_MAX) {
        return false;
    }
    *value = static_cast<int>(number);
    return true;
}

}  // namespace pellix
