#include "base/text.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/codepage.h"

bool CopyText(char* dst, size_t capacity, const char* src) {
    if (capacity == 0) {
        return src == nullptr || *src == '\0';
    }
    dst[0] = '\0';
    return AppendText(dst, capacity, src);
}

bool AppendText(char* dst, size_t capacity, const char* src) {
    if (capacity == 0) {
        return src == nullptr || *src == '\0';
    }
    size_t used = strnlen(dst, capacity - 1);
    size_t room = capacity - 1 - used;
    size_t length = src ? strlen(src) : 0;
    size_t taken = length < room ? length : room;
    memcpy(dst + used, src ? src : "", taken);
    dst[used + taken] = '\0';
    return taken == length;
}

bool FormatTextV(char* dst, size_t capacity, const char* format, va_list args) {
    if (capacity == 0) {
        return false;
    }
    int written = vsnprintf(dst, capacity, format, args);
    if (written < 0) {
        dst[0] = '\0';
        return false;
    }
    return static_cast<size_t>(written) < capacity;
}

bool FormatText(char* dst, size_t capacity, const char* format, ...) {
    va_list args;
    va_start(args, format);
    bool whole = FormatTextV(dst, capacity, format, args);
    va_end(args);
    return whole;
}

size_t Utf8CutLength(const char* text, size_t length, size_t room) {
    if (length <= room) {
        return length;
    }
    // Back from the cut over continuation bytes (10xxxxxx) to the start of the character there.
    size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return cut;
}

bool AppendUtf8(char* dst, size_t capacity, size_t* used, const char* text, size_t length) {
    if (capacity == 0 || *used >= capacity) {
        return length == 0;
    }
    const size_t taken = Utf8CutLength(text, length, capacity - 1 - *used);
    memcpy(dst + *used, text, taken);
    *used += taken;
    dst[*used] = '\0';
    return taken == length;
}

const char* LastPathComponent(const char* text, const char* separator) {
    if (text == nullptr) {
        return nullptr;
    }
    const char* sep = separator != nullptr ? separator : "\\";
    const size_t sepLength = strlen(sep);
    const char* result = text;
    if (sepLength == 0) {
        return result;
    }
    for (const char* p = text; *p != '\0';) {
        if (IsAnsiLeadByte(static_cast<unsigned char>(*p))) {
            // A double-byte character is never a separator, not even its second byte.
            if (p[1] == '\0') {
                break;
            }
            p += 2;
            continue;
        }
        if (strncmp(p, sep, sepLength) == 0) {
            const char* after = p + sepLength;
            if (*after == '\0') {
                break;
            }
            result = after;
        }
        ++p;
    }
    return result;
}

int HexDigitValue(char c) {
    if (IsAsciiDigit(c)) {
        return c - '0';
    }
    const char lower = AsciiLower(c);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

namespace {

const char kBase64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c) {
    const char* at = c != '\0' ? strchr(kBase64Digits, c) : nullptr;
    return at != nullptr ? static_cast<int>(at - kBase64Digits) : -1;
}

}  // namespace

bool EncodeBase64(const void* data, size_t length, char* out, size_t capacity) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    const size_t groups = length / 3 + (length % 3 != 0 ? 1 : 0);
    if (capacity == 0 || groups > (capacity - 1) / 4) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return false;
    }
    size_t used = 0;
    for (size_t i = 0; i < length; i += 3) {
        const size_t left = length - i;
        const unsigned group = (static_cast<unsigned>(bytes[i]) << 16) |
                               (left > 1 ? static_cast<unsigned>(bytes[i + 1]) << 8 : 0u) |
                               (left > 2 ? static_cast<unsigned>(bytes[i + 2]) : 0u);
        out[used++] = kBase64Digits[(group >> 18) & 63];
        out[used++] = kBase64Digits[(group >> 12) & 63];
        out[used++] = left > 1 ? kBase64Digits[(group >> 6) & 63] : '=';
        out[used++] = left > 2 ? kBase64Digits[group & 63] : '=';
    }
    out[used] = '\0';
    return true;
}

bool DecodeBase64(const char* text, size_t length, unsigned char* out, size_t capacity,
                  size_t* written) {
    while (length > 0 && text[length - 1] == '=') {
        --length;
    }
    // A last group of one digit stands for no whole byte.
    if (length % 4 == 1) {
        return false;
    }
    size_t used = 0;
    unsigned group = 0;
    for (size_t i = 0; i < length; ++i) {
        const int value = Base64Value(text[i]);
        if (value < 0) {
            return false;
        }
        group = (group << 6) | static_cast<unsigned>(value);
        const size_t digits = i % 4 + 1;
        if (digits == 1) {
            continue;
        }
        if (used == capacity) {
            return false;
        }
        out[used++] = static_cast<unsigned char>(group >> (2 * (4 - digits)) & 0xFF);
        if (digits == 4) {
            group = 0;
        }
    }
    *written = used;
    return true;
}

