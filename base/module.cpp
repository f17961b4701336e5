#include "base/module.h"

#include <cstring>

HINSTANCE g_moduleInstance;
char SettingsFilePath[kSettingsPathCapacity];

namespace {

char g_moduleDirectory[kPathCapacity];

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

bool IsStyleName(const char* style) {
    if (style == nullptr || strstr(style, "..") != nullptr) {
        return false;
    }
    for (const char* at = style; *at != '\0'; ++at) {
        const unsigned char c = static_cast<unsigned char>(*at);
        if (c < 0x20 || c == 0x7F || strchr("/\\:\"'<>", c) != nullptr) {
            return false;
        }
    }
    return true;
}

bool StylesheetPath(const char* style, char* out, size_t capacity) {
    if (capacity > 0) {
        out[0] = '\0';
    }
    if (!IsStyleName(style)) {
        return false;
    }
    return FormatText(out, capacity, "%s" QF_PATH_SEPARATOR "%s" QF_PATH_SEPARATOR "%s",
                      ModuleDirectory(), kStyleDirectory,
                      style != nullptr && style[0] != '\0' ? style : kDefaultStyle);
}
