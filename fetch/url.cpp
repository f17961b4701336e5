// What the fetcher reads out of URLs and answers: the parts of a URL, the request for it, where a
// document begins in an answer, and where a redirect points.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "base/module.h"
#include "base/status.h"
#include "fetch/fetch.h"

namespace {

constexpr char kRequestFormat[] =
    "GET %s HTTP/1.0\r\nHost: %s\r\nUser-Agent: PellixQuillfeed %s\r\nPragma: no-cache\r\n"
    "Cache-Control: no-cache\r\nConnection: close\r\n\r\n";

constexpr int kHttpPort = 80;
constexpr int kHttpsPort = 443;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether `text` begins with `word` (lower case), ASCII letters without regard to case.
bool BeginsWithWord(const char* text, const char* word) {
    for (; *word != '\0'; ++text, ++word) {
        if (Lower(*text) != *word) {
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

// The value of the answer's Location header, trimmed, into `out`: 1, or 0 when the header part
// has none, -1 when it does not fit.
int FindLocation(const char* answer, char* out, size_t capacity) {
    const char* line = strchr(answer, '\n');
    while (line != nullptr) {
        ++line;
        if (*line == '\r' || *line == '\n' || *line == '\0') {
            return 0;  // the empty line: the header part ended
        }
        if (BeginsWithWord(line, "location:")) {
            const char* value = line + 9;
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

bool IsHttpsUrl(const char* url) {
    const char* separator = url != nullptr ? strstr(url, "://") : nullptr;
    return separator != nullptr && separator - url == 5 && BeginsWithWord(url, "https");
}

int SplitUrl(const char* url, char* host, int* port, char* path) {
    if (url == nullptr) {
        return -1;
    }
    // The callers' URLs have this capacity; a longer one given directly is split cut.
    char work[kTextCapacity];
    static_cast<void>(CopyText(work, sizeof work, url));
    ShowStatus("RSS:%s", url);
    for (const char* at = work; *at != '\0'; ++at) {
        if (static_cast<unsigned char>(*at) < 0x20 || *at == 0x7F) {
            return -1;
        }
    }

    // Only https changes how the feed is fetched (over TLS, by default on port 443); any other
    // scheme, or none, means plain HTTP.
    char* rest = strstr(work, "://");
    rest = rest != nullptr ? rest + 3 : work;

    char* slash = strchr(rest, '/');
    // The parts of `work` always fit outputs of its capacity.
    if (slash != nullptr) {
        static_cast<void>(CopyText(path, kTextCapacity, slash));
        *slash = '\0';
    } else {
        static_cast<void>(CopyText(path, kTextCapacity, "/"));
    }

    // Only the host part is searched, so a colon in the path never names a port.
    char* colon = strchr(rest, ':');
    int number = IsHttpsUrl(url) ? kHttpsPort : kHttpPort;
    if (colon != nullptr) {
        number = ReadPort(colon + 1);
        *colon = '\0';
    }
    if (number < 1 || number > 65535) {
        return -1;
    }
    *port = number;
    static_cast<void>(CopyText(host, kTextCapacity, rest));
    return 0;
}

bool FormatRequest(const char* path, const char* host, char* out, size_t capacity) {
    char encoded[3 * kTextCapacity];
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
    return FormatText(out, capacity, kRequestFormat, encoded, host, PlugInVersion);
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

Redirect FindRedirect(const char* answer, const char* url, char* next, size_t capacity) {
    // "HTTP/1.x 301" and the like, at the very start of the answer.
    if (strncmp(answer, "HTTP/1.", 7) != 0 || answer[7] < '0' || answer[7] > '9' ||
        answer[8] != ' ') {
        return Redirect::kNone;
    }
    const char* status = answer + 9;
    const bool moved = (strncmp(status, "301", 3) == 0 || strncmp(status, "302", 3) == 0 ||
                        strncmp(status, "303", 3) == 0 || strncmp(status, "307", 3) == 0 ||
                        strncmp(status, "308", 3) == 0) &&
                       (status[3] == ' ' || status[3] == '\r' || status[3] == '\n');
    if (!moved) {
        return Redirect::kNone;
    }
    char location[kTextCapacity];
    const int found = FindLocation(answer, location, sizeof location);
    if (found == 0 || (found == 1 && location[0] == '\0')) {
        return Redirect::kNone;
    }
    if (found < 0) {
        return Redirect::kRefused;
    }
    const size_t schemeEnd = strcspn(location, ":/?#");
    bool whole;
    if (BeginsWithWord(location, "http://") || BeginsWithWord(location, "https://")) {
        whole = CopyText(next, capacity, location);
    } else if (location[0] == '/' && location[1] != '/') {
        // A path from the root of the current URL's server.
        const char* hostStart = strstr(url, "://");
        hostStart = hostStart != nullptr ? hostStart + 3 : url;
        const size_t origin = static_cast<size_t>(hostStart - url) + strcspn(hostStart, "/");
        whole = FormatText(next, capacity, "%.*s%s", static_cast<int>(origin), url, location);
    } else if (location[0] != '/' && location[schemeEnd] != ':') {
        // A path relative to the current URL's directory.
        const char* hostStart = strstr(url, "://");
        hostStart = hostStart != nullptr ? hostStart + 3 : url;
        const char* pathStart = hostStart + strcspn(hostStart, "/");
        const char* pathEnd = pathStart + strcspn(pathStart, "?#");
        const char* directory = pathEnd;
        while (directory > pathStart && directory[-1] != '/') {
            --directory;
        }
        if (directory == pathStart) {
            whole = FormatText(next, capacity, "%.*s/%s", static_cast<int>(pathStart - url), url,
                               location);
        } else {
            whole = FormatText(next, capacity, "%.*s%s", static_cast<int>(directory - url), url,
                               location);
        }
    } else {
        // Another scheme, or a server named without one ("//host/x").
        return Redirect::kRefused;
    }
    if (!whole) {
        return Redirect::kRefused;
    }
    // Leaving TLS for plain text would hand the rest of the refresh to anyone on the way.
    if (IsHttpsUrl(url) && !IsHttpsUrl(next)) {
        return Redirect::kRefused;
    }
    return Redirect::kFollow;
}
