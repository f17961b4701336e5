// Win32: a console is written in UTF-16, which it shows whatever its code page; redirected output
// gets UTF-8 when the locale says so (a Unix terminal under Wine, a terminal such as mintty), and
// the ANSI bytes otherwise, as Windows programs write them.
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/codepage.h"
#include "platform/console.h"

namespace {

std::vector<WCHAR> ToUtf16(const char* text, UINT codePage = CP_ACP) {
    const int length = static_cast<int>(strlen(text));
    std::vector<WCHAR> wide(static_cast<size_t>(length) + 1);
    const int got = MultiByteToWideChar(codePage, 0, text, length, wide.data(), length + 1);
    wide.resize(static_cast<size_t>(got > 0 ? got : 0));
    return wide;
}

void WriteWide(HANDLE output, std::vector<WCHAR> wide) {
    wide.push_back(L'\r');
    wide.push_back(L'\n');
    DWORD written = 0;
    WriteConsoleW(output, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

}  // namespace

void WriteUtf8OutputLine(const char* text) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    fflush(stdout);
    if (output != INVALID_HANDLE_VALUE && GetConsoleMode(output, &mode)) {
        WriteWide(output, ToUtf16(text, CP_UTF8));
        return;
    }
    if (OutputLocaleIsUtf8()) {
        fputs(text, stdout);
    } else {
        std::vector<char> ansi(strlen(text) + 1);
        if (Utf8ToAnsi(text, strlen(text), ansi.data(), ansi.size())) {
            fputs(ansi.data(), stdout);
        }
    }
    fputc('\n', stdout);
    fflush(stdout);
}

void WriteOutputLine(const char* text) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    fflush(stdout);
    if (output != INVALID_HANDLE_VALUE && GetConsoleMode(output, &mode)) {
        WriteWide(output, ToUtf16(text));
        return;
    }
    if (OutputLocaleIsUtf8()) {
        std::vector<WCHAR> wide = ToUtf16(text);
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                             nullptr, 0, nullptr, nullptr);
        std::vector<char> bytes(static_cast<size_t>(size > 0 ? size : 0) + 1);
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(),
                            size, nullptr, nullptr);
        fwrite(bytes.data(), 1, static_cast<size_t>(size > 0 ? size : 0), stdout);
    } else {
        fputs(text, stdout);
    }
    fputc('\n', stdout);
    fflush(stdout);
}
