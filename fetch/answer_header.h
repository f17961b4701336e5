// The header of a server's answer, read once as it arrives into the fields the system acts on:
// the status, where a redirect leads, the validators, when to ask again, and how the body is
// framed and coded. Nothing else looks a field up by name.
#pragma once

#include <cstddef>

#include "base/capacities.h"

// A coding of the body, as Transfer-Encoding and Content-Encoding name them.
enum class BodyCoding : unsigned char { kChunked, kGzip, kDeflate, kUnknown };

// The codings a header names, in the order they were applied; "identity" is none.
struct BodyCodings {
    static constexpr size_t kMost = 8;
    BodyCoding codings[kMost];
    size_t count = 0;
    bool tooMany = false;  // more than kMost: read as a coding this reader does not know
};

struct AnswerHeader {
    // The status code, 0 for an answer without a status line.
    int status = 0;
    // Location, trimmed; a value too long for a URL leaves it empty and says so.
    char location[kUrlCapacity] = {};
    bool locationTooLong = false;
    bool hasLocation = false;
    // The validators of the answer, each "" when it has none or one too long to keep.
    char etag[kValidatorCapacity] = {};
    char lastModified[kValidatorCapacity] = {};
    // Retry-After as written, "" when absent.
    char retryAfter[kValidatorCapacity] = {};
    // Content-Type as written, "" when absent.
    char contentType[kValidatorCapacity] = {};
    // How long the answer stays fresh, as the server says: Cache-Control's max-age in seconds
    // (-1 when it gives none), and Expires and Date as written ("" when absent).
    long long maxAge = -1;
    char expires[kValidatorCapacity] = {};
    char date[kValidatorCapacity] = {};
    // A site's bot check said in the header (cf-mitigated: challenge).
    bool challenge = false;
    // Every Link field's value, joined by commas as HTTP joins a field given twice; a field that
    // does not fit whole is left out.
    char links[kLinkFieldCapacity] = {};
    // The login challenges of every WWW-Authenticate and every Proxy-Authenticate field, each
    // name's joined by commas; a field that does not fit whole is left out.
    char authenticate[kChallengeCapacity] = {};
    char proxyAuthenticate[kChallengeCapacity] = {};
    // The server ends the connection after this answer (Connection: close, or an HTTP/1.0
    // answer that does not say keep-alive).
    bool closes = false;
    // Every Transfer-Encoding and Content-Encoding token, of every field of the name, in order.
    BodyCodings transfer;
    BodyCodings content;
    // Content-Length: whether the answer gives one, and its value. A value that is no number,
    // or two that disagree, cannot frame the body: `badLength` says so.
    bool hasLength = false;
    unsigned long long length = 0;
    bool badLength = false;
};

// Reads a header part: the status line, the fields (a line that begins with a blank continues
// the field before it) and the empty line that ends them; `text` is terminated. Names are matched
// without regard to case; of a field given twice the first counts, but for the codings, which
// add up, and the length, which must agree.
void ParseAnswerHeader(const char* text, AnswerHeader* header);

// The status code of an answer that begins with an HTTP/1.x status line (blanks between its
// parts), 0 for an answer without one.
int HttpStatus(const char* answer);
