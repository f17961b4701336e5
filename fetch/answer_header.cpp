#include "fetch/answer_header.h"

#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "base/text.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A field's value, trimmed, into `out`, each run of blanks and folded line ends as one blank.
// False, leaving `out` empty, when it does not fit.
bool CopyValue(char* out, size_t capacity, const char* value, size_t length) {
    while (length > 0 && IsBlank(value[0])) {
        ++value;
        --length;
    }
    while (length > 0 && IsBlank(value[length - 1])) {
        --length;
    }
    size_t used = 0;
    for (size_t i = 0; i < length; ++i) {
        if (IsBlank(value[i]) && IsBlank(value[i + 1])) {
            continue;  // a run of blanks ends in one, which is never the value's last
        }
        if (used + 1 >= capacity) {
            out[0] = '\0';
            return false;
        }
        out[used++] = IsBlank(value[i]) ? ' ' : value[i];
    }
    out[used] = '\0';
    return true;
}

// Adds a field's value to the values of its name before it, joined by a comma as HTTP joins a
// field given twice; a value that does not fit whole is left out.
void Join(char* joinedValues, size_t capacity, const char* value, size_t length) {
    const size_t used = strlen(joinedValues);
    TextWriter joined(joinedValues, capacity, used);
    std::unique_ptr<char[]> copy(new (std::nothrow) char[capacity]);
    if (copy == nullptr || !CopyValue(copy.get(), capacity, value, length) ||
        !((used == 0 || joined.Put(", ")) && joined.Put(copy.get()))) {
        joined.TakeBack(used);
    }
}

// The first value of a field given once or more: the first counts.
void KeepFirst(char* field, size_t capacity, bool* had, const char* value, size_t length,
               bool* tooLong = nullptr) {
    if (*had) {
        return;
    }
    *had = true;
    if (!CopyValue(field, capacity, value, length) && tooLong != nullptr) {
        *tooLong = true;
    }
}

// Calls `take` with each element of a comma-separated list, trimmed; empty elements are skipped.
template <typename Take>
void ForEachElement(const char* value, size_t length, Take take) {
    size_t start = 0;
    for (size_t i = 0; i <= length; ++i) {
        if (i < length && value[i] != ',') {
            continue;
        }
        size_t from = start;
        size_t to = i;
        while (from < to && IsBlank(value[from])) {
            ++from;
        }
        while (to > from && IsBlank(value[to - 1])) {
            --to;
        }
        if (to > from) {
            take(value + from, to - from);
        }
        start = i + 1;
    }
}

void AddCodings(BodyCodings* codings, const char* value, size_t length) {
    ForEachElement(value, length, [codings](const char* token, size_t size) {
        // A transfer coding may carry parameters ("gzip;q=1"), which change nothing here.
        size_t name = 0;
        while (name < size && token[name] != ';' && !IsBlank(token[name])) {
            ++name;
        }
        if (SameAsciiWord(token, name, "identity")) {
            return;
        }
        const BodyCoding coding =
            SameAsciiWord(token, name, "chunked") ? BodyCoding::kChunked
            : SameAsciiWord(token, name, "gzip") || SameAsciiWord(token, name, "x-gzip")
                ? BodyCoding::kGzip
            : SameAsciiWord(token, name, "deflate") ? BodyCoding::kDeflate
                                                    : BodyCoding::kUnknown;
        if (codings->count == BodyCodings::kMost) {
            codings->tooMany = true;
            return;
        }
        codings->codings[codings->count++] = coding;
    });
}

void TakeLength(AnswerHeader* header, const char* value, size_t length) {
    bool any = false;
    ForEachElement(value, length, [header, &any](const char* digits, size_t size) {
        any = true;
        unsigned long long number = 0;
        for (size_t i = 0; i < size; ++i) {
            const unsigned digit = static_cast<unsigned>(digits[i] - '0');
            // Detect and prevent integer overflow
            if (!IsAsciiDigit(digits[i]) || number > (ULLONG_MAX - digit) / 10) {
                header->badLength = true;
                return;
            }
            number = number * 10 + digit;
        }
        if (header->hasLength && number != header->length) {
            header->badLength = true;
        }
        header->hasLength = true;
        header->length = number;
    });
    if (!any) {
        header->badLength = true;  // a Content-Length with nothing in it
    }
}

// What one field says, by its name.
struct Seen {
    bool location = false;
    bool etag = false;
    bool lastModified = false;
    bool retryAfter = false;
    bool contentType = false;
    bool expires = false;
    bool date = false;
    bool keepAlive = false;
};

// Cache-Control's max-age, the last one given, in seconds; other directives change nothing here.
void TakeCacheControl(AnswerHeader* header, const char* value, size_t length) {
    ForEachElement(value, length, [header](const char* directive, size_t size) {
        static const char kMaxAge[] = "max-age=";
        const size_t prefix = sizeof kMaxAge - 1;
        if (size <= prefix || !SameAsciiWord(directive, prefix, kMaxAge)) {
            return;
        }
        long long seconds = 0;
        for (size_t i = prefix; i < size; ++i) {
            if (!IsAsciiDigit(directive[i])) {
                return;
            }
            seconds = seconds < 1000000000 ? seconds * 10 + (directive[i] - '0') : seconds;
        }
        header->maxAge = seconds;
    });
}

