// What the fetcher reads out of URLs and answers: the parts of a URL, the request for it, where a
// document begins in an answer, and where a redirect points.
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/module.h"
#include "base/status.h"
#include "base/text_scan.h"
#include "compose/civil_time.h"
#include "fetch/fetch.h"

namespace {

// HTTP/1.1, as today's servers expect, on a connection of its own; the feed types asked for
// first. The answer may come in chunks, which the fetcher decodes.
constexpr char kRequestFormat[] =
    "GET %s HTTP/1.1\r\nHost: %s\r\nUser-Agent: PellixQuillfeed %s\r\n"
    "Accept: application/rss+xml, application/atom+xml, application/rdf+xml;q=0.9, "
    "application/xml;q=0.8, text/xml;q=0.8, */*;q=0.5\r\n"
    "Accept-Encoding: gzip, deflate\r\n%s"
    "Pragma: no-cache\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n";

constexpr int kHttpPort = 80;
constexpr int kHttpsPort = 443;

// Whether `text` begins with `word` (lower case), ASCII letters without regard to case.
bool BeginsWithWord(const char* text, const char* word) {
    for (; *word != '\0'; ++text, ++word) {
        if (AsciiLower(*text) != *word) {
            return false;
        }
    }
    return true;
}

// The port after the colon as the runtime's atoi reads it (leading blanks, a sign, the leading
// decimal digits; none give 0), except that a number too big for an int ends at the int's limit
// instead of being undefined.
int ReadPort(const char* text) {
    long value = strtol(text, nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == ':' || static_cast<unsigned char>(c) >= 0x80;
}

// The first start tag whose local name is "feed" (Atom) or "RDF" (RSS 1.0), with or without a
// prefix: where a document without an XML declaration begins.
const char* FindRootElement(const char* text) {
    for (const char* open = strchr(text, '<'); open != nullptr; open = strchr(open + 1, '<')) {
        const char* name = open + 1;
        const char* end = name;
        while (IsNameCharacter(*end)) {
            ++end;
        }
        const char* local = name;
        for (const char* at = name; at < end; ++at) {
            if (*at == ':') {
                local = at + 1;
            }
        }
        const size_t length = static_cast<size_t>(end - local);
        const bool ends = *end == '>' || *end == '/' || *end == ' ' || *end == '\t' ||
                          *end == '\r' || *end == '\n';
        if (ends && ((length == 4 && strncmp(local, "feed", 4) == 0) ||
                     (length == 3 && strncmp(local, "RDF", 3) == 0))) {
            return open;
        }
    }
    return nullptr;
}

// The value of the answer's header `name` (lower case, with its colon), trimmed, into `out`: 1,
// or 0 when the header part has none, -1 when it does not fit.
int FindHeader(const char* answer, const char* name, char* out, size_t capacity) {
    const size_t nameLength = strlen(name);
    const char* line = strchr(answer, '\n');
    while (line != nullptr) {
        ++line;
        if (*line == '\r' || *line == '\n' || *line == '\0') {
            return 0;  // the empty line: the header part ended
        }
        if (BeginsWithWord(line, name)) {
            const char* value = line + nameLength;
            while (*value == ' ' || *value == '\t') {
                ++value;
            }
            size_t length = strcspn(value, "\r\n");
            while (length > 0 && (value[length - 1] == ' ' || value[length - 1] == '\t')) {
                --length;
            }
            if (length + 1 > capacity) {
                return -1;
            }
            memcpy(out, value, length);
            out[length] = '\0';
            return 1;
        }
        line = strchr(line, '\n');
    }
    return 0;
}

}  // namespace

bool HasUserInformation(const char* url) {
    if (url == nullptr) {
        return false;
    }
    const char* separator = strstr(url, "://");
    const char* rest = separator != nullptr ? separator + 3 : url;
    return memchr(rest, '@', strcspn(rest, "/?#")) != nullptr;
}

bool IsHttpsUrl(const char* url) {
    const char* separator = url != nullptr ? strstr(url, "://") : nullptr;
    return separator != nullptr && separator - url == 5 && BeginsWithWord(url, "https");
}

int SplitUrl(const char* url, char* host, size_t hostCapacity, int* port, char* path,
             size_t pathCapacity) {
    char work[kUrlCapacity];
    if (url == nullptr || !CopyText(work, sizeof work, url)) {
        return -1;
    }
    for (const char* at = work; *at != '\0'; ++at) {
        if (static_cast<unsigned char>(*at) < 0x20 || *at == 0x7F) {
            return -1;
        }
    }

    // Only https changes how the feed is fetched (over TLS, by default on port 443); any other
    // scheme, or none, means plain HTTP.
    char* rest = strstr(work, "://");
    rest = rest != nullptr ? rest + 3 : work;

    // The fragment names a place in the document for a browser; it is never sent.
    char* fragment = strchr(rest, '#');
    if (fragment != nullptr) {
        *fragment = '\0';
    }
    char* slash = strchr(rest, '/');
    // User information before the host ("user:password@host") would have the user's name taken
    // for the host: such an address is refused (HasUserInformation says so to the user).
    const size_t authority = slash != nullptr ? static_cast<size_t>(slash - rest) : strlen(rest);
    if (memchr(rest, '@', authority) != nullptr) {
        return -1;
    }
    if (!CopyText(path, pathCapacity, slash != nullptr ? slash : "/")) {
        return -1;
    }
    if (slash != nullptr) {
        *slash = '\0';
    }

    // Only the host part is searched, so a colon in the path never names a port. An IPv6
    // address is written in brackets ("[::1]:8080"), its own colons inside them.
    char* name = rest;
    char* portText = nullptr;
    if (rest[0] == '[') {
        char* close = strchr(rest, ']');
        if (close == nullptr || (close[1] != '\0' && close[1] != ':')) {
            return -1;
        }
        name = rest + 1;
        portText = close[1] == ':' ? close + 2 : nullptr;
        *close = '\0';
    } else if (char* colon = strchr(rest, ':')) {
        portText = colon + 1;
        *colon = '\0';
    }
    const int number = portText != nullptr ? ReadPort(portText)
                       : IsHttpsUrl(url)   ? kHttpsPort
                                           : kHttpPort;
    if (number < 1 || number > 65535 || name[0] == '\0') {
        return -1;
    }
    if (!CopyText(host, hostCapacity, name)) {
        return -1;
    }
    *port = number;
    return 0;
}

bool FormatRequest(const char* path, const char* host, int port, bool https, const char* conditions,
                   char* out, size_t capacity) {
    char encoded[3 * kUrlCapacity];
    size_t used = 0;
    for (const char* at = path; *at != '\0'; ++at) {
        if (used + 4 > sizeof encoded) {
            return false;
        }
        if (*at == ' ') {
            memcpy(encoded + used, "%20", 3);
            used += 3;
        } else {
            encoded[used++] = *at;
        }
    }
    encoded[used] = '\0';
    // The Host header names the port when it is not the scheme's own: a server that builds its
    // redirects from the header sends the refresh back to the right one.
    // An IPv6 address goes in brackets, as in the URL.
    char name[kUrlCapacity + 2];
    if (!FormatText(name, sizeof name, strchr(host, ':') != nullptr ? "[%s]" : "%s", host)) {
        return false;
    }
    char hostHeader[kUrlCapacity + 8];
    if (port == (https ? kHttpsPort : kHttpPort)) {
        if (!CopyText(hostHeader, sizeof hostHeader, name)) {
            return false;
        }
    } else if (!FormatText(hostHeader, sizeof hostHeader, "%s:%d", name, port)) {
        return false;
    }
    return FormatText(out, capacity, kRequestFormat, encoded, hostHeader, PlugInVersion,
                      conditions != nullptr ? conditions : "");
}

const char* FindDocumentStart(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    const char* start = strstr(text, "<?xml");
    if (start == nullptr) {
        start = strstr(text, "<rss");
    }
    return start != nullptr ? start : FindRootElement(text);
}

bool FindAnswerHeader(const char* answer, const char* name, char* out, size_t capacity) {
    return FindHeader(answer, name, out, capacity) == 1;
}

long long RetryAfterSeconds(const char* value, long long now) {
    if (value[0] >= '0' && value[0] <= '9') {
        long long seconds = 0;
        for (const char* at = value; *at >= '0' && *at <= '9'; ++at) {
            seconds = seconds < 100000000 ? seconds * 10 + (*at - '0') : seconds;
        }
        return seconds;
    }
    // An HTTP date: "Wed, 21 Oct 2015 07:28:00 GMT".
    const char* comma = strchr(value, ',');
    long long numbers[5] = {};
    char month[4] = {};
    const char* at = comma != nullptr ? comma + 1 : value;
    while (*at == ' ') {
        ++at;
    }
    if (ScanNumbers(at, "%d", numbers, 1) != 1) {
        return -1;
    }
    at += strspn(at, "0123456789");
    while (*at == ' ') {
        ++at;
    }
    memcpy(month, at, strnlen(at, 3) < 3 ? strnlen(at, 3) : 3);
    at += strnlen(at, 3);
    if (ScanNumbers(at, " %d %d:%d:%d", numbers + 1, 4) != 4) {
        return -1;
    }
    int monthNumber = 0;
    for (int m = 1; m <= 12; ++m) {
        if (strcmp(MonthName(m), month) == 0) {
            monthNumber = m;
        }
    }
    if (monthNumber == 0 || numbers[0] < 1 || numbers[0] > 31 || numbers[2] > 23 ||
        numbers[3] > 59 || numbers[4] > 60) {
        return -1;
    }
    const int64_t then =
        CivilSeconds(numbers[1], monthNumber, numbers[0], numbers[2], numbers[3], numbers[4]);
    return then > now ? then - now : 0;
}

int HttpStatus(const char* answer) {
    // "HTTP/1.x", blanks, and three digits ending in a blank or the line's end.
    if (answer == nullptr || strncmp(answer, "HTTP/1.", 7) != 0 || answer[7] < '0' ||
        answer[7] > '9' || (answer[8] != ' ' && answer[8] != '\t')) {
        return 0;
    }
    const char* code = answer + 8;
    while (*code == ' ' || *code == '\t') {
        ++code;
    }
    for (int i = 0; i < 3; ++i) {
        if (code[i] < '0' || code[i] > '9') {
            return 0;
        }
    }
    if (code[3] != ' ' && code[3] != '\t' && code[3] != '\r' && code[3] != '\n') {
        return 0;
    }
    return (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
}

Redirect FindRedirect(const char* answer, const char* url, char* next, size_t capacity) {
    const int status = HttpStatus(answer);
    if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308) {
        return Redirect::kNone;
    }
    char location[kUrlCapacity];
    const int found = FindHeader(answer, "location:", location, sizeof location);
    if (found == 0 || (found == 1 && location[0] == '\0')) {
        return Redirect::kNone;
    }
    if (found < 0 || !ResolveReference(url, location, next, capacity)) {
        return Redirect::kRefused;
    }
    // Only http and https are fetched (an address without a scheme is plain http); leaving TLS
    // for plain text would hand the rest of the refresh to anyone on the way.
    // A colon after the first word and before a digit is a port ("host:81/x"), not a scheme.
    const size_t schemeEnd = strcspn(next, ":/?#");
    const bool schemed = schemeEnd > 0 && next[schemeEnd] == ':' &&
                         (next[schemeEnd + 1] < '0' || next[schemeEnd + 1] > '9');
    if ((schemed && !BeginsWithWord(next, "http://") && !BeginsWithWord(next, "https://")) ||
        (IsHttpsUrl(url) && !IsHttpsUrl(next))) {
        return Redirect::kRefused;
    }
    return Redirect::kFollow;
}
