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
