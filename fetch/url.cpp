// What the downloader makes of addresses: the absolute address of a feed's, its host, port and
// path, the request for it, and where a redirect points.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "base/dates.h"
#include "base/module.h"
#include "base/text.h"
#include "base/url.h"
#include "fetch/answer_header.h"
#include "fetch/fetch.h"

namespace {

// HTTP/1.1, as today's servers expect, on a connection of its own (kept only for the steps of a
// Windows login); the feed types asked for first. The answer may come in chunks, which the
// downloader decodes.
constexpr char kRequestFormat[] =
    "%s %s HTTP/1.1\r\nHost: %s\r\nUser-Agent: %s\r\n"
    "Accept: application/rss+xml, application/atom+xml, application/feed+json, "
    "application/rdf+xml;q=0.9, application/xml;q=0.8, text/xml;q=0.8, */*;q=0.5\r\n"
    "Accept-Encoding: gzip, deflate\r\n%s%s"
    "Pragma: no-cache\r\nCache-Control: no-cache\r\nConnection: %s\r\n\r\n";
// A tunnel's request says only what the proxy needs.
constexpr char kConnectFormat[] = "CONNECT %s HTTP/1.1\r\nHost: %s\r\nUser-Agent: %s\r\n%s%s\r\n";

constexpr int kHttpPort = 80;
constexpr int kHttpsPort = 443;

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

// The port an absolute address names: its own as ReadPort reads it, else its scheme's; 0 for a
// port text too long to be any port.
int PortOf(const char* absolute, const UrlParts& parts) {
    if (!parts.port.present) {
        return IsHttpsUrl(absolute) ? kHttpsPort : kHttpPort;
    }
    char text[kNumberTextCapacity];
    if (parts.port.length >= sizeof text) {
        return 0;
    }
    memcpy(text, absolute + parts.port.at, parts.port.length);
    text[parts.port.length] = '\0';
    return ReadPort(text);
}

bool HasControlCharacter(const char* text) {
    for (const char* at = text; *at != '\0'; ++at) {
        if (static_cast<unsigned char>(*at) < 0x20 || *at == 0x7F) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool HasUserInformation(const char* url) {
    char absolute[kUrlCapacity + 8];
    if (url == nullptr || !AbsoluteFeedUrl(url, absolute, sizeof absolute)) {
        return false;
    }
    UrlParts parts;
    SplitUrlReference(absolute, &parts);
    return parts.userInfo.present;
}

int SplitUrl(const char* url, char* host, size_t hostCapacity, int* port, char* path,
             size_t pathCapacity) {
    char absolute[kUrlCapacity + 8];
    if (url == nullptr || strnlen(url, kUrlCapacity) >= kUrlCapacity || HasControlCharacter(url) ||
        !AbsoluteFeedUrl(url, absolute, sizeof absolute)) {
        return -1;
    }
    UrlParts parts;
    SplitUrlReference(absolute, &parts);
    // User information before the host ("user:password@host") would have the user's name taken
    // for the host: such an address is refused (HasUserInformation says so to the user).
    if (parts.userInfo.present || parts.badHost) {
        return -1;
    }
    // An IPv6 address is written in brackets ("[::1]:8080"), its own colons inside them.
    const char* name = absolute + parts.host.at;
    size_t nameLength = parts.host.length;
    if (nameLength > 0 && name[0] == '[') {
        ++name;
        nameLength -= 2;
    }
    const int number = PortOf(absolute, parts);
    if (number < 1 || number > 65535 || nameLength == 0 || nameLength >= hostCapacity) {
        return -1;
    }
    // The path with its query; the fragment names a place in the document for a browser and is
    // never sent.
    TextWriter request(path, pathCapacity);
    const bool pathFits =
        (parts.path.length > 0 ? request.Put(absolute + parts.path.at, parts.path.length)
                               : request.Put("/")) &&
        (!parts.query.present ||
         (request.Put("?") && request.Put(absolute + parts.query.at, parts.query.length)));
    if (!pathFits) {
        return -1;
    }
    memcpy(host, name, nameLength);
    host[nameLength] = '\0';
    *port = number;
    return 0;
}

bool FormatRequest(const RequestParts& parts, char* out, size_t capacity) {
    char encoded[3 * (kUrlCapacity + 16)];
    TextWriter target(encoded, sizeof encoded);
    for (const char* at = parts.target; *at != '\0';) {
        const size_t run = strcspn(at, " ");
        if (!target.Put(at, run)) {
            return false;
        }
        at += run;
        if (*at == ' ') {
            if (!target.Put("%20")) {
                return false;
            }
            ++at;
        }
    }
    // The Host header names the port when it is not the scheme's own: a server that builds its
    // redirects from the header sends the refresh back to the right one. A tunnel names it
    // always. An IPv6 address goes in brackets, as in the URL.
    const bool tunnel = strcmp(parts.method, "CONNECT") == 0;
    char hostHeader[kUrlCapacity + 16];
    TextWriter named(hostHeader, sizeof hostHeader);
    const bool bracketed = strchr(parts.host, ':') != nullptr;
    const bool defaultPort = !tunnel && parts.port == (parts.https ? kHttpsPort : kHttpPort);
    if (!named.Format(bracketed ? "[%s]" : "%s", parts.host) ||
        (!defaultPort && !named.Format(":%d", parts.port))) {
        return false;
    }
    // A name of the user's own for a site that refuses the plug-in's, on one line.
    char agent[kUserAgentCapacity];
    const char* userAgent = parts.userAgent;
    if (userAgent == nullptr || userAgent[0] == '\0' || strpbrk(userAgent, "\r\n") != nullptr) {
        static_cast<void>(FormatText(agent, sizeof agent, "PellixQuillfeed %s", PlugInVersion));
    } else if (!CopyText(agent, sizeof agent, userAgent)) {
        return false;
    }
    const char* logins = parts.logins != nullptr ? parts.logins : "";
    if (tunnel) {
        return FormatText(out, capacity, kConnectFormat, hostHeader, hostHeader, agent, logins,
                          parts.keepConnection ? "Proxy-Connection: keep-alive\r\n" : "");
    }
    return FormatText(out, capacity, kRequestFormat, parts.method, encoded, hostHeader, agent,
                      parts.conditions != nullptr ? parts.conditions : "", logins,
                      parts.keepConnection ? "keep-alive" : "close");
}

long long RetryAfterSeconds(const char* value, long long now) {
    if (IsAsciiDigit(value[0])) {
        long long seconds = 0;
        for (const char* at = value; IsAsciiDigit(*at); ++at) {
            seconds = seconds < 100000000 ? seconds * 10 + (*at - '0') : seconds;
        }
        return seconds;
    }
    // An HTTP date: "Wed, 21 Oct 2015 07:28:00 GMT".
    WrittenDate date;
    if (!ReadDate(value, &date)) {
        return -1;
    }
    const int64_t then = DateSeconds(date);
    return then > now ? then - now : 0;
}

Redirect FindRedirect(const AnswerHeader& header, const char* url, char* next, size_t capacity) {
    const int status = header.status;
    if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308) {
        return Redirect::kNone;
    }
    if (!header.hasLocation || (!header.locationTooLong && header.location[0] == '\0')) {
        return Redirect::kNone;
    }
    if (header.locationTooLong || !ResolveReference(url, header.location, next, capacity)) {
        return Redirect::kRefused;
    }
    // Only http and https are fetched; leaving TLS for plain text would hand the rest of the
    // refresh to anyone on the way.
    UrlParts parts;
    SplitUrlReference(next, &parts);
    const bool web = parts.authority.present &&
                     (UrlSchemeIs(next, parts, "http") || UrlSchemeIs(next, parts, "https"));
    if (!web || (IsHttpsUrl(url) && !IsHttpsUrl(next))) {
        return Redirect::kRefused;
    }
    return Redirect::kFollow;
}
