// The test program's entry: GoogleTest, plus the paths of the built plug-in and stand-in host,
// which the end-to-end tests run.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support.h"

namespace {

std::string g_pluginPath;
std::string g_pellixPath;
std::string g_tlsFrontPorts;
std::string g_proxies;

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

namespace {

// A line of the proxies' file: "KIND PORT [USER PASSWORD]".
bool FindProxy(const char* kind, int* port, std::string* login) {
    std::ifstream lines(g_proxies);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string name;
        std::string user;
        std::string password;
        if (words >> name >> *port && name == kind) {
            if (words >> user >> password) {
                *login = user + ":" + password;
            }
            return true;
        }
    }
    ADD_FAILURE() << "no proxy " << kind << " (run with --proxies=PATH)";
    return false;
}

}  // namespace

int ProxyPort(const char* kind) {
    int port = 0;
    std::string login;
    return FindProxy(kind, &port, &login) ? port : 0;
}

std::string ProxyLogin() {
    int port = 0;
    std::string login;
    return FindProxy("login", &port, &login) ? login : std::string();
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
        } else if (strncmp(argv[i], "--proxies=", 10) == 0) {
            g_proxies = argv[i] + 10;
        }
    }
    return RUN_ALL_TESTS();
}
