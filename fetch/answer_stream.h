// A server's answer read as HTTP while it arrives: the status line and header fields whole, then
// the body handed on piece by piece, its transfer coding (chunks, a Content-Length) and content
// coding (gzip, deflate) undone on the way. A worker holds a few buffers of fixed size however
// large the feed is.
#pragma once

#include <cstddef>

#include "base/capacities.h"
#include "fetch/answer_header.h"
#include "platform/xml_reader.h"

struct z_stream_s;

// Where the bytes of an answer come from.
class AnswerSource {
public:
    // Puts up to `room` bytes into `buffer` and answers how many: 0 when the server closed the
    // connection properly, -1 when it failed, fell silent or passed the refresh's deadline.
    virtual long Receive(char* buffer, size_t room) = 0;

protected:
    ~AnswerSource() = default;
};

// An answer held in memory: what the tests and the benchmarks hand the reader.
class TextAnswerSource final : public AnswerSource {
public:
    TextAnswerSource(const char* bytes, size_t length) : at_(bytes), left_(length) {}
    long Receive(char* buffer, size_t room) override;

private:
    const char* at_;
    size_t left_;
};

// How reading an answer ended.
enum class AnswerEnd {
    kOpen,           // not yet: more of it may come
    kWhole,          // all of it arrived: the last chunk, as many bytes as its length said, the
                     // end of its compressed data, or the server's close when it said neither
    kNothing,        // the connection failed or fell silent before a byte arrived
    kCut,            // the connection ended or failed before the answer was whole
    kTooLarge,       // the answer, or its body decoded, reached the ceiling
    kHeaderTooLong,  // the header part does not fit kAnswerHeaderCapacity
    kUnknownCoding,  // the body is compressed in a way this reader does not undo
    kGarbled,        // the body's framing is broken: a chunk's size line that is no hexadecimal
                     // number, chunks that are not the last transfer coding, a Content-Length
                     // that is no number or two that disagree
    kBrokenCoding,   // the compressed data is no gzip or deflate stream
    kNoMemory,       // no memory to undo the content coding
};

// One answer, read once from the front. As an XmlSource it gives the body's bytes as the server
// meant them, and -1 when the answer ends before it is whole (End() then tells why), so that the
// reader stops where the answer does.
class AnswerStream final : public XmlSource {
public:
    AnswerStream(AnswerSource* source, size_t ceiling);
    ~AnswerStream();
    AnswerStream(const AnswerStream&) = delete;
    AnswerStream& operator=(const AnswerStream&) = delete;

    // Reads up to the empty line that ends the header part. An answer that does not begin with an
    // HTTP/1.x status line has no header: all of it is the body. False when the answer ended
    // before its header did, or the header is too long: End() tells which.
    bool ReadHeader();
    // The status line and header fields, terminated, ending in the empty line; "" for an answer
    // without a status line.
    const char* Header() const { return header_; }
    // The fields read from it.
    const AnswerHeader& Fields() const { return fields_; }
    // The status code, 0 for an answer without a status line.
    int Status() const { return fields_.status; }

    long Read(char* buffer, size_t room) override;

    // The first bytes of the body, decoded, up to kDocumentSearchCapacity, terminated after them:
    // read now when they have not been, and handed out again by Read. `length` gets their count.
    const char* Lookahead(size_t* length);
    // Drops the first `count` bytes of what Lookahead holds and Read has not handed out.
    void Skip(size_t count);
    // Reads what is left of the body and throws it away, so that End() tells whether it was whole.
    void Drain();

    AnswerEnd End() const { return end_; }

    // Whether the connection may carry another request once this answer was read: it came whole,
    // framed by its length, with nothing after it, and the server keeps the connection.
    bool Reusable() const;

private:
    long Receive(char* buffer, size_t room);
    void ReadFraming();
    bool FillRaw();
    long Unframed(char* out, size_t room);
    long Chunked(char* out, size_t room);
    long Inflated(char* out, size_t room);
    long Decoded(char* out, size_t room);
    void Fail(AnswerEnd why);

    AnswerSource* source_;
    size_t ceiling_;
    size_t received_ = 0;  // raw bytes, the header's included
    size_t decoded_ = 0;   // body bytes handed on or held in the lookahead
    AnswerEnd end_ = AnswerEnd::kOpen;

    char header_[kAnswerHeaderCapacity + 1] = {};
    AnswerHeader fields_;
    // Raw bytes received and not yet taken.
    char raw_[kReceivePiece];
    size_t rawAt_ = 0;
    size_t rawEnd_ = 0;
    bool closed_ = false;  // the source has said its last: 0 or -1, kept in closedWith_
    long closedWith_ = 0;

    enum class Framing { kUntilClose, kLength, kChunked, kDone };
    Framing framing_ = Framing::kUntilClose;
    bool lengthFramed_ = false;
    unsigned long long left_ = 0;  // of the Content-Length, or of the chunk
    enum class ChunkPart { kSize, kSizeLine, kData, kDataEnd };
    ChunkPart chunkPart_ = ChunkPart::kSize;
    bool sizeDigits_ = false;

    // Undoing a compression (a content coding, or a transfer coding below the chunks): the
    // unframed bytes wait here for zlib.
    bool compressed_ = false;
    z_stream_s* zlib_ = nullptr;
    char packed_[kReceivePiece];
    size_t packedLength_ = 0;
    bool unframedEnded_ = false;

    char lookahead_[kDocumentSearchCapacity + 1] = {};
    size_t lookAt_ = 0;
    size_t lookEnd_ = 0;
    bool looked_ = false;
};
