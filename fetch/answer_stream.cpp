#include "fetch/answer_stream.h"

#include <zlib.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/text.h"

static_assert(kAnswerHeaderCapacity <= kReceivePiece,
              "what follows the header in its last receive must fit the raw buffer");

namespace {

// Where the empty line that ends a header part begins to end: the index just after it (CR LF
// twice, or LF twice as some servers write), or 0 when `text` holds none yet. The search starts
// at `from`, before which the caller has looked already.
size_t HeaderEnd(const char* text, size_t from, size_t length) {
    for (size_t at = from; at < length; ++at) {
        if (text[at] != '\n') {
            continue;
        }
        if (at + 1 < length && text[at + 1] == '\n') {
            return at + 2;
        }
        if (at + 2 < length && text[at + 1] == '\r' && text[at + 2] == '\n') {
            return at + 3;
        }
    }
    return 0;
}

// Whether `text` may still become a status line: it begins as "HTTP/" does, as far as it goes.
bool MayBeStatusLine(const char* text, size_t length) {
    static const char kStart[] = "HTTP/";
    const size_t compared = length < sizeof kStart - 1 ? length : sizeof kStart - 1;
    return memcmp(text, kStart, compared) == 0;
}

}  // namespace

long TextAnswerSource::Receive(char* buffer, size_t room) {
    const size_t taken = left_ < room ? left_ : room;
    memcpy(buffer, at_, taken);
    at_ += taken;
    left_ -= taken;
    return static_cast<long>(taken);
}

AnswerStream::AnswerStream(AnswerSource* source, size_t ceiling)
    : source_(source), ceiling_(ceiling) {}

AnswerStream::~AnswerStream() {
    if (zlib_ != nullptr) {
        inflateEnd(zlib_);
        delete zlib_;
    }
}

void AnswerStream::Fail(AnswerEnd why) {
    if (end_ == AnswerEnd::kOpen) {
        end_ = why;
    }
}

// One receive from the source, never past the ceiling of the whole answer. 0 and -1 as the
// source answers them; -1 too, with the answer said too large, once the ceiling is reached.
long AnswerStream::Receive(char* buffer, size_t room) {
    if (closed_) {
        return closedWith_;
    }
    if (received_ >= ceiling_) {
        Fail(AnswerEnd::kTooLarge);
        return -1;
    }
    const size_t allowed = ceiling_ - received_ < room ? ceiling_ - received_ : room;
    const long got = source_->Receive(buffer, allowed);
    if (got <= 0) {
        closed_ = true;
        closedWith_ = got < 0 ? -1 : 0;
        return closedWith_;
    }
    received_ += static_cast<size_t>(got);
    return got;
}

bool AnswerStream::ReadHeader() {
    size_t length = 0;
    for (;;) {
        const long got = Receive(header_ + length, kAnswerHeaderCapacity - length);
        // A header that arrives a byte at a time is searched once, not once a byte: the line
        // ends before the new bytes were looked at already.
        const size_t searched = length > 2 ? length - 2 : 0;
        if (got > 0) {
            length += static_cast<size_t>(got);
        }
        if (!MayBeStatusLine(header_, length)) {
            break;
        }
        const size_t end = HeaderEnd(header_, searched, length);
        if (end > 0) {
            if (HttpStatus(header_) == 0) {
                break;  // an unreadable status line: read as a server that sends none
            }
            // What followed the empty line is the start of the body.
            memcpy(raw_, header_ + end, length - end);
            rawEnd_ = length - end;
            header_[end] = '\0';
            ParseAnswerHeader(header_, &fields_);
            ReadFraming();
            return true;
        }
        if (got > 0 && length < kAnswerHeaderCapacity) {
            continue;
        }
        if (got == 0 && length == 0) {
            break;  // an empty answer, closed properly: an empty body
        }
        Fail(got > 0       ? AnswerEnd::kHeaderTooLong
             : length == 0 ? AnswerEnd::kNothing
                           : AnswerEnd::kCut);
        return false;
    }
    // No status line: all that arrives is the body, until the server closes.
    fields_ = AnswerHeader();
    memcpy(raw_, header_, length);
    rawEnd_ = length;
    header_[0] = '\0';
    framing_ = Framing::kUntilClose;
    return true;
}

