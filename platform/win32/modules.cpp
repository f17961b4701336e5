// The process's modules through the system's module functions: the Windows side of modules.h.
#include "platform/modules.h"

#include <cstring>

#include "platform.h"

const void* MainProgram() {
    return GetModuleHandleA(nullptr);
}

ExportedProc FindExport(const void* module, const char* name) {
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<ExportedProc>(
        GetProcAddress(static_cast<HMODULE>(const_cast<void*>(module)), name));
}

bool ModuleFilePath(const void* instance, char* out, size_t capacity) {
    if (capacity < 2) {
        if (capacity == 1) {
            out[0] = '\0';
        }
        return false;
    }
    // GetModuleFileNameA may leave the buffer unterminated when the path does not fit; a name
    // that fills the room given may have been cut, so the room is one short of the buffer and a
    // name that fills it counts as cut.
    out[capacity - 1] = '\0';
    const DWORD room = capacity - 1 < 0x7fffffffu ? static_cast<DWORD>(capacity - 1) : 0x7fffffffu;
    const DWORD length =
        GetModuleFileNameA(static_cast<HMODULE>(const_cast<void*>(instance)), out, room);
    if (length == 0 || length >= room - 1) {
        out[0] = '\0';
        return false;
    }
    return true;
}
