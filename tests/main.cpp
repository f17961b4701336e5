// The test program's entry: GoogleTest, plus the paths of the built plug-in and stand-in host,
// which the end-to-end tests run.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/support.h"

namespace {

std::string g_pluginPath;
std::string g_pellixPath;

}  // namespace

const std::string& PluginPath() {
    return g_pluginPath;
}
const std::string& PellixPath() {
    return g_pellixPath;
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], "--plugin=", 9) == 0) {
            g_pluginPath = argv[i] + 9;
        } else if (strncmp(argv[i], "--pellix=", 9) == 0) {
            g_pellixPath = argv[i] + 9;
        }
    }
    return RUN_ALL_TESTS();
}
