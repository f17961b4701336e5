#include "host/module_entry.h"

#include <cstring>

#include "base/hostapi.h"
#include "base/module.h"
#include "platform/modules.h"

bool MakeSettingsFilePath(const char* moduleFile, char* out, size_t capacity) {
    const bool whole = CopyText(out, capacity, moduleFile);
    char* dot = strrchr(out, '.');
    if (dot != nullptr) {
        *dot = '\0';
    }
    return AppendText(out, capacity, ".ini") && whole;
}

bool MakeModuleDirectory(const char* moduleFile, char* out, size_t capacity) {
    const bool whole = CopyText(out, capacity, moduleFile);
    for (size_t i = strlen(out); i > 0; --i) {
        if (out[i - 1] == '/' || out[i - 1] == '\\') {
            out[i - 1] = '\0';
            break;
        }
    }
    return whole;
}

BOOL ModuleEntry(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    g_moduleInstance = instance;
    if (reason != DLL_PROCESS_ATTACH) {
        return TRUE;
    }
    if (!g_hostApi.Bind()) {
        return FALSE;
    }

    char moduleFile[kPathCapacity];
    char directory[kPathCapacity];
    if (!ModuleFilePath(instance, moduleFile, sizeof moduleFile) ||
        !MakeSettingsFilePath(moduleFile, SettingsFilePath, sizeof SettingsFilePath) ||
        !MakeModuleDirectory(moduleFile, directory, sizeof directory)) {
        SettingsFilePath[0] = '\0';
        return FALSE;
    }
    SetModuleDirectory(directory);
    return TRUE;
}
