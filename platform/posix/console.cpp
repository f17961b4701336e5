// POSIX: a UTF-8 locale gets the text converted from the stand-in's ANSI code page with iconv;
// a byte the code page does not define becomes U+FFFD rather than ending the line.
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/codepage.h"
#include "platform/console.h"

namespace {

std::string ToUtf8(const char* text) {
    std::string out;
    const char* name = AnsiCodePageIconvName();
    iconv_t handle = name ? iconv_open("UTF-8", name) : reinterpret_cast<iconv_t>(-1);
    if (handle == reinterpret_cast<iconv_t>(-1)) {
        return text;
    }
    char* in = const_cast<char*>(text);
    size_t inLeft = strlen(text);
    char chunk[1024];
    while (inLeft > 0) {
        char* at = chunk;
        size_t room = sizeof chunk;
        const size_t result = iconv(handle, &in, &inLeft, &at, &room);
        out.append(chunk, static_cast<size_t>(at - chunk));
        if (result == static_cast<size_t>(-1) && errno != E2BIG) {
            // An undefined or cut character: one replacement mark, and on after its byte.
            out += "\xEF\xBF\xBD";
            ++in;
            --inLeft;
            iconv(handle, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(handle);
    return out;
}

}  // namespace

void WriteOutputLine(const char* text) {
    if (OutputLocaleIsUtf8()) {
        fputs(ToUtf8(text).c_str(), stdout);
    } else {
        fputs(text, stdout);
    }
    fputc('\n', stdout);
    fflush(stdout);
}

void WriteUtf8OutputLine(const char* text) {
    if (OutputLocaleIsUtf8()) {
        fputs(text, stdout);
    } else {
        std::string ansi(strlen(text) + 1, '\0');
        if (Utf8ToAnsi(text, strlen(text), &ansi[0], ansi.size())) {
            fputs(ansi.c_str(), stdout);
        }
    }
    fputc('\n', stdout);
    fflush(stdout);
}