void AnswerStream::ReadFraming() {
    // Chunks frame the body when they are the last transfer coding; transfer codings without
    // them leave the body to the server's close, and a Content-Length counts only without any.
    const BodyCodings& transfer = fields_.transfer;
    const bool chunked =
        transfer.count > 0 && transfer.codings[transfer.count - 1] == BodyCoding::kChunked;
    if (chunked) {
        framing_ = Framing::kChunked;
    } else if (transfer.count == 0 && fields_.hasLength) {
        left_ = fields_.length;
        framing_ = left_ > 0 ? Framing::kLength : Framing::kDone;
        lengthFramed_ = true;
    }
    if (transfer.count == 0 && fields_.badLength) {
        Fail(AnswerEnd::kGarbled);
    }
    // What is compressed, below the chunks or as the content's coding: one layer of gzip or
    // deflate is undone, anything else is a coding this reader does not know.
    size_t layers = 0;
    bool known = !transfer.tooMany && !fields_.content.tooMany;
    for (size_t i = 0; i < transfer.count; ++i) {
        const BodyCoding coding = transfer.codings[i];
        if (coding == BodyCoding::kChunked) {
            if (i + 1 != transfer.count) {
                Fail(AnswerEnd::kGarbled);  // chunks inside another coding
            }
            continue;
        }
        known = known && coding != BodyCoding::kUnknown;
        ++layers;
    }
    for (size_t i = 0; i < fields_.content.count; ++i) {
        known = known && fields_.content.codings[i] != BodyCoding::kUnknown &&
                fields_.content.codings[i] != BodyCoding::kChunked;
        ++layers;
    }
    compressed_ = layers > 0;
    if (!known || layers > 1) {
        Fail(AnswerEnd::kUnknownCoding);
    }
}

// Takes raw bytes from the source when none are left; false when none come.
bool AnswerStream::FillRaw() {
    if (rawAt_ < rawEnd_) {
        return true;
    }
    rawAt_ = rawEnd_ = 0;
    const long got = Receive(raw_, sizeof raw_);
    if (got > 0) {
        rawEnd_ = static_cast<size_t>(got);
        return true;
    }
    // A server that closes properly ends a body that said neither its length nor chunks.
    if (got == 0 && framing_ == Framing::kUntilClose) {
        framing_ = Framing::kDone;
        return false;
    }
    Fail(AnswerEnd::kCut);  // or too large, said already
    return false;
}

// The body's bytes with the transfer coding undone: what the server sent inside its chunks or
// its length. 0 at the body's end, -1 when it ended early.
long AnswerStream::Unframed(char* out, size_t room) {
    for (;;) {
        if (framing_ == Framing::kDone) {
            return 0;
        }
        if (end_ != AnswerEnd::kOpen) {
            return -1;
        }
        if (!FillRaw()) {
            return framing_ == Framing::kDone ? 0 : -1;
        }
        if (framing_ == Framing::kChunked) {
            const long taken = Chunked(out, room);
            if (taken != 0) {
                return taken;
            }
            continue;
        }
        size_t taken = rawEnd_ - rawAt_ < room ? rawEnd_ - rawAt_ : room;
        if (framing_ == Framing::kLength && taken > left_) {
            taken = static_cast<size_t>(left_);
        }
        memcpy(out, raw_ + rawAt_, taken);
        rawAt_ += taken;
        if (framing_ == Framing::kLength) {
            left_ -= taken;
            if (left_ == 0) {
                framing_ = Framing::kDone;  // what follows the length is no part of the answer
            }
        }
        return static_cast<long>(taken);
    }
}

