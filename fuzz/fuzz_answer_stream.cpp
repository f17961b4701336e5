// AnswerStream over random bodies, framed and coded as servers send them, handed over in random
// pieces, and checked against a plain reading of the rule: what the stream gives is the body,
// byte for byte, and it ends whole; an answer cut short gives a beginning of the body and ends
// cut. Random whole answers must end too, within the ceiling. The first input bytes choose the
// framing, the piece sizes, the chunk size and the cut; the rest is the body.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fetch/answer_stream.h"

namespace {

// Hands the answer over in pieces whose sizes cycle through `sizes`.
class PiecedSource final : public AnswerSource {
public:
    PiecedSource(const std::string& bytes, const uint8_t* sizes, size_t count)
        : bytes_(bytes), sizes_(sizes), count_(count) {}
    long Receive(char* buffer, size_t room) override {
        size_t piece = count_ > 0 ? sizes_[next_++ % count_] % 64 + 1 : room;
        piece = piece < room ? piece : room;
        piece = piece < bytes_.size() - at_ ? piece : bytes_.size() - at_;
        memcpy(buffer, bytes_.data() + at_, piece);
        at_ += piece;
        return static_cast<long>(piece);
    }

private:
    const std::string& bytes_;
    const uint8_t* sizes_;
    size_t count_;
    size_t at_ = 0;
    size_t next_ = 0;
};

std::string Chunked(const std::string& body, size_t size, bool extensions) {
    std::string out;
    for (size_t at = 0; at < body.size(); at += size) {
        const size_t piece = body.size() - at < size ? body.size() - at : size;
        char line[32];
        snprintf(line, sizeof line, at % 2 == 0 ? "%zx" : "%zX", piece);
        out += line;
        out += extensions ? ";name=value\r\n" : "\r\n";
        out += body.substr(at, piece) + "\r\n";
    }
    return out + "0\r\n\r\n";
}

std::string Gzipped(const std::string& body) {
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    if (deflateInit2(&stream, 6, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        abort();
    }
    std::string out(deflateBound(&stream, static_cast<uLong>(body.size())) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
    stream.avail_in = static_cast<uInt>(body.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END) {
        abort();
    }
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// Everything the stream gives, through its lookahead first when `look` says so.
std::string ReadAll(AnswerStream* stream, bool look) {
    std::string got;
    if (look) {
        size_t length = 0;
        const char* start = stream->Lookahead(&length);
        if (length > kDocumentSearchCapacity || start[length] != '\0') {
            abort();
        }
    }
    char piece[777];
    for (long n = stream->Read(piece, sizeof piece); n > 0; n = stream->Read(piece, sizeof piece)) {
        if (static_cast<size_t>(n) > sizeof piece) {
            abort();
        }
        got.append(piece, static_cast<size_t>(n));
    }
    return got;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) {
        return 0;
    }
    const int mode = data[0] % 6;
    const size_t chunk = data[1] % 200 + 1;
    const size_t cut = data[2] % 16;  // bytes taken off the end, 0 for none
    const bool look = (data[3] & 1) != 0;
    const size_t sizeCount = data[3] >> 5;
    if (size < 4 + sizeCount) {
        return 0;
    }
    const uint8_t* sizes = data + 4;
    const std::string body(reinterpret_cast<const char*>(data + 4 + sizeCount),
                           size - 4 - sizeCount);

    std::string answer;
    switch (mode) {
        case 0:
            answer = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" +
                     Chunked(body, chunk, chunk % 2 == 1);
            break;
        case 1:
            answer = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                     "\r\n\r\n" + body + "not of the answer";
            break;
        case 2:
            answer = "HTTP/1.0 200 OK\n\n" + body;
            break;
        case 3:
            answer =
                "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n" +
                Chunked(Gzipped(body), chunk, false);
            break;
        default:
            answer = body;  // any bytes at all
            break;
    }
    // A cut answer, when the cut leaves the header whole: it is still whole when only the last
    // chunk's empty line goes (chunks), or only framing after the compressed data (gzip).
    const bool framed = mode == 0 || mode == 1 || mode == 3;
    const size_t headerLength = framed ? answer.find("\r\n\r\n") + 4 : 0;
    size_t dropped = 0;
    if (cut > 0 && framed) {
        if (mode == 1) {
            dropped = cut <= body.size() ? cut + 17 : 0;
        } else if (cut < answer.size() - headerLength) {
            dropped = cut;
        }
    }
    answer.resize(answer.size() - dropped);
    const bool whole = dropped == 0 || (mode == 0 && cut <= 2) || (mode == 3 && cut <= 7);

    PiecedSource source(answer, sizes, sizeCount);
    AnswerStream* stream = new AnswerStream(&source, kAnswerLimit);
    const bool header = stream->ReadHeader();
    if (mode == 5) {
        if (header) {
            ReadAll(stream, look);
            stream->Drain();
            if (stream->End() == AnswerEnd::kOpen) {
                abort();  // a stream read to its end has ended
            }
        }
        delete stream;
        return 0;
    }
    if (mode == 4) {
        // No status line: the whole answer is the body, whole at the close.
        const std::string got = header ? ReadAll(stream, look) : std::string();
        const bool statusLike =
            body.compare(0, 5, "HTTP/", 0, body.size() < 5 ? body.size() : 5) == 0;
        if (!statusLike && (got != body || stream->End() != AnswerEnd::kWhole)) {
            abort();
        }
        delete stream;
        return 0;
    }
    if (!header || stream->Status() != 200) {
        abort();
    }
    const std::string got = ReadAll(stream, look);
    if (whole) {
        if (got != body || stream->End() != AnswerEnd::kWhole) {
            abort();
        }
    } else if (got.size() > body.size() || body.compare(0, got.size(), got) != 0 ||
               stream->End() == AnswerEnd::kWhole || stream->End() == AnswerEnd::kOpen) {
        // A cut answer gives a beginning of the body and ends, not whole. (A gzip stream cut in
        // its trailer may have given all the body; it still does not end whole.)
        abort();
    }
    delete stream;
    return 0;
}
