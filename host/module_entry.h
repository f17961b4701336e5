// The module entry: binds the host API and computes the module-wide paths of base/module.h.
#pragma once

#include <cstddef>

#include "platform.h"

// The work of the module entry. Only process attach does anything: it binds the host API and,
// when that succeeds, computes the two paths. Returns FALSE when the load must be refused: the
// host lacks what the plug-in needs, or the module's path is too long for the paths built from
// it, which cut would name another settings file and another style directory.
BOOL ModuleEntry(HINSTANCE instance, DWORD reason, LPVOID reserved);

// The two path rules, apart from the module file they start from.
// The settings path: everything from the last "." of the whole path is replaced by ".ini"; a
// path without "." gets ".ini" appended. False when the result does not fit `capacity` (`out`
// then holds it cut, terminated).
[[nodiscard]] bool MakeSettingsFilePath(const char* moduleFile, char* out, size_t capacity);
// The module directory: the path cut at its last "/" or "\", byte by byte from the end; a path
// with neither separator stays whole. False when the module file does not fit `capacity`.
[[nodiscard]] bool MakeModuleDirectory(const char* moduleFile, char* out, size_t capacity);
