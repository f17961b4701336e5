// Stands in for the ANSI code page calls with iconv and Windows' best-fit table for 1252.
#include "platform/codepage.h"

#include "platform.h"

#include "bestfit1252.h"

#include <iconv.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

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

const char* AnsiCodePageIconvName() {
    return IconvName(GetACP());
}

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

namespace {

// What one UTF-16 unit becomes in a code page: one byte (below 0x100), two (a lead byte of 0x80
// or more, then the trail byte), or the default character.
constexpr uint16_t kDefaultCharacter = 0xFFFF;

// The answers for one code page of kCodePages, worked out with iconv a block of 256 units at a time
// when a text first needs them, and read without a lock afterwards: a conversion costs a table
// look-up per character instead of an iconv call.
struct CodePageTable {
    std::atomic<uint16_t*> blocks[256] = {};
};

std::mutex g_tableLock;
CodePageTable g_tables[sizeof kCodePages / sizeof kCodePages[0]];
uint16_t g_blockRoom[sizeof kCodePages / sizeof kCodePages[0]][256][256];

uint16_t WorkOut(iconv_t handle, UINT codePage, WCHAR unit) {
    if (unit >= 0xD800 && unit <= 0xDFFF) {
        return kDefaultCharacter;
    }
    char bytes[8];
    size_t size = ConvertOne(handle, &unit, 1, bytes, sizeof bytes);
    if (size == 0 && codePage == 1252 && IsUnassigned1252(unit)) {
        // Windows keeps the five bytes code page 1252 leaves unassigned as the control characters
        // of the same number; iconv refuses them.
        return unit;
    }
    if (size == 0 && codePage == 1252 && BestFit1252(unit) != 0) {
        return BestFit1252(unit);
    }
    if (size == 1) {
        return static_cast<unsigned char>(bytes[0]);
    }
    if (size == 2 && static_cast<unsigned char>(bytes[0]) >= 0x80) {
        return static_cast<uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 |
                                     static_cast<unsigned char>(bytes[1]));
    }
    return kDefaultCharacter;
}

const uint16_t* Block(size_t known, WCHAR unit) {
    std::atomic<uint16_t*>& slot = g_tables[known].blocks[unit >> 8];
    uint16_t* block = slot.load(std::memory_order_acquire);
    if (block != nullptr) {
        return block;
    }
    std::lock_guard<std::mutex> hold(g_tableLock);
    block = slot.load(std::memory_order_relaxed);
    if (block != nullptr) {
        return block;
    }
    const UINT codePage = kCodePages[known].codePage;
    const char* name = kCodePages[known].iconvName;
    iconv_t handle = name ? iconv_open(name, "UTF-16LE") : reinterpret_cast<iconv_t>(-1);
    if (handle == reinterpret_cast<iconv_t>(-1)) {
        return nullptr;
    }
    // Static room, not the heap: a table lives as long as the module, whoever unloads it when,
    // and the pages of blocks no text needed are never touched.
    block = g_blockRoom[known][unit >> 8];
    const WCHAR first = static_cast<WCHAR>(unit & 0xFF00);
    for (int i = 0; i < 256; ++i) {
        block[i] = WorkOut(handle, codePage, static_cast<WCHAR>(first + i));
    }
    iconv_close(handle);
    slot.store(block, std::memory_order_release);
    return block;
}

// Writes eight UTF-16 units as bytes to `out` (unless it is null) when all of them are ASCII;
// false, writing nothing, when one is not.
bool NarrowEightAscii(const WCHAR* units, char* out) {
#if defined(__SSE2__)
    const __m128i eight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units));
    const __m128i high = _mm_and_si128(eight, _mm_set1_epi16(static_cast<short>(0xFF80)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) != 0xFFFF) {
        return false;
    }
    if (out != nullptr) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(eight, eight));
    }
    return true;
#else
    uint64_t halves[2];
    memcpy(halves, units, sizeof halves);
    if (((halves[0] | halves[1]) & 0xFF80FF80FF80FF80u) != 0) {
        return false;
    }
    for (int i = 0; out != nullptr && i < 8; ++i) {
        out[i] = static_cast<char>(units[i]);
    }
    return true;
#endif
}

