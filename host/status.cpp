#include "host/status.h"

#include <cstring>

#include "host/hostapi.h"

namespace {

constexpr size_t kMessageCapacity = 4096;

}  // namespace

int ShowStatus(const char* format, ...) {
    char text[kMessageCapacity];
    va_list args;
    va_start(args, format);
    FormatTextV(text, sizeof text, format, args);
    va_end(args);
    if (strlen(text) <= kStatusTextMax && g_hostApi.PXA_SetMessageText != nullptr) {
        g_hostApi.PXA_SetMessageText(nullptr, text);
    }
    return 0;
}

int Trace(const char* format, ...) {
    char text[kMessageCapacity];
    va_list args;
    va_start(args, format);
    FormatTextV(text, sizeof text, format, args);
    va_end(args);
    OutputDebugStringA(text);
    return 0;
}
