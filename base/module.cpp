#include "base/module.h"

HINSTANCE g_moduleInstance;
char SettingsFilePath[kSettingsPathCapacity];

namespace {

char g_moduleDirectory[kTextCapacity];

const char kStyleDirectory[] = "RssStyles";
const char kDefaultStyle[] = "default.css";

}  // namespace

const char* ModuleDirectory() {
    return g_moduleDirectory;
}

void SetModuleDirectory(const char* directory) {
    // The module entry hands a text of the same capacity; a test's longer one ends cut.
    static_cast<void>(CopyText(g_moduleDirectory, sizeof g_moduleDirectory, directory));
}

bool StyleDirectoryPath(char* out, size_t capacity) {
    return FormatText(out, capacity, "%s" QF_PATH_SEPARATOR "%s", ModuleDirectory(),
                      kStyleDirectory);
}

bool StylesheetPath(const char* style, char* out, size_t capacity) {
    return FormatText(out, capacity, "%s" QF_PATH_SEPARATOR "%s" QF_PATH_SEPARATOR "%s",
                      ModuleDirectory(), kStyleDirectory,
                      style != nullptr && style[0] != '\0' ? style : kDefaultStyle);
}