// Which of kCodePages the code page is, or -1 for one the stand-in does not know.
int KnownCodePage(UINT codePage) {
    for (size_t i = 0; i < sizeof kCodePages / sizeof kCodePages[0]; ++i) {
        if (kCodePages[i].codePage == codePage) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

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
    const int known = KnownCodePage(codePage);
    if (known < 0) {
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
        // ASCII, the most of most feeds, is copied as it is, eight units at a time where it can
        // be: every code page the stand-in knows keeps ASCII.
        if (text[i] < 0x80) {
            const int room = outSize != 0 ? outSize - written : INT_MAX;
            int copied = 0;
            while (i + 8 <= count && copied + 8 <= room &&
                   NarrowEightAscii(text + i, outSize != 0 ? out + written : nullptr)) {
                written += 8;
                copied += 8;
                i += 8;
            }
            for (; i < count && text[i] < 0x80; ++i, ++written, ++copied) {
                if (copied == room) {
                    // Whole characters while they fit, as below; then the answer is 0.
                    errno = ERANGE;
                    return 0;
                }
                if (outSize != 0) {
                    out[written] = static_cast<char>(text[i]);
                }
            }
            continue;
        }
        const WCHAR unit = text[i];
        char bytes[2];
        int size;
        size_t units = 1;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            // A character beyond the basic plane, which none of these code pages holds: as
            // Windows does, each of its units becomes the default character.
            bytes[0] = bytes[1] = '?';
            size = 2;
            units = 2;
        } else {
            const uint16_t* block = Block(static_cast<size_t>(known), unit);
            const uint16_t value = block != nullptr ? block[unit & 0xFF] : kDefaultCharacter;
            if (value == kDefaultCharacter) {
                bytes[0] = '?';
                size = 1;
            } else if (value < 0x100) {
                bytes[0] = static_cast<char>(value);
                size = 1;
            } else {
                bytes[0] = static_cast<char>(value >> 8);
                bytes[1] = static_cast<char>(value & 0xFF);
                size = 2;
            }
        }
        if (outSize != 0) {
            if (written + size > outSize) {
                errno = ERANGE;
                return 0;
            }
            memcpy(out + written, bytes, static_cast<size_t>(size));
        }
        written += size;
        i += units;
    }
    return written;
}

bool IsAnsiLeadByte(unsigned char byte) {
    return _ismbblead(byte) != 0;
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

bool Utf8ToAnsi(const char* utf8, size_t length, char* out, size_t capacity) {
    if (capacity == 0) {
        return false;
    }
    out[0] = '\0';
    // UTF-16 in between, as Windows converts; the reader hands well-formed UTF-8 only, and a
    // byte that starts no character here is taken as the character of its own number.
    std::vector<WCHAR> wide;
    wide.reserve(length);
    const unsigned char* at = reinterpret_cast<const unsigned char*>(utf8);
    const unsigned char* const end = at + length;
    while (at < end) {
        uint32_t c = *at++;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        c &= extra == 3 ? 0x07 : extra == 2 ? 0x0F : extra == 1 ? 0x1F : 0xFF;
        for (; extra > 0 && at < end && (*at & 0xC0) == 0x80; --extra) {
            c = (c << 6) | (*at++ & 0x3F);
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            wide.push_back(static_cast<WCHAR>(0xD800 + (c >> 10)));
            wide.push_back(static_cast<WCHAR>(0xDC00 + (c & 0x3FF)));
        } else {
            wide.push_back(static_cast<WCHAR>(c));
        }
    }
    if (wide.empty()) {
        return true;
    }
    const int units = static_cast<int>(wide.size());
    const int size =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    if (size <= 0 || static_cast<size_t>(size) >= capacity) {
        return false;
    }
    WideCharToMultiByte(CP_ACP, 0, wide.data(), units, out, size, nullptr, nullptr);
    out[size] = '\0';
    return true;
}

bool AnsiToUtf8(const char* ansi, char* out, size_t capacity) {
    if (capacity == 0) {
        return false;
    }
    out[0] = '\0';
    // ASCII, most paths and names, is the same in both.
    const size_t length = strlen(ansi);
    bool ascii = true;
    for (size_t i = 0; i < length && ascii; ++i) {
        ascii = static_cast<unsigned char>(ansi[i]) < 0x80;
    }
    if (ascii) {
        if (length >= capacity) {
            return false;
        }
        memcpy(out, ansi, length + 1);
        return true;
    }
    iconv_t handle = iconv_open("UTF-8", AnsiCodePageIconvName());
    if (handle == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    char* in = const_cast<char*>(ansi);
    size_t inLeft = strlen(ansi);
    char* to = out;
    size_t toLeft = capacity - 1;
    bool whole = true;
    while (inLeft > 0) {
        if (iconv(handle, &in, &inLeft, &to, &toLeft) != static_cast<size_t>(-1)) {
            continue;
        }
        if (errno != EILSEQ && errno != EINVAL) {
            whole = false;
            break;
        }
        // A byte the code page leaves unassigned stands for the character of its own number, as
        // Windows reads code page 1252's five gaps; two bytes are room enough for it.
        const unsigned char byte = static_cast<unsigned char>(*in);
        if (toLeft < 2) {
            whole = false;
            break;
        }
        *to++ = static_cast<char>(0xC0 | (byte >> 6));
        *to++ = static_cast<char>(0x80 | (byte & 0x3F));
        toLeft -= 2;
        ++in;
        --inLeft;
    }
    iconv_close(handle);
    if (!whole) {
        out[0] = '\0';
        return false;
    }
    *to = '\0';
    return true;
}
