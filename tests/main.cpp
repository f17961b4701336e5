// The test program's entry: GoogleTest, plus the paths of the built plug-in and stand-in host,
// which the end-to-end tests run.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "tests/support.h"

namespace {

std::string g_pluginPath;
std::string g_pellixPath;
std::string g_tlsFrontPorts;

}  // namespace

const std::string& PluginPath() {
    return g_pluginPath;
}
const std::string& PellixPath() {
    return g_pellixPath;
}

int TlsFrontPort(const char* kind) {
    std::ifstream ports(g_tlsFrontPorts);
    std::string name;
    int port = 0;
    while (ports >> name >> port) {
        if (name == kind) {
            return port;
        }
    }
    ADD_FAILURE() << "no TLS front port for " << kind << " (run with --tls-front=PATH)";
    return 0;
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], "--plugin=", 9) == 0) {
            g_pluginPath = argv[i] + 9;
        } else if (strncmp(argv[i], "--pellix=", 9) == 0) {
            g_pellixPath = argv[i] + 9;
        } else if (strncmp(argv[i], "--tls-front=", 12) == 0) {
            g_tlsFrontPorts = argv[i] + 12;
        }
    }
    return RUN_ALL_TESTS();
}
