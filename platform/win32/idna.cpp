// The Windows implementation of the interface in idna.h: IdnToAscii, which kernel32 has since
// Vista and normaliz.dll before it; it is looked up rather than linked, so that the module loads
// on a system that lacks both (an address in another script is then said not valid).
#include "platform/idna.h"

#include "platform.h"

namespace {

typedef int(WINAPI* IdnToAsciiFunction)(DWORD flags, LPCWSTR unicode, int unicodeLength,
                                        LPWSTR ascii, int asciiLength);

IdnToAsciiFunction FindIdnToAscii() {
    HMODULE module = GetModuleHandleA("kernel32.dll");
    FARPROC found = module != nullptr ? GetProcAddress(module, "IdnToAscii") : nullptr;
    if (found == nullptr) {
        module = LoadLibraryA("normaliz.dll");
        found = module != nullptr ? GetProcAddress(module, "IdnToAscii") : nullptr;
    }
    return reinterpret_cast<IdnToAsciiFunction>(reinterpret_cast<void (*)()>(found));
}

// The longest host name, in characters.
constexpr int kHostCharacters = 256;

}  // namespace

bool HostToAscii(const char* host, size_t length, char* out, size_t capacity) {
    static const IdnToAsciiFunction idnToAscii = FindIdnToAscii();
    if (idnToAscii == nullptr || length == 0 || length > kHostCharacters * 4) {
        return false;
    }
    WCHAR wide[kHostCharacters * 4];
    const int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, host,
                                               static_cast<int>(length), wide, kHostCharacters * 4);
    if (wideLength <= 0) {
        return false;
    }
    WCHAR ascii[kHostCharacters];
    const int asciiLength = idnToAscii(0, wide, wideLength, ascii, kHostCharacters);
    if (asciiLength <= 0 || static_cast<size_t>(asciiLength) >= capacity) {
        return false;
    }
    for (int i = 0; i < asciiLength; ++i) {
        if (ascii[i] > 0x7F) {
            return false;
        }
        out[i] = static_cast<char>(ascii[i]);
    }
    out[asciiLength] = '\0';
    return true;
}
