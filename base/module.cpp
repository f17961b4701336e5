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

namespace {

constexpr char kCssEnding[] = ".css";
constexpr char kDarkEnding[] = "-dark.css";

bool EndsWithAsciiWord(const char* text, size_t length, const char* word) {
    const size_t wordLength = strlen(word);
    return length >= wordLength && SameAsciiWord(text + length - wordLength, wordLength, word);
}

}  // namespace

bool DarkStyleName(const char* style, char* out, size_t capacity) {
    const char* name = style != nullptr && style[0] != '\0' ? style : kDefaultStyle;
    const size_t length = strlen(name);
    if (!EndsWithAsciiWord(name, length, kCssEnding) ||
        EndsWithAsciiWord(name, length, kDarkEnding)) {
        return false;
    }
    return FormatText(out, capacity, "%.*s%s", static_cast<int>(length - (sizeof kCssEnding - 1)),
                      name, kDarkEnding);
}

bool LightStyleName(const char* name, char* out, size_t capacity) {
    const size_t length = name != nullptr ? strlen(name) : 0;
    if (length <= sizeof kDarkEnding - 1 || !EndsWithAsciiWord(name, length, kDarkEnding)) {
        return false;
    }
    return FormatText(out, capacity, "%.*s%s", static_cast<int>(length - (sizeof kDarkEnding - 1)),
                      name, kCssEnding);
}
