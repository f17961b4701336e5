// Traces to the host program: Windows hands them to an attached debugger; here the host program
// plays that part by exporting PellixDebugOutput, which it may or may not print. The POSIX side of
// debug_output.h.
#include <dlfcn.h>

#include "platform/debug_output.h"

namespace {

typedef void (*DebugSink)(const char* text);

DebugSink FindSink() {
    return reinterpret_cast<DebugSink>(dlsym(RTLD_DEFAULT, "PellixDebugOutput"));
}

}  // namespace

void WriteDebugText(const char* text) {
    static const DebugSink sink = FindSink();
    if (sink != nullptr && text != nullptr) {
        sink(text);
    }
}
