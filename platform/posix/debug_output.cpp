// Stands in for OutputDebugStringA. Windows hands the text to an attached debugger; here the
// host program plays that part by exporting PellixDebugOutput, which it may or may not print.
#include <dlfcn.h>

#include "platform/debug_output.h"

namespace {

typedef void (*DebugSink)(const char* text);

DebugSink FindSink() {
    return reinterpret_cast<DebugSink>(dlsym(RTLD_DEFAULT, "PellixDebugOutput"));
}

}  // namespace

void OutputDebugStringA(const char* text) {
    static const DebugSink sink = FindSink();
    if (sink != nullptr && text != nullptr) {
        sink(text);
    }
}
