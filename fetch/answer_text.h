// The bytes of an answer as they arrive, and its body's content coding undone: a feed of any size
// up to a ceiling, compressed or not.
#pragma once

#include <cstddef>

// Text that grows as it is filled, up to a limit given at each growth; always terminated.
class AnswerText {
public:
    AnswerText() = default;
    ~AnswerText();
    AnswerText(const AnswerText&) = delete;
    AnswerText& operator=(const AnswerText&) = delete;

    // Makes room for at least `more` bytes after the text (and its terminator), growing by
    // doubling but never past `limit` bytes in all. False when the limit or memory does not allow
    // it; the text stays as it was.
    bool Reserve(size_t more, size_t limit);
    // Appends `length` bytes; false (nothing appended) when they would pass `limit`.
    bool Append(const char* bytes, size_t length, size_t limit);
    // Empties the text, keeping its room.
    void Clear();
    // Takes the other's bytes and room; the other is left with this one's.
    void Swap(AnswerText* other);

    char* data() { return data_ != nullptr ? data_ : empty_; }
    const char* data() const { return data_ != nullptr ? data_ : empty_; }
    size_t length() const { return length_; }
    size_t room() const { return room_; }
    // Sets the length after bytes were written into the room directly, and terminates there.
    void SetLength(size_t length);

private:
    char* data_ = nullptr;
    size_t length_ = 0;
    size_t room_ = 0;  // bytes allocated, the terminator included
    char empty_[1] = {'\0'};
};

// How undoing a content coding went.
enum class Inflated {
    kWhole,     // the whole body was decoded
    kCut,       // the compressed data ended early: what was decoded is kept
    kBroken,    // the data is no compressed stream
    kTooLarge,  // decoded, it would pass the limit
};

// Whether a Content-Encoding value names a coding this fetcher undoes: gzip (also x-gzip) or
// deflate, without regard to case; "identity" and an empty value need nothing undone.
bool IsKnownContentCoding(const char* coding);

// Appends the decoded bytes of a gzip or deflate body (a zlib stream, or the raw deflate some
// servers send under that name) to `out`, never past `limit` bytes in all.
Inflated InflateBody(const char* body, size_t length, AnswerText* out, size_t limit);
