#include "compose/header_value.h"

#include <cstring>

#include "base/text.h"

namespace {

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const char kWordStart[] = "=?utf-8?B?";
const char kWordEnd[] = "?=";
// What an encoded-word costs beyond its Base64 text.
constexpr size_t kWordOverhead = sizeof kWordStart - 1 + sizeof kWordEnd - 1;

// Whether the value must be encoded: it holds a byte beyond ASCII, or "=?", which a reader would
// take for the start of an encoded-word.
bool NeedsEncoding(const char* value) {
    for (const char* at = value; *at != '\0'; ++at) {
        if (static_cast<unsigned char>(*at) >= 0x80 || (at[0] == '=' && at[1] == '?')) {
            return true;
        }
    }
    return false;
}

// Writes one encoded-word of `length` bytes of `text`.
bool PutWord(TextWriter* out, const unsigned char* text, size_t length) {
    if (!out->Put(kWordStart, sizeof kWordStart - 1)) {
        return false;
    }
    for (size_t i = 0; i < length; i += 3) {
        const unsigned bits = static_cast<unsigned>(text[i]) << 16 |
                              (i + 1 < length ? static_cast<unsigned>(text[i + 1]) << 8 : 0) |
                              (i + 2 < length ? text[i + 2] : 0);
        const char quad[4] = {kBase64[bits >> 18 & 63], kBase64[bits >> 12 & 63],
                              i + 1 < length ? kBase64[bits >> 6 & 63] : '=',
                              i + 2 < length ? kBase64[bits & 63] : '='};
        if (!out->Put(quad, sizeof quad)) {
            return false;
        }
    }
    return out->Put(kWordEnd, sizeof kWordEnd - 1);
}

// The most bytes of text an encoded-word that starts `column` characters into a line may carry:
// whole groups of three, so that its Base64 has no padding but at the value's end.
size_t WordRoom(size_t column) {
    const size_t characters = kHeaderLineLength - column - kWordOverhead;
    return characters / 4 * 3;
}

}  // namespace

void CleanHeaderValue(const char* value, char* out, size_t capacity) {
    if (capacity == 0) {
        return;
    }
    size_t used = 0;
    const char* p = value != nullptr ? value : "";
    while (*p == ' ' || *p == '\r' || *p == '\n' || *p == '\t') {
        ++p;
    }
    while (*p != '\0') {
        const size_t run = strcspn(p, "\r\n\t");
        if (!AppendUtf8(out, capacity, &used, p, run)) {
            break;
        }
        p += run;
        if (*p == '\0') {
            break;
        }
        p += strspn(p, "\r\n\t");
        if (!AppendUtf8(out, capacity, &used, " ", 1)) {
            break;
        }
    }
    out[used] = '\0';
    while (used > 0 && out[used - 1] == ' ') {
        out[--used] = '\0';
    }
}

namespace {

// Writes `value` as encoded-words, each of whole characters, starting `*column` characters into
// a line and folding where a line would grow too long; `*column` is then where the last line
// ends. The white space between two words is no part of the text, so every blank of the value is
// inside a word.
bool PutEncodedWords(TextWriter* out, const char* value, size_t* column) {
    bool whole = true;
    const char* at = value;
    size_t left = strlen(value);
    while (whole && left > 0) {
        const size_t taken = Utf8CutLength(at, left, WordRoom(*column));
        const size_t before = out->length();
        whole = taken > 0 && PutWord(out, reinterpret_cast<const unsigned char*>(at), taken);
        *column += out->length() - before;
        at += taken;
        left -= taken;
        if (whole && left > 0) {
            whole = out->Put("\r\n ");
            *column = 1;
        }
    }
    return whole;
}

// Whether a display name may stand in a header as it is: words of RFC 5322's atom characters
// apart by single blanks.
bool IsPhraseOfAtoms(const char* name) {
    bool afterBlank = true;
    for (const char* at = name; *at != '\0'; ++at) {
        if (*at == ' ') {
            if (afterBlank) {
                return false;
            }
            afterBlank = true;
            continue;
        }
        if (!IsAsciiLetter(*at) && !IsAsciiDigit(*at) &&
            strchr("!#$%&'*+-/=?^_`{|}~", *at) == nullptr) {
            return false;
        }
        afterBlank = false;
    }
    return !afterBlank;
}

}  // namespace

bool IsMailAddress(const char* address) {
    const char* at = strchr(address, '@');
    if (at == nullptr || at == address || strchr(at + 1, '@') != nullptr) {
        return false;
    }
    // The local part: atoms apart by single dots.
    char previous = '.';
    for (const char* p = address; p < at; ++p) {
        const bool atom = IsAsciiLetter(*p) || IsAsciiDigit(*p) ||
                          (*p != '.' && strchr("!#$%&'*+-/=?^_`{|}~", *p) != nullptr);
        if (!atom && !(*p == '.' && previous != '.')) {
            return false;
        }
        previous = *p;
    }
    if (previous == '.') {
        return false;
    }
    // The domain: labels of letters, digits and hyphens apart by single dots.
    previous = '.';
    for (const char* p = at + 1; *p != '\0'; ++p) {
        const bool label = IsAsciiLetter(*p) || IsAsciiDigit(*p) || *p == '-';
        if (!label && !(*p == '.' && previous != '.')) {
            return false;
        }
        previous = *p;
    }
    return previous != '.';
}

bool AppendHeader(TextWriter* out, const char* name, const char* value) {
    const size_t start = out->length();
    const size_t nameLength = strlen(name);
    size_t column = nameLength + 1;
    bool whole = out->Put(name, nameLength) && out->Put(":");
    if (whole && !NeedsEncoding(value)) {
        whole = out->Put(value);
    } else if (whole) {
        whole = PutEncodedWords(out, value, &column);
    }
    whole = whole && out->Put("\r\n");
    if (!whole) {
        out->TakeBack(start);
    }
    return whole;
}

bool AppendAddressHeader(TextWriter* out, const char* name, const char* displayName,
                         const char* address) {
    if (address == nullptr || address[0] == '\0') {
        return AppendHeader(out, name, displayName);
    }
    const size_t start = out->length();
    const size_t nameLength = strlen(name);
    size_t column = nameLength + 1;
    bool whole = out->Put(name, nameLength) && out->Put(":");
    if (whole && displayName != nullptr && displayName[0] != '\0') {
        const size_t before = out->length();
        if (NeedsEncoding(displayName)) {
            whole = PutEncodedWords(out, displayName, &column);
        } else if (IsPhraseOfAtoms(displayName)) {
            whole = out->Put(displayName);
            column += out->length() - before;
        } else {
            // A quoted string, its quotes and backslashes escaped.
            whole = out->Put("\"");
            for (const char* at = displayName; whole && *at != '\0'; ++at) {
                whole = (*at != '"' && *at != '\\') || out->Put("\\");
                whole = whole && out->Put(at, 1);
            }
            whole = whole && out->Put("\"");
            column += out->length() - before;
        }
        // The address on the line of the name when it fits there, else on a line of its own.
        const bool fold = column + 3 + strlen(address) > kHeaderLineLength;
        whole = whole && out->Put(fold ? "\r\n " : " ");
    }
    whole = whole && out->Put("<") && out->Put(address) && out->Put(">\r\n");
    if (!whole) {
        out->TakeBack(start);
    }
    return whole;
}
