// Whether the output is read as UTF-8: the one part of the stand-in host's output conversion that
// both sides share.
#include "platform/console.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

bool OutputLocaleIsUtf8() {
    // The variables in the order POSIX gives them precedence; an empty one counts as unset.
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = getenv(name);
        if (value == nullptr || value[0] == '\0') {
            continue;
        }
        const char* dot = strchr(value, '.');
        if (dot == nullptr) {
            return false;
        }
        char codeset[16] = {};
        size_t length = 0;
        for (const char* c = dot + 1; *c != '\0' && *c != '@' && length + 1 < sizeof codeset; ++c) {
            if (*c != '-') {
                codeset[length++] = static_cast<char>(*c >= 'A' && *c <= 'Z' ? *c - 'A' + 'a' : *c);
            }
        }
        return strcmp(codeset, "utf8") == 0;
    }
    return false;
}
