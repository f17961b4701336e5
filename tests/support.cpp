#include "tests/support.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

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
