// pellix: the stand-in Pellix host. It loads the plug-in the way the mail client does, answers
// the host functions from a mail store on disk, and drives the plug-in's events from the
// command line, so that tests, the demo and people can see what the plug-in does.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/loader.h"
#include "platform/process_facts.h"
#include "standin/commands.h"
#include "standin/host.h"

namespace {

struct Options {
    std::string data = "pellix-data";
    std::string plugin;
    std::vector<std::string> words;
};

void PrintUsage() {
    fputs(
        "usage: pellix [--data DIR] [--plugin PATH] [--host-version V] [--trace] [--dark]\n"
        "              [--worker-wait SECONDS] [--disk-room BYTES] COMMAND ...\n"
        "  --dark: natively, the system's apps use the dark theme (Windows: the user's setting)\n"
        "  --worker-wait: how long to wait for the plug-in's workers before exit (default 420)\n"
        "  --disk-room: the store acts as a disk with only this many bytes free (for tests)\n",
        stderr);
    for (const pellix::CommandInfo& command : pellix::Commands()) {
        fprintf(stderr, "  %s\n", command.usage);
    }
}

bool ParseOptions(int argc, char** argv, Options* options) {
    options->plugin = (std::filesystem::path(argv[0]).parent_path() / QF_PLUGIN_FILE_NAME).string();
    int at = 1;
    for (; at < argc && strncmp(argv[at], "--", 2) == 0; ++at) {
        std::string name = argv[at];
        if (name == "--trace") {
            pellix::State().trace = true;
            continue;
        }
        if (name == "--dark") {
            pellix::State().dark = true;
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
        } else if (name == "--worker-wait") {
            if (!pellix::ParseNumber(value, &pellix::State().workerWaitSeconds) ||
                pellix::State().workerWaitSeconds < 0) {
                return false;
            }
        } else if (name == "--disk-room") {
            if (!pellix::ParseNumber(value, &pellix::State().diskRoom) ||
                pellix::State().diskRoom < 0) {
                return false;
            }
        } else {
            return false;
        }
    }
    for (; at < argc; ++at) {
        options->words.push_back(argv[at]);
    }
    return !options->words.empty();
}

const pellix::CommandInfo* FindCommand(const std::string& name) {
    for (const pellix::CommandInfo& command : pellix::Commands()) {
        if (name == command.name) {
            return &command;
        }
    }
    return nullptr;
}

int Load(pellix::Session&) {
    pellix::Say("pellix " + pellix::State().version +
                ": loaded the plug-in; it bound the host API");
    return 0;
}

const pellix::CommandRegistration kLoad(
    {"load", "load                 load the plug-in and say whether it bound the host API", true,
     Load});

}  // namespace

int main(int argc, char** argv) {
    Options options;
    const pellix::CommandInfo* command = nullptr;
    if (!ParseOptions(argc, argv, &options) ||
        (command = FindCommand(options.words[0])) == nullptr) {
        PrintUsage();
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(options.data, error);
    pellix::State().dataFolder = std::filesystem::absolute(options.data, error).string();

    pellix::Session session = {nullptr, {options.words.begin() + 1, options.words.end()}};
    if (command->needsPlugin) {
        session.plugin = LoadLibraryA(options.plugin.c_str());
        if (session.plugin == nullptr) {
            DWORD code = GetLastError();
            std::string why = code == ERROR_DLL_INIT_FAILED
                                  ? "the plug-in refused to load: it could not bind the host API"
                                  : "cannot load the plug-in";
            std::string detail = LastLoadErrorText();
            pellix::Say("pellix: " + why + " (" + options.plugin + ", error " +
                        std::to_string(code) + (detail.empty() ? "" : ": " + detail) + ")");
            return 3;
        }
    }
    const ThreadMark before = MarkThreads();
    int result = command->run(session);
    if (session.plugin == nullptr) {
        return result;
    }
    // The plug-in reports no completion: the host waits for the threads it started. A worker
    // still running in an unloaded module would crash the process, so a plug-in whose workers do
    // not end stays loaded until the process exits.
    const int seconds = pellix::State().workerWaitSeconds;
    if (!WaitForThreadsSince(before, static_cast<unsigned>(std::min(seconds, 1000000)) * 1000u)) {
        pellix::Say("pellix: the plug-in's workers did not end within " + std::to_string(seconds) +
                    " s; it stays loaded");
        return result != 0 ? result : 1;
    }
    FreeLibrary(session.plugin);
    return result;
}
