// Stands in for the ANSI code page calls with iconv and Windows' best-fit table for 1252.
#include "platform/codepage.h"

#include "bestfit1252.h"

#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::atomic<UINT> g_ansiCodePage{1252};
std::atomic<int> g_multiByteCodePage{1252};

struct CodePageName {
    UINT codePage;
    const char* iconvName;
};

const CodePageName kCodePages[] = {
    {874, "CP874"},   {932, "CP932"},   {936, "GBK"},     {949, "CP949"},   {950, "BIG5"},
    {1250, "CP1250"}, {1251, "CP1251"}, {1252, "CP1252"}, {1253, "CP1253"}, {1254, "CP1254"},
    {1255, "CP1255"}, {1256, "CP1256"}, {1257, "CP1257"}, {1258, "CP1258"},
};

const char* IconvName(UINT codePage) {
    for (const CodePageName& known : kCodePages) {
        if (known.codePage == codePage) {
            return known.iconvName;
        }
    }
    return nullptr;
}

// One converter per thread and code page: iconv handles must not be shared between threads.
struct Converter {
    UINT codePage = 0;
    iconv_t handle = reinterpret_cast<iconv_t>(-1);
    ~Converter() {
        if (handle != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(handle);
        }
    }
};

iconv_t ConverterFor(UINT codePage) {
    thread_local Converter converter;
    if (converter.codePage != codePage) {
        if (converter.handle != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(converter.handle);
        }
        const char* name = IconvName(codePage);
        converter.handle = name ? iconv_open(name, "UTF-16LE") : reinterpret_cast<iconv_t>(-1);
        converter.codePage = codePage;
    }
    return converter.handle;
}

// Converts one UTF-16 character (one unit, or a surrogate pair) into `bytes`; returns the byte
// count, or 0 when the code page cannot hold it.
size_t ConvertOne(iconv_t handle, const WCHAR* units, size_t count, char* bytes, size_t room) {
    unsigned char in[4];
    for (size_t i = 0; i < count; ++i) {
        in[2 * i] = static_cast<unsigned char>(units[i] & 0xFF);
        in[2 * i + 1] = static_cast<unsigned char>(units[i] >> 8);
    }
    char* inAt = reinterpret_cast<char*>(in);
    size_t inLeft = 2 * count;
    char* outAt = bytes;
    size_t outLeft = room;
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    if (iconv(handle, &inAt, &inLeft, &outAt, &outLeft) == static_cast<size_t>(-1)) {
        return 0;
    }
    return room - outLeft;
}

constexpr bool SortedByCharacter() {
    for (size_t i = 1; i < sizeof kBestFit1252 / sizeof kBestFit1252[0]; ++i) {
        if (kBestFit1252[i - 1].character >= kBestFit1252[i].character) {
            return false;
        }
    }
    return true;
}
static_assert(SortedByCharacter(), "the best-fit table is searched by halves");

// The near character Windows writes for one that code page 1252 lacks, or 0 where it writes the
// default character.
unsigned char BestFit1252(WCHAR c) {
    const BestFitEntry* end = kBestFit1252 + sizeof kBestFit1252 / sizeof kBestFit1252[0];
    const BestFitEntry* found = std::lower_bound(
        kBestFit1252, end, c,
        [](const BestFitEntry& entry, WCHAR key) { return entry.character < key; });
    return found != end && found->character == c ? found->byte : 0;
}

bool IsUnassigned1252(WCHAR c) {
    return c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

}  // namespace

UINT GetACP() {
    return g_ansiCodePage.load();
}

bool SelectAnsiCodePage(UINT codePage) {
    if (IconvName(codePage) == nullptr) {
        return false;
    }
    g_ansiCodePage = codePage;
    g_multiByteCodePage = static_cast<int>(codePage);
    return true;
}

int WideCharToMultiByte(UINT codePage, DWORD /*flags*/, const WCHAR* text, int length, char* out,
                        int outSize, const char* /*defaultChar*/, BOOL* usedDefault) {
    if (usedDefault != nullptr) {
        *usedDefault = FALSE;
    }
    if (text == nullptr || outSize < 0) {
        return 0;
    }
    if (codePage == CP_ACP) {
        codePage = GetACP();
    }
    iconv_t handle = ConverterFor(codePage);
    if (handle == reinterpret_cast<iconv_t>(-1)) {
        return 0;
    }
    size_t count = 0;
    if (length < 0) {
        while (text[count] != 0) {
            ++count;
        }
        ++count;
    } else {
        count = static_cast<size_t>(length);
    }

    int written = 0;
    for (size_t i = 0; i < count;) {
        // A surrogate pair is one character; a lone surrogate cannot be converted.
        size_t units = 1;
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < count && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            units = 2;
        }
        char bytes[8];
        size_t size = ConvertOne(handle, text + i, units, bytes, sizeof bytes);
        if (size == 0 && codePage == 1252 && IsUnassigned1252(text[i])) {
            // Windows keeps the five bytes code page 1252 leaves unassigned as the control
            // characters of the same number; iconv refuses them.
            bytes[0] = static_cast<char>(text[i]);
            size = 1;
        }
        if (size == 0 && codePage == 1252 && units == 1 && BestFit1252(text[i]) != 0) {
            bytes[0] = static_cast<char>(BestFit1252(text[i]));
            size = 1;
        }
        if (size == 0) {
            // As Windows does, each unit of a character the code page lacks becomes the default.
            size = units;
            memset(bytes, '?', units);
        }
        if (outSize != 0) {
            if (written + static_cast<int>(size) > outSize) {
                errno = ERANGE;
                return 0;
            }
            memcpy(out + written, bytes, size);
        }
        written += static_cast<int>(size);
        i += units;
    }
    return written;
}

int _ismbblead(unsigned int c) {
    c &= 0xFF;
    switch (g_multiByteCodePage.load()) {
        case 932:
            return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        case 936:
        case 949:
        case 950:
            return c >= 0x81 && c <= 0xFE;
        default:
            return 0;
    }
}

int _setmbcp(int codePage) {
    if (codePage <= 0 || IconvName(static_cast<UINT>(codePage)) == nullptr) {
        return -1;
    }
    g_multiByteCodePage = codePage;
    return 0;
}
