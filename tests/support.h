// What the tests share: the built programs, scratch directories and a way to run a program.
#pragma once

#include <string>

// The plug-in module and the stand-in host built with this test program (empty when not given).
const std::string& PluginPath();
const std::string& PellixPath();

// The port of the TLS front (scripts/tls-front.py) that shows the certificate `kind` ("good",
// "expired", "wrongname", "untrusted" or "sni"), from the file given with --tls-front=PATH; 0
// when there is none, which fails the test that asks.
int TlsFrontPort(const char* kind);

// The real proxies the test command starts on loopback (scripts/test-proxies.sh), from the file
// given with --proxies=PATH: the port of "open" (no login) or "login" (Basic), 0 when there is
// none, which fails the test that asks; and the login proxy's "user:password".
int ProxyPort(const char* kind);
std::string ProxyLogin();

// How many times longer the tests' wall-clock limits are on this machine: QF_TIME_SCALE (the
// emulated machine sets it, where programs run 10 to 50 times slower), else 1. Limits that say
// when to give up waiting scale by it; limits a test sets for the code under test do not.
int TimeScale();

// The traces of the plug-in's code in this program since ForgetTraces, which the POSIX side hands
// to the program's PellixDebugOutput (Windows hands them to a debugger: none are recorded there).
std::string RecordedTraces();
void ForgetTraces();

// The system's apps use the dark theme (or the light one) for the object's lifetime: on Windows
// the signed-in user's AppsUseLightTheme value, put back afterwards; natively what this program's
// PellixDarkTheme export answers.
class ScopedAppTheme {
public:
    explicit ScopedAppTheme(bool dark);
    ~ScopedAppTheme();
    ScopedAppTheme(const ScopedAppTheme&) = delete;
    ScopedAppTheme& operator=(const ScopedAppTheme&) = delete;

private:
    bool hadValue_ = false;
    unsigned long oldValue_ = 1;
};

// A fresh directory under the system's temporary directory, removed with everything in it when
// the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    // The path of `name` inside the directory, joined with the platform's separator.
    std::string File(const std::string& name) const;

private:
    std::string path_;
};

// Runs a program with its arguments (each quoted), collecting its output. Returns its exit code.
int RunProgram(const std::string& program, const std::string& arguments, std::string* output);

// Reads a whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// Writes a whole file; false when it cannot be written.
bool WriteFile(const std::string& path, const std::string& bytes);