// Walks the raw bytes through the chunks (a hexadecimal size, extensions, a line end, the data
// and a line end, until one of size 0), copying the data to `out`: its count, 0 when these raw
// bytes held none, -1 when the chunks are broken.
long AnswerStream::Chunked(char* out, size_t room) {
    size_t copied = 0;
    while (rawAt_ < rawEnd_ && copied < room) {
        const char c = raw_[rawAt_];
        switch (chunkPart_) {
            case ChunkPart::kSize: {
                const int digit = HexDigitValue(c);
                if (digit >= 0) {
                    // A chunk larger than the ceiling could never be read anyway.
                    if (left_ > ceiling_) {
                        Fail(AnswerEnd::kTooLarge);
                        return -1;
                    }
                    left_ = left_ * 16 + static_cast<unsigned>(digit);
                    sizeDigits_ = true;
                    ++rawAt_;
                    break;
                }
                if (!sizeDigits_) {
                    Fail(AnswerEnd::kGarbled);
                    return -1;
                }
                chunkPart_ = ChunkPart::kSizeLine;
                break;
            }
            case ChunkPart::kSizeLine:
                // Extensions after the size are ignored, up to the line's end.
                ++rawAt_;
                if (c == '\n') {
                    if (left_ == 0) {
                        framing_ = Framing::kDone;  // the last chunk: trailers are not read
                        return static_cast<long>(copied);
                    }
                    chunkPart_ = ChunkPart::kData;
                }
                break;
            case ChunkPart::kData: {
                size_t taken = rawEnd_ - rawAt_ < room - copied ? rawEnd_ - rawAt_ : room - copied;
                if (taken > left_) {
                    taken = static_cast<size_t>(left_);
                }
                memcpy(out + copied, raw_ + rawAt_, taken);
                copied += taken;
                rawAt_ += taken;
                left_ -= taken;
                if (left_ == 0) {
                    chunkPart_ = ChunkPart::kDataEnd;
                }
                break;
            }
            case ChunkPart::kDataEnd:
                // The line end after the data; a server that leaves it out is read all the same.
                if (c == '\r' || c == '\n') {
                    ++rawAt_;
                }
                if (c != '\r') {
                    chunkPart_ = ChunkPart::kSize;
                    sizeDigits_ = false;
                }
                break;
        }
    }
    return static_cast<long>(copied);
}

// The body's bytes with the content coding undone too.
long AnswerStream::Decoded(char* out, size_t room) {
    if (end_ != AnswerEnd::kOpen) {
        return end_ == AnswerEnd::kWhole ? 0 : -1;
    }
    if (decoded_ >= ceiling_) {
        Fail(AnswerEnd::kTooLarge);
        return -1;
    }
    const size_t allowed = ceiling_ - decoded_ < room ? ceiling_ - decoded_ : room;
    const long got = compressed_ ? Inflated(out, allowed) : Unframed(out, allowed);
    if (got > 0) {
        decoded_ += static_cast<size_t>(got);
    } else if (got == 0) {
        Fail(AnswerEnd::kWhole);
    }
    return got;
}