bool EncodeHex(const void* data, size_t length, char* out, size_t capacity) {
    static const char kDigits[] = "0123456789abcdef";
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    if (capacity == 0 || length > (capacity - 1) / 2) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        out[2 * i] = kDigits[bytes[i] >> 4];
        out[2 * i + 1] = kDigits[bytes[i] & 0xF];
    }
    out[2 * length] = '\0';
    return true;
}

bool DecodeHex(const char* text, size_t length, unsigned char* out, size_t capacity,
               size_t* written) {
    if (length % 2 != 0 || length / 2 > capacity) {
        return false;
    }
    for (size_t i = 0; i < length; i += 2) {
        const int high = HexDigitValue(text[i]);
        const int low = HexDigitValue(text[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        out[i / 2] = static_cast<unsigned char>(high * 16 + low);
    }
    *written = length / 2;
    return true;
}

void WipeBytes(void* data, size_t length) {
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
    for (size_t i = 0; i < length; ++i) {
        bytes[i] = 0;
    }
}

bool StartsWithAsciiWord(const char* text, size_t length, const char* word) {
    const size_t size = strlen(word);
    return length >= size && SameAsciiWord(text, size, word);
}

TextWriter::TextWriter(char* buffer, size_t capacity, size_t used)
    : buffer_(buffer), capacity_(capacity), used_(used), cut_(capacity == 0 || used >= capacity) {
    if (!cut_) {
        buffer_[used_] = '\0';
    }
}

bool TextWriter::Refuse() {
    cut_ = true;
    return false;
}

bool TextWriter::Put(const char* piece) {
    return Put(piece, strlen(piece));
}

bool TextWriter::Put(const char* piece, size_t length) {
    if (cut_ || length >= capacity_ - used_) {
        return Refuse();
    }
    memcpy(buffer_ + used_, piece, length);
    used_ += length;
    buffer_[used_] = '\0';
    return true;
}

bool TextWriter::PutUtf8(const char* text, size_t length) {
    if (cut_) {
        return false;
    }
    return AppendUtf8(buffer_, capacity_, &used_, text, length) || Refuse();
}

namespace {

// The bytes HTML escaping writes as entities.
bool IsHtmlSpecial(char c) {
    return c == '&' || c == '<' || c == '>' || c == '"';
}

}  // namespace

bool TextWriter::PutEscapedHtml(const char* text, size_t length) {
    const char* const end = text + length;
    for (const char* at = text; at < end;) {
        // A run of characters that stay as they are, as much of it as fits.
        const char* special = at;
        while (special < end && !IsHtmlSpecial(*special)) {
            ++special;
        }
        if (!PutUtf8(at, static_cast<size_t>(special - at))) {
            return false;
        }
        if (special == end) {
            break;
        }
        if (!Put(*special == '&'   ? "&amp;"
                 : *special == '<' ? "&lt;"
                 : *special == '>' ? "&gt;"
                                   : "&quot;")) {
            return false;
        }
        at = special + 1;
    }
    return !cut_;
}

bool TextWriter::Format(const char* format, ...) {
    if (cut_) {
        return false;
    }
    va_list args;
    va_start(args, format);
    const bool whole = FormatTextV(buffer_ + used_, capacity_ - used_, format, args);
    va_end(args);
    if (!whole) {
        buffer_[used_] = '\0';
        return Refuse();
    }
    used_ += strlen(buffer_ + used_);
    return true;
}

void TextWriter::TakeBack(size_t length) {
    if (length < used_) {
        used_ = length;
        buffer_[used_] = '\0';
    }
}

long long LeadingNumber(const char* text) {
    while (IsAsciiSpace(*text)) {
        ++text;
    }
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    long long magnitude = 0;
    for (; IsAsciiDigit(*text); ++text) {
        if (magnitude <= static_cast<long long>(INT_MAX) + 1) {
            magnitude = magnitude * 10 + (*text - '0');
        }
    }
    if (negative) {
        return magnitude > static_cast<long long>(INT_MAX) + 1 ? INT_MIN : -magnitude;
    }
    return magnitude > INT_MAX ? INT_MAX : magnitude;
}
