// Traces through the system's debug output: the Windows side of debug_output.h.
#include "platform/debug_output.h"

#include "platform.h"

void WriteDebugText(const char* text) {
    if (text != nullptr) {
        OutputDebugStringA(text);
    }
}
