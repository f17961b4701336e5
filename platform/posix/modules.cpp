// The process's modules through dlopen, dlsym and dladdr: the POSIX side of modules.h. Also the
// stand-ins of the Win32 module functions the stand-in host calls (GetModuleHandleA(NULL),
// GetProcAddress, GetModuleFileNameA, lstrlenA, lstrcpynA and lstrcmpA). Only the main executable
// can be asked for by handle; named modules are not supported because nothing asks for one.
#include <dlfcn.h>

#include <climits>
#include <cstring>

#include "platform.h"
#include "platform/modules.h"

HMODULE GetModuleHandleA(const char* moduleName) {
    if (moduleName != nullptr) {
        return nullptr;
    }
    return dlopen(nullptr, RTLD_LAZY);
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(dlsym(module, name));
}

DWORD GetModuleFileNameA(HMODULE /*module*/, char* fileName, DWORD size) {
    if (size == 0) {
        return 0;
    }
    // The file that holds this very function: the plug-in module when it is loaded as one.
    Dl_info info = {};
    if (dladdr(reinterpret_cast<void*>(&GetModuleFileNameA), &info) == 0 ||
        info.dli_fname == nullptr) {
        fileName[0] = '\0';
        return 0;
    }
    // As on Windows: a name that does not fit is cut and the result is not terminated on XP;
    // here it is always terminated.
    lstrcpynA(fileName, info.dli_fname, size > INT_MAX ? INT_MAX : static_cast<int>(size));
    return static_cast<DWORD>(strlen(fileName));
}

int lstrlenA(const char* text) {
    return text ? static_cast<int>(strlen(text)) : 0;
}

char* lstrcpynA(char* to, const char* from, int size) {
    if (to == nullptr || size <= 0) {
        return to;
    }
    size_t taken = from != nullptr ? strnlen(from, static_cast<size_t>(size) - 1) : 0;
    if (taken > 0) {
        memcpy(to, from, taken);
    }
    to[taken] = '\0';
    return to;
}

int lstrcmpA(const char* a, const char* b) {
    int order = strcmp(a ? a : "", b ? b : "");
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

const void* MainProgram() {
    return dlopen(nullptr, RTLD_LAZY);
}

ExportedProc FindExport(const void* module, const char* name) {
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<ExportedProc>(dlsym(const_cast<void*>(module), name));
}

bool ModuleFilePath(const void* /*instance*/, char* out, size_t capacity) {
    if (capacity == 0) {
        return false;
    }
    out[0] = '\0';
    // The file that holds this very function: the plug-in module when it is loaded as one.
    Dl_info info = {};
    if (dladdr(reinterpret_cast<void*>(&ModuleFilePath), &info) == 0 || info.dli_fname == nullptr ||
        strlen(info.dli_fname) >= capacity) {
        return false;
    }
    memcpy(out, info.dli_fname, strlen(info.dli_fname) + 1);
    return true;
}
