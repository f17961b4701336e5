// The module entry and the process-wide values it computes.
#pragma once

#include <cstddef>

#include "host/text.h"
#include "platform.h"

// The plug-in's version text, shown in the About box and the plug-in information and sent in
// the request and message headers.
constexpr char PlugInVersion[] = "1.31";

// The module instance handle the platform passed to the module entry: the module that holds the
// set-up dialog's template.
extern HINSTANCE g_moduleInstance;

// The full path of the feed settings file: the module's path with its extension replaced by
// ".ini". Written once, while the module is attached; read-only afterwards.
extern char SettingsFilePath[kSettingsPathCapacity];

// The directory that holds the module file, without a trailing separator.
const char* ModuleDirectory();
// Replaces the module directory: the seam through which tests point the style directory at a
// scratch directory. The module itself never calls it.
void SetModuleDirectory(const char* directory);

// The work of the module entry. Only process attach does anything: it binds the host API and,
// when that succeeds, computes the two paths. Returns FALSE when the load must be refused.
BOOL ModuleEntry(HINSTANCE instance, DWORD reason, LPVOID reserved);

// The two path rules, apart from the module file they start from.
// The settings path: everything from the last "." of the whole path is replaced by ".ini"; a
// path without "." gets ".ini" appended.
void MakeSettingsFilePath(const char* moduleFile, char* out, size_t capacity);
// The module directory: the path cut at its last "/" or "\", byte by byte from the end; a path
// with neither separator stays whole.
void MakeModuleDirectory(const char* moduleFile, char* out, size_t capacity);
