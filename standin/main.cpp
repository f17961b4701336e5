// pellix: the stand-in Pellix host. It loads the plug-in the way the mail client does, answers
// the host functions from a mail store on disk, and drives the plug-in's events from the
// command line, so that tests, the demo and people can see what the plug-in does.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "loader.h"
#include "standin/host.h"

namespace {

const char kUsage[] =
    "usage: pellix [--data DIR] [--plugin PATH] [--host-version V] [--trace] COMMAND ...\n"
    "  load                 load the plug-in and say whether it bound the host API\n"
    "  mkfolder ID          make a folder (directory and empty index)\n"
    "  list ID              the folder's messages: number, date, sender, subject\n"
    "  info                 the plug-in information\n";

struct Options {
    std::string data = "pellix-data";
    std::string plugin;
    std::vector<std::string> command;
};

std::string DefaultPluginPath(const char* program) {
    std::filesystem::path here = std::filesystem::path(program).parent_path();
    return (here / QF_PLUGIN_FILE_NAME).string();
}

bool ParseOptions(int argc, char** argv, Options* options) {
    options->plugin = DefaultPluginPath(argv[0]);
    int at = 1;
    for (; at < argc && strncmp(argv[at], "--", 2) == 0; ++at) {
        std::string name = argv[at];
        if (name == "--trace") {
            pellix::State().trace = true;
            continue;
        }
        if (at + 1 >= argc) {
            return false;
        }
        std::string value = argv[++at];
        if (name == "--data") {
            options->data = value;
        } else if (name == "--plugin") {
            options->plugin = value;
        } else if (name == "--host-version") {
            pellix::State().version = value;
        } else {
            return false;
        }
    }
    for (; at < argc; ++at) {
        options->command.push_back(argv[at]);
    }
    return !options->command.empty();
}

template <typename Callback>
Callback FindCallback(HMODULE plugin, const char* name) {
    return reinterpret_cast<Callback>(reinterpret_cast<void (*)()>(GetProcAddress(plugin, name)));
}

int ListFolder(const std::string& folderId) {
    std::vector<pellix::IndexEntry> entries;
    if (!pellix::ReadIndex(folderId, &entries)) {
        pellix::Say("pellix: no folder " + folderId);
        return 1;
    }
    pellix::Say(std::to_string(entries.size()) + " message(s) in " + folderId);
    for (const pellix::IndexEntry& entry : entries) {
        pellix::Say(entry.number + " | " + entry.date + " | " + entry.sender + " | " +
                    entry.subject);
    }
    return 0;
}

int ShowInfo(HMODULE plugin) {
    auto info = FindCallback<decltype(&PXC_OnPlugInInfo)>(plugin, "PXC_OnPlugInInfo");
    if (info == nullptr) {
        pellix::Say("pellix: the plug-in does not export PXC_OnPlugInInfo");
        return 1;
    }
    PlugInInfo record;
    memset(&record, '#', sizeof record);
    info(&record);
    const char* fields[] = {record.name, record.vendor, record.version, record.description};
    const char* labels[] = {"name", "vendor", "version", "description"};
    for (int i = 0; i < 4; ++i) {
        pellix::Say(std::string(labels[i]) + ": " +
                    std::string(fields[i], strnlen(fields[i], kPlugInInfoFieldSize)));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        fputs(kUsage, stderr);
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(options.data, error);
    pellix::State().dataFolder = std::filesystem::absolute(options.data, error).string();

    const std::string& command = options.command[0];
    if (command == "mkfolder" && options.command.size() == 2) {
        bool made = pellix::MakeFolder(options.command[1]);
        pellix::Say(made ? "made folder " + options.command[1]
                         : "pellix: cannot make folder " + options.command[1]);
        return made ? 0 : 1;
    }
    if (command == "list" && options.command.size() == 2) {
        return ListFolder(options.command[1]);
    }

    HMODULE plugin = LoadLibraryA(options.plugin.c_str());
    if (plugin == nullptr) {
        DWORD code = GetLastError();
        std::string why = code == ERROR_DLL_INIT_FAILED
                              ? "the plug-in refused to load: it did not bind the host API"
                              : "cannot load the plug-in";
        std::string detail = LastLoadErrorText();
        pellix::Say("pellix: " + why + " (" + options.plugin + ", error " + std::to_string(code) +
                    (detail.empty() ? "" : ": " + detail) + ")");
        return 3;
    }
    int result = 2;
    if (command == "load") {
        pellix::Say("pellix " + pellix::State().version + ": loaded " + options.plugin +
                    "; the plug-in bound the host API");
        result = 0;
    } else if (command == "info") {
        result = ShowInfo(plugin);
    } else {
        fputs(kUsage, stderr);
    }
    FreeLibrary(plugin);
    return result;
}
