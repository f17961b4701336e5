#include "fetch/answer_text.h"

#include <zlib.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "base/text.h"

AnswerText::~AnswerText() {
    free(data_);
}

bool AnswerText::Reserve(size_t more, size_t limit) {
    if (more > limit || length_ > limit - more) {
        return false;
    }
    const size_t needed = length_ + more + 1;
    if (needed <= room_) {
        return true;
    }
    size_t grown = room_ > 0 ? room_ : 4096;
    while (grown < needed) {
        grown = grown > (limit + 1) / 2 ? limit + 1 : grown * 2;
    }
    char* bigger = static_cast<char*>(realloc(data_, grown));
    if (bigger == nullptr) {
        return false;
    }
    data_ = bigger;
    room_ = grown;
    data_[length_] = '\0';
    return true;
}

bool AnswerText::Append(const char* bytes, size_t length, size_t limit) {
    if (!Reserve(length, limit)) {
        return false;
    }
    memcpy(data_ + length_, bytes, length);
    SetLength(length_ + length);
    return true;
}

void AnswerText::Clear() {
    if (data_ != nullptr) {
        SetLength(0);
    }
}

void AnswerText::Swap(AnswerText* other) {
    char* data = data_;
    const size_t length = length_;
    const size_t room = room_;
    data_ = other->data_;
    length_ = other->length_;
    room_ = other->room_;
    other->data_ = data;
    other->length_ = length;
    other->room_ = room;
}

void AnswerText::SetLength(size_t length) {
    length_ = length;
    data_[length_] = '\0';
}

namespace {

// Runs one inflate stream over the body; `windowBits` chooses the wrapper.
Inflated Inflate(const char* body, size_t length, AnswerText* out, size_t limit, int windowBits) {
    const size_t start = out->length();
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    if (inflateInit2(&stream, windowBits) != Z_OK) {
        return Inflated::kBroken;
    }
    // Pieces of the body, so that a length beyond zlib's unsigned int is no matter.
    constexpr size_t kPiece = 1 << 20;
    size_t fed = 0;
    Inflated result = Inflated::kCut;
    for (;;) {
        if (stream.avail_in == 0 && fed < length) {
            const size_t piece = length - fed < kPiece ? length - fed : kPiece;
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body + fed));
            stream.avail_in = static_cast<uInt>(piece);
            fed += piece;
        }
        if (!out->Reserve(kPiece < limit - out->length() ? kPiece : limit - out->length(), limit) ||
            out->room() - 1 == out->length()) {
            result = Inflated::kTooLarge;
            break;
        }
        const size_t room = out->room() - 1 - out->length();
        stream.next_out = reinterpret_cast<Bytef*>(out->data() + out->length());
        stream.avail_out = static_cast<uInt>(room < kPiece ? room : kPiece);
        const uInt offered = stream.avail_out;
        const int status = inflate(&stream, Z_NO_FLUSH);
        out->SetLength(out->length() + (offered - stream.avail_out));
        if (status == Z_STREAM_END) {
            result = Inflated::kWhole;
            break;
        }
        if (status == Z_BUF_ERROR && stream.avail_in == 0 && fed == length) {
            break;  // the data ended before the stream did
        }
        if (status != Z_OK && status != Z_BUF_ERROR) {
            result = Inflated::kBroken;
            break;
        }
    }
    inflateEnd(&stream);
    if (result == Inflated::kBroken) {
        out->SetLength(start);
    }
    return result;
}

}  // namespace

bool IsKnownContentCoding(const char* coding) {
    return SameAsciiWord(coding, strlen(coding), "gzip") ||
           SameAsciiWord(coding, strlen(coding), "x-gzip") ||
           SameAsciiWord(coding, strlen(coding), "deflate");
}

Inflated InflateBody(const char* body, size_t length, AnswerText* out, size_t limit) {
    // 32 added to the window bits reads a gzip or a zlib wrapper, whichever the data has.
    const Inflated wrapped = Inflate(body, length, out, limit, 15 + 32);
    if (wrapped != Inflated::kBroken) {
        return wrapped;
    }
    // Deflate as some servers send it: without the zlib wrapper the name promises.
    return Inflate(body, length, out, limit, -15);
}