// Inflates the unframed bytes: a gzip or zlib stream, or the raw deflate some servers send under
// the name "deflate". 0 when the compressed data ended, -1 when it is broken or cut.
long AnswerStream::Inflated(char* out, size_t room) {
    if (zlib_ == nullptr) {
        // The first two bytes tell the wrapper.
        while (packedLength_ < 2) {
            const long got = Unframed(packed_ + packedLength_, sizeof packed_ - packedLength_);
            if (got <= 0) {
                if (got == 0 && packedLength_ == 0) {
                    return 0;  // an empty body needs nothing undone
                }
                Fail(AnswerEnd::kCut);  // or what Unframed said already
                return -1;
            }
            packedLength_ += static_cast<size_t>(got);
        }
        const unsigned char first = static_cast<unsigned char>(packed_[0]);
        const unsigned char second = static_cast<unsigned char>(packed_[1]);
        const bool gzip = first == 0x1f && second == 0x8b;
        const bool zlibWrapped = (first & 0x0f) == 8 && (first * 256 + second) % 31 == 0;
        zlib_ = new (std::nothrow) z_stream;
        if (zlib_ == nullptr) {
            Fail(AnswerEnd::kNoMemory);
            return -1;
        }
        memset(zlib_, 0, sizeof *zlib_);
        if (inflateInit2(zlib_, gzip ? 15 + 16 : zlibWrapped ? 15 : -15) != Z_OK) {
            delete zlib_;
            zlib_ = nullptr;
            Fail(AnswerEnd::kBrokenCoding);
            return -1;
        }
        zlib_->next_in = reinterpret_cast<Bytef*>(packed_);
        zlib_->avail_in = static_cast<uInt>(packedLength_);
    }
    const size_t offered = room < UINT_MAX ? room : UINT_MAX;
    for (;;) {
        if (zlib_->avail_in == 0 && !unframedEnded_) {
            const long got = Unframed(packed_, sizeof packed_);
            if (got < 0) {
                return -1;
            }
            unframedEnded_ = got == 0;
            zlib_->next_in = reinterpret_cast<Bytef*>(packed_);
            zlib_->avail_in = static_cast<uInt>(got);
        }
        zlib_->next_out = reinterpret_cast<Bytef*>(out);
        zlib_->avail_out = static_cast<uInt>(offered);
        const int status = inflate(zlib_, Z_NO_FLUSH);
        const long produced = static_cast<long>(offered - zlib_->avail_out);
        if (status == Z_STREAM_END) {
            // Whatever follows the compressed data is no part of the body.
            framing_ = Framing::kDone;
            if (produced > 0) {
                return produced;
            }
            return 0;
        }
        if (status != Z_OK && status != Z_BUF_ERROR) {
            Fail(AnswerEnd::kBrokenCoding);
            return -1;
        }
        if (produced > 0) {
            return produced;
        }
        if (zlib_->avail_in == 0 && unframedEnded_) {
            Fail(AnswerEnd::kCut);  // the data ended before the compressed stream did
            return -1;
        }
    }
}

long AnswerStream::Read(char* buffer, size_t room) {
    if (lookAt_ < lookEnd_) {
        const size_t taken = lookEnd_ - lookAt_ < room ? lookEnd_ - lookAt_ : room;
        memcpy(buffer, lookahead_ + lookAt_, taken);
        lookAt_ += taken;
        return static_cast<long>(taken);
    }
    return room == 0 ? 0 : Decoded(buffer, room);
}

const char* AnswerStream::Lookahead(size_t* length) {
    if (!looked_) {
        looked_ = true;
        while (lookEnd_ < kDocumentSearchCapacity) {
            const long got = Decoded(lookahead_ + lookEnd_, kDocumentSearchCapacity - lookEnd_);
            if (got <= 0) {
                break;
            }
            lookEnd_ += static_cast<size_t>(got);
        }
        lookahead_[lookEnd_] = '\0';
    }
    *length = lookEnd_ - lookAt_;
    return lookahead_ + lookAt_;
}

void AnswerStream::Skip(size_t count) {
    lookAt_ += count < lookEnd_ - lookAt_ ? count : lookEnd_ - lookAt_;
}

bool AnswerStream::Reusable() const {
    return lengthFramed_ && end_ == AnswerEnd::kWhole && framing_ == Framing::kDone &&
           rawAt_ == rawEnd_ && lookAt_ == lookEnd_ && !closed_ && !fields_.closes;
}

void AnswerStream::Drain() {
    lookAt_ = lookEnd_;
    char scrap[4096];
    while (Decoded(scrap, sizeof scrap) > 0) {
    }
}
