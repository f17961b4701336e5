// The Windows implementation of the interface in codepage.h: UTF-16 in between, as Windows
// converts every text.
#include "platform/codepage.h"

#include <mbctype.h>

#include <cstring>
#include <vector>

#include "platform.h"

bool IsAnsiLeadByte(unsigned char byte) {
    return _ismbblead(byte) != 0;
}

namespace {

// UTF-16 of `length` bytes of `text` in `codePage`; empty when the text is not valid in it.
std::vector<wchar_t> Widen(UINT codePage, const char* text, size_t length) {
    std::vector<wchar_t> wide;
    if (length == 0 || length > 0x7FFFFFFF) {
        return wide;
    }
    const int count = static_cast<int>(length);
    const int units = MultiByteToWideChar(codePage, 0, text, count, nullptr, 0);
    if (units > 0) {
        wide.resize(static_cast<size_t>(units));
        MultiByteToWideChar(codePage, 0, text, count, wide.data(), units);
    }
    return wide;
}

bool Narrow(UINT codePage, const std::vector<wchar_t>& wide, char* out, size_t capacity) {
    if (capacity == 0) {
        return false;
    }
    out[0] = '\0';
    if (wide.empty()) {
        return true;
    }
    const int units = static_cast<int>(wide.size());
    const int size =
        WideCharToMultiByte(codePage, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    if (size <= 0 || static_cast<size_t>(size) >= capacity) {
        return false;
    }
    WideCharToMultiByte(codePage, 0, wide.data(), units, out, size, nullptr, nullptr);
    out[size] = '\0';
    return true;
}

}  // namespace

bool Utf8ToAnsi(const char* utf8, size_t length, char* out, size_t capacity) {
    return Narrow(CP_ACP, Widen(CP_UTF8, utf8, length), out, capacity);
}

bool AnsiToUtf8(const char* ansi, char* out, size_t capacity) {
    return Narrow(CP_UTF8, Widen(CP_ACP, ansi, strlen(ansi)), out, capacity);
}
