// The module-wide values: the version text, the module's instance handle and the two paths the
// module entry computes (host/module_entry.h), and the paths of the style directory built from
// them. Written only while the module is attached; read without locks afterwards.
#pragma once

#include <cstddef>

#include "base/text.h"
#include "platform.h"

// The plug-in's version text, shown in the About box and the plug-in information and sent in
// the request and message headers.
constexpr char PlugInVersion[] = "1.31";

// The module instance handle the platform passed to the module entry: the module that holds the
// set-up dialog's template.
extern HINSTANCE g_moduleInstance;

// The full path of the feed settings file: the module's path with its extension replaced by
// ".ini".
extern char SettingsFilePath[kSettingsPathCapacity];

// The directory that holds the module file, without a trailing separator.
const char* ModuleDirectory();
// Replaces the module directory: the module entry sets it, and tests point the style directory
// at a scratch directory through it.
void SetModuleDirectory(const char* directory);

// The style directory: the module directory, the path separator and "RssStyles". False when the
// path does not fit `capacity` (`out` then holds it cut).
[[nodiscard]] bool StyleDirectoryPath(char* out, size_t capacity);

// True when `style` (a folder's "Styles" value) is the name of a file in the style directory, or
// empty: no separator, drive colon or "..", which would reach another directory, and no quote,
// angle bracket or control character, which would end the link it is shown through.
bool IsStyleName(const char* style);

// A folder's stylesheet: the style directory, the path separator and `style`, or "default.css"
// when `style` is empty. False when `style` is no style name (IsStyleName) or the path does not
// fit `capacity`; `out` then holds nothing of use.
[[nodiscard]] bool StylesheetPath(const char* style, char* out, size_t capacity);

// The dark sibling of a style, shown instead of it when the system's apps use the dark theme:
// "NAME-dark.css" for "NAME.css" (the ending in any case), "default-dark.css" for an empty style.
// False for a style without the ending, one that is a dark sibling already, or a name that does
// not fit `capacity`.
[[nodiscard]] bool DarkStyleName(const char* style, char* out, size_t capacity);

// The style whose dark sibling `name` is: "NAME.css" for "NAME-dark.css". False when `name` is no
// such sibling or the result does not fit `capacity`.
[[nodiscard]] bool LightStyleName(const char* name, char* out, size_t capacity);
