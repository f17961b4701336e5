// Text helpers over fixed-capacity buffers, and the ASCII character classes every reader of
// the system uses.
//
// Every text of the system lives in a buffer of fixed capacity (in bytes, terminator included,
// named in base/capacities.h). These are the only ways the system copies, appends and formats
// into such a buffer: they never write past the capacity, always leave the text terminated when
// the capacity is at least one byte, and say whether they had to cut. A cut text that names
// something (a folder, a file) names something else, so every caller looks at the answer.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "base/capacities.h"

#if defined(__GNUC__)
#define QF_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define QF_PRINTF(fmt, args)
#endif

// Copies src into dst. Returns true when all of src fit; otherwise dst holds as much of src as
// fits, terminated. A null src copies as the empty text.
[[nodiscard]] bool CopyText(char* dst, size_t capacity, const char* src);

// Appends src to the text already in dst, with the same cut and result as CopyText.
[[nodiscard]] bool AppendText(char* dst, size_t capacity, const char* src);

// Formats printf-style into dst. Returns true when the whole result fit; otherwise dst holds the
// cut, terminated result.
[[nodiscard]] bool FormatText(char* dst, size_t capacity, const char* format, ...) QF_PRINTF(3, 4);
[[nodiscard]] bool FormatTextV(char* dst, size_t capacity, const char* format, va_list args);

// The length of the longest start of `text` (`length` bytes of UTF-8) that has at most `room`
// bytes and ends between two characters: where UTF-8 text may be cut.
size_t Utf8CutLength(const char* text, size_t length, size_t room);

// Appends `length` bytes of UTF-8 text to the text already in dst, as much as fits, cut between
// two characters. `*used` is the length of dst's text, kept by the caller so that many appends to
// a long text do not measure it again; it is moved on. Returns true when all of it fit.
[[nodiscard]] bool AppendUtf8(char* dst, size_t capacity, size_t* used, const char* text,
                              size_t length);

// An ASCII capital letter as its small letter; every other byte as it is.
inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// ASCII character classes, the same in every locale: white space is the blank, TAB, LF, VT, FF
// and CR; digits and letters are ASCII's alone.
inline bool IsAsciiSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
inline bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
inline bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
// The value of a hexadecimal digit of either case, -1 for any other byte.
int HexDigitValue(char c);

// Bytes as text and back: base64 (RFC 4648, with its padding), as HTTP logins carry their tokens,
// and small hexadecimal digits, as the login file keeps what is protected. Each encoder writes the
// whole text or, when it does not fit `capacity`, nothing (an empty text) and answers false. Each
// decoder answers false for a text that is not of its form (base64 may leave its padding off) or
// whose bytes do not fit `capacity`; `written` gets their count.
[[nodiscard]] bool EncodeBase64(const void* data, size_t length, char* out, size_t capacity);
[[nodiscard]] bool DecodeBase64(const char* text, size_t length, unsigned char* out,
                                size_t capacity, size_t* written);
[[nodiscard]] bool EncodeHex(const void* data, size_t length, char* out, size_t capacity);
[[nodiscard]] bool DecodeHex(const char* text, size_t length, unsigned char* out, size_t capacity,
                             size_t* written);

// Overwrites `length` bytes with zeros in a way the compiler keeps: a password is not left behind
// in memory that is freed or reused.
void WipeBytes(void* data, size_t length);

// Whether the `length` bytes at `text` begin with `word`, ASCII letters without regard to case.
bool StartsWithAsciiWord(const char* text, size_t length, const char* word);

// The leading decimal number of a text as atoi reads it (white space, an optional sign, digits),
// 0 when there is none; clamped to the range of int instead of undefined on a long digit run.
long long LeadingNumber(const char* text);

// Whether `length` bytes at `text` are exactly `word`, ASCII letters without regard to case (the
// way names of feed elements, header fields, codings and folder ids are matched). False for a
// null text.
// The readers ask this of every name against the rows of their tables: a mismatch ends it at the
// first letter that differs, without measuring the word first.
inline bool SameAsciiWord(const char* text, size_t length, const char* word) {
    if (text == nullptr) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (word[i] == '\0' || AsciiLower(text[i]) != AsciiLower(word[i])) {
            return false;
        }
    }
    return word[length] == '\0';
}

// Writes one text into a buffer of fixed capacity, piece after piece, and keeps it terminated.
// A piece goes in whole or not at all (UTF-8 text: as much as fits, cut between characters);
// once one did not fit the text is cut, and the writer takes nothing more, so that what it holds
// ends where the last whole piece did. Every piece of the message, the sanitized HTML, the header
// values and the rebuilt message source is written through one of these.
class TextWriter {
public:
    // Writes into `buffer` of `capacity` bytes, after the `used` bytes of text it holds already.
    TextWriter(char* buffer, size_t capacity, size_t used = 0);

    // Each answers whether the piece went in whole.
    bool Put(const char* piece);
    bool Put(const char* piece, size_t length);
    bool PutUtf8(const char* text, size_t length);
    // Text for HTML text or a double-quoted attribute: &, <, > and " as entities, each whole or
    // not at all, the rest cut between characters.
    bool PutEscapedHtml(const char* text, size_t length);
    bool Format(const char* format, ...) QF_PRINTF(2, 3);

    // Shortens the text to `length` bytes, taking back pieces that belong together when the last
    // of them did not fit; a writer that was cut stays cut.
    void TakeBack(size_t length);

    const char* text() const { return buffer_; }
    size_t length() const { return used_; }
    bool cut() const { return cut_; }

private:
    bool Refuse();

    char* buffer_;
    size_t capacity_;
    size_t used_;
    bool cut_;
};

// The part of `text` after the last occurrence of `separator` that is not at the very end (the
// whole text when there is none). Without a separator, a backslash; an empty separator gives the
// whole text. A double-byte character of the multibyte code page never counts as a separator.
// Nothing is copied: the result points into `text`.
const char* LastPathComponent(const char* text, const char* separator);
