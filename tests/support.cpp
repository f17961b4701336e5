#include "tests/support.h"

#include <atomic>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include <gtest/gtest.h>

#include "platform.h"
#include "platform/process_facts.h"

namespace fs = std::filesystem;

namespace {

std::mutex g_tracesLock;
std::string g_traces;

}  // namespace

extern "C" QF_EXPORT void PellixDebugOutput(const char* text) {
    std::lock_guard<std::mutex> hold(g_tracesLock);
    // A test that looks at traces forgets the older ones first; the rest need not pile up.
    if (g_traces.size() > 8 * 1024 * 1024) {
        g_traces.clear();
    }
    g_traces += text;
    g_traces += '\n';
}

namespace {

std::atomic<bool> g_darkTheme{false};

#ifdef _WIN32
constexpr char kPersonalize[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
#endif

}  // namespace

extern "C" QF_EXPORT int PellixDarkTheme() {
    return g_darkTheme ? 1 : 0;
}

ScopedAppTheme::ScopedAppTheme(bool dark) {
    g_darkTheme = dark;
#ifdef _WIN32
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kPersonalize, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        ADD_FAILURE() << "the personalisation settings cannot be opened";
        return;
    }
    DWORD old = 1;
    DWORD size = sizeof old;
    DWORD type = 0;
    hadValue_ = RegQueryValueExA(key, "AppsUseLightTheme", nullptr, &type,
                                 reinterpret_cast<BYTE*>(&old), &size) == ERROR_SUCCESS &&
                type == REG_DWORD;
    oldValue_ = old;
    const DWORD light = dark ? 0 : 1;
    EXPECT_EQ(RegSetValueExA(key, "AppsUseLightTheme", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&light), sizeof light),
              ERROR_SUCCESS);
    RegCloseKey(key);
#endif
}

ScopedAppTheme::~ScopedAppTheme() {
    g_darkTheme = false;
#ifdef _WIN32
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPersonalize, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return;
    }
    if (hadValue_) {
        const DWORD old = static_cast<DWORD>(oldValue_);
        RegSetValueExA(key, "AppsUseLightTheme", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old),
                       sizeof old);
    } else {
        RegDeleteValueA(key, "AppsUseLightTheme");
    }
    RegCloseKey(key);
#endif
}

int TimeScale() {
    static const int scale = [] {
        const char* value = getenv("QF_TIME_SCALE");
        const long parsed = value != nullptr ? strtol(value, nullptr, 10) : 0;
        return parsed >= 1 && parsed <= 100 ? static_cast<int>(parsed) : 1;
    }();
    return scale;
}

std::string RecordedTraces() {
    std::lock_guard<std::mutex> hold(g_tracesLock);
    return g_traces;
}

void ForgetTraces() {
    std::lock_guard<std::mutex> hold(g_tracesLock);
    g_traces.clear();
}

ScratchDir::ScratchDir() {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path base = fs::temp_directory_path() /
                    ("quillfeed-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(base);
    path_ = base.string();
}

ScratchDir::~ScratchDir() {
    std::error_code error;
    fs::remove_all(path_, error);
}

std::string ScratchDir::File(const std::string& name) const {
    return path_ + QF_PATH_SEPARATOR + name;
}

int RunProgram(const std::string& program, const std::string& arguments, std::string* output) {
    return RunCommandLine("\"" + program + "\" " + arguments, output);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}
