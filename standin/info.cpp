// The plug-in information, as the host's plug-in list shows it.
#include <cstring>

#include "standin/commands.h"
#include "standin/host.h"

namespace {

int InfoCommand(pellix::Session& session) {
    auto info = PELLIX_CALLBACK(session.plugin, PXC_OnPlugInInfo);
    if (info == nullptr) {
        pellix::Say("pellix: the plug-in does not export PXC_OnPlugInInfo");
        return 1;
    }
    // The host's record holds whatever was there before; the plug-in must terminate each field.
    PlugInInfo record;
    memset(&record, '#', sizeof record);
    info(&record);
    const char* fields[] = {record.name, record.vendor, record.version, record.description};
    const char* labels[] = {"name", "vendor", "version", "description"};
    for (int i = 0; i < 4; ++i) {
        pellix::Say(std::string(labels[i]) + ": " +
                    std::string(fields[i], strnlen(fields[i], kPlugInInfoFieldCapacity)));
    }
    return 0;
}

const pellix::CommandRegistration kInfo({"info", "info                 the plug-in information",
                                         true, InfoCommand});

}  // namespace
