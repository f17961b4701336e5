#include "host/module.h"

#include <cstring>

#include "host/hostapi.h"

HINSTANCE g_moduleInstance;
char SettingsFilePath[kSettingsPathCapacity];

namespace {

char g_moduleDirectory[kTextCapacity];

}  // namespace

const char* ModuleDirectory() {
    return g_moduleDirectory;
}

void SetModuleDirectory(const char* directory) {
    CopyText(g_moduleDirectory, sizeof g_moduleDirectory, directory);
}

void MakeSettingsFilePath(const char* moduleFile, char* out, size_t capacity) {
    CopyText(out, capacity, moduleFile);
    char* dot = strrchr(out, '.');
    if (dot != nullptr) {
        *dot = '\0';
    }
    AppendText(out, capacity, ".ini");
}

void MakeModuleDirectory(const char* moduleFile, char* out, size_t capacity) {
    CopyText(out, capacity, moduleFile);
    for (size_t i = strlen(out); i > 0; --i) {
        if (out[i - 1] == '/' || out[i - 1] == '\\') {
            out[i - 1] = '\0';
            break;
        }
    }
}

BOOL ModuleEntry(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    g_moduleInstance = instance;
    if (reason != DLL_PROCESS_ATTACH) {
        return TRUE;
    }
    if (!g_hostApi.Bind()) {
        return FALSE;
    }

    // GetModuleFileNameA may leave the buffer unterminated when the path does not fit.
    char moduleFile[kTextCapacity] = {};
    GetModuleFileNameA(instance, moduleFile, sizeof moduleFile - 1);
    char shortFile[kSettingsPathCapacity] = {};
    CopyText(shortFile, sizeof shortFile, moduleFile);
    MakeSettingsFilePath(shortFile, SettingsFilePath, sizeof SettingsFilePath);
    MakeModuleDirectory(moduleFile, g_moduleDirectory, sizeof g_moduleDirectory);
    return TRUE;
}
