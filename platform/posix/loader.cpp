// Stands in for the Win32 loader with dlopen; the module entry runs as the Windows loader runs it.
#include "platform/loader.h"

#include <dlfcn.h>

#include <string>

namespace {

typedef BOOL (*ModuleEntryProc)(HINSTANCE instance, DWORD reason, LPVOID reserved);

thread_local DWORD g_lastError;
thread_local std::string g_lastLoadError;

}  // namespace

HMODULE LoadLibraryA(const char* fileName) {
    void* module = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* why = dlerror();
        g_lastLoadError = why ? why : "";
        g_lastError = ERROR_MOD_NOT_FOUND;
        return nullptr;
    }
    auto entry = reinterpret_cast<ModuleEntryProc>(dlsym(module, "DllMain"));
    if (entry != nullptr && !entry(module, DLL_PROCESS_ATTACH, nullptr)) {
        dlclose(module);
        g_lastError = ERROR_DLL_INIT_FAILED;
        return nullptr;
    }
    return module;
}

BOOL FreeLibrary(HMODULE module) {
    if (module == nullptr) {
        return FALSE;
    }
    auto entry = reinterpret_cast<ModuleEntryProc>(dlsym(module, "DllMain"));
    if (entry != nullptr) {
        entry(module, DLL_PROCESS_DETACH, nullptr);
    }
    return dlclose(module) == 0 ? TRUE : FALSE;
}

DWORD GetLastError() {
    return g_lastError;
}

const char* LastLoadErrorText() {
    return g_lastLoadError.c_str();
}