void TakeField(AnswerHeader* h, Seen* seen, const char* name, size_t nameLength, const char* value,
               size_t length) {
    if (SameAsciiWord(name, nameLength, "location")) {
        KeepFirst(h->location, sizeof h->location, &seen->location, value, length,
                  &h->locationTooLong);
        h->hasLocation = true;
    } else if (SameAsciiWord(name, nameLength, "etag")) {
        KeepFirst(h->etag, sizeof h->etag, &seen->etag, value, length);
    } else if (SameAsciiWord(name, nameLength, "last-modified")) {
        KeepFirst(h->lastModified, sizeof h->lastModified, &seen->lastModified, value, length);
    } else if (SameAsciiWord(name, nameLength, "retry-after")) {
        KeepFirst(h->retryAfter, sizeof h->retryAfter, &seen->retryAfter, value, length);
    } else if (SameAsciiWord(name, nameLength, "content-type")) {
        KeepFirst(h->contentType, sizeof h->contentType, &seen->contentType, value, length);
    } else if (SameAsciiWord(name, nameLength, "cache-control")) {
        TakeCacheControl(h, value, length);
    } else if (SameAsciiWord(name, nameLength, "expires")) {
        KeepFirst(h->expires, sizeof h->expires, &seen->expires, value, length);
    } else if (SameAsciiWord(name, nameLength, "date")) {
        KeepFirst(h->date, sizeof h->date, &seen->date, value, length);
    } else if (SameAsciiWord(name, nameLength, "cf-mitigated")) {
        char said[32];
        h->challenge = h->challenge || (CopyValue(said, sizeof said, value, length) &&
                                        SameAsciiWord(said, strlen(said), "challenge"));
    } else if (SameAsciiWord(name, nameLength, "link")) {
        Join(h->links, sizeof h->links, value, length);
    } else if (SameAsciiWord(name, nameLength, "www-authenticate")) {
        Join(h->authenticate, sizeof h->authenticate, value, length);
    } else if (SameAsciiWord(name, nameLength, "proxy-authenticate")) {
        Join(h->proxyAuthenticate, sizeof h->proxyAuthenticate, value, length);
    } else if (SameAsciiWord(name, nameLength, "connection") ||
               SameAsciiWord(name, nameLength, "proxy-connection")) {
        ForEachElement(value, length, [h, seen](const char* option, size_t size) {
            if (SameAsciiWord(option, size, "close")) {
                h->closes = true;
            } else if (SameAsciiWord(option, size, "keep-alive")) {
                seen->keepAlive = true;
            }
        });
    } else if (SameAsciiWord(name, nameLength, "transfer-encoding")) {
        AddCodings(&h->transfer, value, length);
    } else if (SameAsciiWord(name, nameLength, "content-encoding")) {
        AddCodings(&h->content, value, length);
    } else if (SameAsciiWord(name, nameLength, "content-length")) {
        TakeLength(h, value, length);
    }
}

}  // namespace

void ParseAnswerHeader(const char* text, AnswerHeader* header) {
    *header = AnswerHeader();
    header->status = HttpStatus(text);
    Seen seen;
    // The status line is no field.
    const char* line = strchr(text, '\n');
    while (line != nullptr) {
        ++line;
        if (*line == '\r' || *line == '\n' || *line == '\0') {
            break;  // the empty line: the header part ended
        }
        // The field runs on over the lines that begin with a blank.
        const char* end = strchr(line, '\n');
        while (end != nullptr && (end[1] == ' ' || end[1] == '\t')) {
            end = strchr(end + 1, '\n');
        }
        const size_t extent = end != nullptr ? static_cast<size_t>(end - line) : strlen(line);
        const char* colon = static_cast<const char*>(memchr(line, ':', extent));
        if (colon != nullptr) {
            const size_t nameLength = static_cast<size_t>(colon - line);
            TakeField(header, &seen, line, nameLength, colon + 1, extent - nameLength - 1);
        }
        line = end;
    }
    // HTTP/1.0 closes after each answer unless it says otherwise.
    if (header->status == 0 || (strncmp(text, "HTTP/1.0", 8) == 0 && !seen.keepAlive)) {
        header->closes = true;
    }
}

int HttpStatus(const char* answer) {
    // "HTTP/1.x", blanks, and three digits ending in a blank or the line's end.
    if (answer == nullptr || strncmp(answer, "HTTP/1.", 7) != 0 || !IsAsciiDigit(answer[7]) ||
        (answer[8] != ' ' && answer[8] != '\t')) {
        return 0;
    }
    const char* code = answer + 8;
    while (*code == ' ' || *code == '\t') {
        ++code;
    }
    for (int i = 0; i < 3; ++i) {
        if (!IsAsciiDigit(code[i])) {
            return 0;
        }
    }
    if (code[3] != ' ' && code[3] != '\t' && code[3] != '\r' && code[3] != '\n') {
        return 0;
    }
    return (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
}
