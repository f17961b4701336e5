#include "base/status.h"

#include <cstring>

#include "base/hostapi.h"
#include "platform/debug_output.h"

int ShowStatus(const char* format, ...) {
    char text[kFormatCapacity];
    va_list args;
    va_start(args, format);
    // A text that does not even fit the buffer is far too long for the status line.
    const bool whole = FormatTextV(text, sizeof text, format, args);
    va_end(args);
    if (whole && strlen(text) <= kStatusTextMax && g_hostApi.PXA_SetMessageText != nullptr) {
        g_hostApi.PXA_SetMessageText(nullptr, text);
    }
    return 0;
}

int Trace(const char* format, ...) {
    char text[kFormatCapacity];
    va_list args;
    va_start(args, format);
    // A trace is for a person reading along; its first 4095 characters say enough.
    static_cast<void>(FormatTextV(text, sizeof text, format, args));
    va_end(args);
    WriteDebugText(text);
    return 0;
}
