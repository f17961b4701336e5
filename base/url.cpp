#include "base/url.h"

#include <cstring>
#include <initializer_list>

#include "base/capacities.h"
#include "base/text.h"
#include "platform/idna.h"

namespace {

UrlPart Part(size_t at, size_t length) {
    UrlPart part;
    part.at = at;
    part.length = length;
    part.present = true;
    return part;
}

// Takes the authority (`at`, `length` bytes of `text`) apart into user information, host and
// port.
void SplitAuthority(const char* text, size_t at, size_t length, UrlParts* parts) {
    size_t hostAt = at;
    for (size_t i = at + length; i > at; --i) {
        if (text[i - 1] == '@') {
            parts->userInfo = Part(at, i - 1 - at);
            hostAt = i;
            break;
        }
    }
    const size_t end = at + length;
    if (hostAt < end && text[hostAt] == '[') {
        const char* close = static_cast<const char*>(memchr(text + hostAt, ']', end - hostAt));
        if (close == nullptr) {
            parts->host = Part(hostAt, end - hostAt);
            parts->badHost = true;
            return;
        }
        const size_t after = static_cast<size_t>(close - text) + 1;
        parts->host = Part(hostAt, after - hostAt);
        if (after < end) {
            if (text[after] == ':') {
                parts->port = Part(after + 1, end - after - 1);
            } else {
                parts->badHost = true;
            }
        }
        return;
    }
    const char* colon = static_cast<const char*>(memchr(text + hostAt, ':', end - hostAt));
    if (colon == nullptr) {
        parts->host = Part(hostAt, end - hostAt);
        return;
    }
    const size_t colonAt = static_cast<size_t>(colon - text);
    parts->host = Part(hostAt, colonAt - hostAt);
    parts->port = Part(colonAt + 1, end - colonAt - 1);
}

// Takes "." and ".." segments out of the path that stands in `path` from `start` to its end, as
// RFC 3986 section 5.2.4 does, in place: what is written never runs ahead of what is read.
// Returns the path's new end.
size_t RemoveDotSegments(char* path, size_t start, size_t end) {
    size_t in = start;
    size_t out = start;
    auto at = [&](const char* prefix) {
        const size_t length = strlen(prefix);
        return end - in >= length && memcmp(path + in, prefix, length) == 0;
    };
    auto whole = [&](const char* rest) {
        const size_t length = strlen(rest);
        return end - in == length && memcmp(path + in, rest, length) == 0;
    };
    // Drops the last segment written, with the "/" before it.
    auto dropLast = [&]() {
        while (out > start && path[out - 1] != '/') {
            --out;
        }
        if (out > start) {
            --out;
        }
    };
    while (in < end) {
        if (at("../")) {
            in += 3;
        } else if (at("./")) {
            in += 2;
        } else if (at("/./")) {
            in += 2;
        } else if (whole("/.")) {
            end = in + 1;
        } else if (at("/../")) {
            in += 3;
            dropLast();
        } else if (whole("/..")) {
            end = in + 1;
            dropLast();
        } else if (whole(".") || whole("..")) {
            in = end;
        } else {
            // The first segment, with the "/" before it, moves to the output.
            path[out++] = path[in++];
            while (in < end && path[in] != '/') {
                path[out++] = path[in++];
            }
        }
    }
    return out;
}

}  // namespace

size_t UrlSchemeLength(const char* text, size_t length) {
    // A scheme: what precedes a colon that comes before any "/", "?" or "#".
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (c == '/' || c == '?' || c == '#') {
            return 0;
        }
        if (c == ':') {
            return i;
        }
    }
    return 0;
}

void SplitUrlReference(const char* text, size_t length, UrlParts* parts) {
    *parts = UrlParts();
    size_t at = 0;
    const size_t scheme = UrlSchemeLength(text, length);
    if (scheme > 0) {
        parts->scheme = Part(0, scheme);
        at = scheme + 1;
    }
    if (length - at >= 2 && text[at] == '/' && text[at + 1] == '/') {
        size_t end = at + 2;
        while (end < length && text[end] != '/' && text[end] != '?' && text[end] != '#') {
            ++end;
        }
        parts->authority = Part(at + 2, end - at - 2);
        SplitAuthority(text, at + 2, end - at - 2, parts);
        at = end;
    }
    size_t end = at;
    while (end < length && text[end] != '?' && text[end] != '#') {
        ++end;
    }
    parts->path = Part(at, end - at);
    at = end;
    if (at < length && text[at] == '?') {
        end = at + 1;
        while (end < length && text[end] != '#') {
            ++end;
        }
        parts->query = Part(at + 1, end - at - 1);
        at = end;
    }
    if (at < length && text[at] == '#') {
        parts->fragment = Part(at + 1, length - at - 1);
    }
}

void SplitUrlReference(const char* text, UrlParts* parts) {
    SplitUrlReference(text, strlen(text), parts);
}

bool UrlSchemeIs(const char* text, const UrlParts& parts, const char* scheme) {
    return parts.scheme.present &&
           SameAsciiWord(text + parts.scheme.at, parts.scheme.length, scheme);
}

bool IsHttpsUrl(const char* url) {
    if (url == nullptr) {
        return false;
    }
    UrlParts parts;
    SplitUrlReference(url, &parts);
    return parts.authority.present && UrlSchemeIs(url, parts, "https");
}

bool AbsoluteFeedUrl(const char* url, char* out, size_t capacity) {
    const char* separator = strstr(url, "://");
    const bool https =
        separator != nullptr && SameAsciiWord(url, static_cast<size_t>(separator - url), "https");
    return FormatText(out, capacity, "%s%s", https ? "https://" : "http://",
                      separator != nullptr ? separator + 3 : url);
}

bool FeedHost(const char* url, char* out, size_t capacity) {
    char absolute[kUrlCapacity + 8];
    if (url == nullptr || !AbsoluteFeedUrl(url, absolute, sizeof absolute)) {
        return false;
    }
    UrlParts parts;
    SplitUrlReference(absolute, &parts);
    const char* host = absolute + parts.host.at;
    size_t length = parts.host.length;
    if (length >= 2 && host[0] == '[') {
        ++host;
        length -= 2;
    }
    if (parts.badHost || length == 0 || length >= capacity) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        out[i] = AsciiLower(host[i]);
    }
    out[length] = '\0';
    return true;
}

namespace {

bool BeyondAscii(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool AsciiUrl(const char* url, char* out, size_t capacity) {
    TextWriter w(out, capacity);
    const size_t length = strlen(url);
    if (!BeyondAscii(url, length)) {
        return w.Put(url, length);
    }
    UrlParts parts;
    SplitUrlReference(url, length, &parts);
    static const char kHex[] = "0123456789ABCDEF";
    // Everything but the host, with its bytes beyond ASCII as %XX.
    auto encoded = [&w, url](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            const unsigned char c = static_cast<unsigned char>(url[i]);
            const char escape[3] = {'%', kHex[c >> 4], kHex[c & 15]};
            if (!(c < 0x80 ? w.Put(url + i, 1) : w.Put(escape, sizeof escape))) {
                return false;
            }
        }
        return true;
    };
    if (!parts.host.present || parts.badHost || parts.host.length == 0 ||
        url[parts.host.at] == '[') {
        return encoded(0, length);
    }
    const char* host = url + parts.host.at;
    if (!BeyondAscii(host, parts.host.length)) {
        return encoded(0, length);
    }
    char ascii[kUrlCapacity];
    return HostToAscii(host, parts.host.length, ascii, sizeof ascii) && encoded(0, parts.host.at) &&
           w.Put(ascii) && encoded(parts.host.at + parts.host.length, length);
}

bool ResolveReference(const char* base, const char* reference, char* out, size_t capacity,
                      UrlFragment fragment) {
    UrlParts b;
    UrlParts r;
    SplitUrlReference(reference, &r);
    // Most links of a feed are absolute: their base is not even taken apart.
    if (!r.scheme.present) {
        SplitUrlReference(base, &b);
    }
    TextWriter w(out, capacity);
    auto put = [&w](const char* text, const UrlPart& part) {
        return w.Put(text + part.at, part.length);
    };
    // Which text gives the scheme, the authority and the query; the path is built below.
    const char* schemeFrom = r.scheme.present ? reference : base;
    const UrlPart& scheme = r.scheme.present ? r.scheme : b.scheme;
    const bool ownAuthority = r.scheme.present || r.authority.present;
    const char* authorityFrom = ownAuthority ? reference : base;
    const UrlPart& authority = ownAuthority ? r.authority : b.authority;
    if (scheme.present) {
        put(schemeFrom, scheme) && w.Put(":");
    }
    if (authority.present) {
        w.Put("//") && put(authorityFrom, authority);
    }
    const size_t pathStart = w.length();
    const char* queryFrom = reference;
    const UrlPart* query = &r.query;
    if (ownAuthority || (r.path.length > 0 && reference[r.path.at] == '/')) {
        put(reference, r.path);
    } else if (r.path.length == 0) {
        // The base document itself; its query too, unless the reference gives one.
        put(base, b.path);
        if (!r.query.present) {
            queryFrom = base;
            query = &b.query;
        }
    } else if (b.authority.present && b.path.length == 0) {
        w.Put("/") && put(reference, r.path);
    } else {
        // The base's directory: its path up to and with the last "/".
        size_t directory = b.path.length;
        while (directory > 0 && base[b.path.at + directory - 1] != '/') {
            --directory;
        }
        w.Put(base + b.path.at, directory) && put(reference, r.path);
    }
    if (w.cut()) {
        return false;
    }
    // The base's own path is as the server wrote it; every path built here loses its dots.
    if (ownAuthority || r.path.length > 0) {
        w.TakeBack(RemoveDotSegments(out, pathStart, w.length()));
    }
    if (query->present) {
        w.Put("?") && put(queryFrom, *query);
    }
    if (fragment == UrlFragment::kKeep && r.fragment.present) {
        w.Put("#") && put(reference, r.fragment);
    }
    return !w.cut();
}

namespace {

bool IsTrackingParameter(const char* name, size_t length) {
    static const char* const kTracking[] = {
        "fbclid", "gclid",  "dclid",   "gbraid",      "wbraid",    "msclkid",
        "mc_cid", "mc_eid", "yclid",   "igshid",      "twclid",    "ttclid",
        "_hsenc", "_hsmi",  "mkt_tok", "oly_anon_id", "oly_enc_id"};
    if (length > 4 && SameAsciiWord(name, 4, "utm_")) {
        return true;
    }
    for (const char* tracking : kTracking) {
        if (SameAsciiWord(name, length, tracking)) {
            return true;
        }
    }
    return false;
}

// Whether a query holds a tracking parameter.
bool HasTrackingParameter(const char* query, size_t length) {
    size_t start = 0;
    for (size_t i = 0; i <= length; ++i) {
        if (i < length && query[i] != '&') {
            continue;
        }
        const char* equals = static_cast<const char*>(memchr(query + start, '=', i - start));
        const size_t nameLength =
            equals != nullptr ? static_cast<size_t>(equals - (query + start)) : i - start;
        if (IsTrackingParameter(query + start, nameLength)) {
            return true;
        }
        start = i + 1;
    }
    return false;
}

// Whether the `length` bytes at `text` are letters, digits, "-" and "_" only: a video's id.
bool IsVideoId(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (!IsAsciiLetter(text[i]) && !IsAsciiDigit(text[i]) && text[i] != '-' && text[i] != '_') {
            return false;
        }
    }
    return length > 0;
}

// The id after `prefix` in a path ("/embed/ID", "/embed/ID/more"): true with its span.
bool IdAfter(const char* path, size_t length, const char* prefix, size_t* at, size_t* idLength) {
    const size_t prefixLength = strlen(prefix);
    if (length <= prefixLength || !SameAsciiWord(path, prefixLength, prefix)) {
        return false;
    }
    size_t end = prefixLength;
    while (end < length && path[end] != '/') {
        ++end;
    }
    *at = prefixLength;
    *idLength = end - prefixLength;
    return IsVideoId(path + prefixLength, *idLength);
}

}  // namespace

bool StripTrackingParameters(const char* url, char* out, size_t capacity) {
    UrlParts parts;
    SplitUrlReference(url, &parts);
    TextWriter w(out, capacity);
    if (!parts.query.present || !HasTrackingParameter(url + parts.query.at, parts.query.length)) {
        return w.Put(url);
    }
    // Up to and without the "?", then the parameters kept, then the fragment.
    bool whole = w.Put(url, parts.query.at - 1);
    const char* query = url + parts.query.at;
    bool first = true;
    size_t start = 0;
    for (size_t i = 0; i <= parts.query.length && whole; ++i) {
        if (i < parts.query.length && query[i] != '&') {
            continue;
        }
        const char* parameter = query + start;
        const size_t length = i - start;
        const char* equals = static_cast<const char*>(memchr(parameter, '=', length));
        const size_t nameLength =
            equals != nullptr ? static_cast<size_t>(equals - parameter) : length;
        if (length > 0 && !IsTrackingParameter(parameter, nameLength)) {
            whole = w.Put(first ? "?" : "&") && w.Put(parameter, length);
            first = false;
        }
        start = i + 1;
    }
    if (whole && parts.fragment.present) {
        whole = w.Put("#") && w.Put(url + parts.fragment.at, parts.fragment.length);
    }
    return whole;
}

bool VideoPageUrl(const char* url, char* out, size_t capacity) {
    UrlParts parts;
    SplitUrlReference(url, &parts);
    if (!parts.host.present || parts.host.length == 0 ||
        !(UrlSchemeIs(url, parts, "http") || UrlSchemeIs(url, parts, "https"))) {
        return false;
    }
    const char* host = url + parts.host.at;
    const size_t hostLength = parts.host.length;
    const char* path = url + parts.path.at;
    const size_t pathLength = parts.path.length;
    size_t at = 0;
    size_t length = 0;
    char page[kUrlCapacity];
    bool found = false;
    for (const char* youtube : {"youtube.com", "www.youtube.com", "m.youtube.com",
                                "youtube-nocookie.com", "www.youtube-nocookie.com"}) {
        if (SameAsciiWord(host, hostLength, youtube) &&
            (IdAfter(path, pathLength, "/embed/", &at, &length) ||
             IdAfter(path, pathLength, "/v/", &at, &length))) {
            found = FormatText(page, sizeof page, "https://www.youtube.com/watch?v=%.*s",
                               static_cast<int>(length), path + at);
        }
    }
    if (!found && SameAsciiWord(host, hostLength, "player.vimeo.com") &&
        IdAfter(path, pathLength, "/video/", &at, &length)) {
        found = FormatText(page, sizeof page, "https://vimeo.com/%.*s", static_cast<int>(length),
                           path + at);
    }
    if (!found && IdAfter(path, pathLength, "/videos/embed/", &at, &length)) {
        // PeerTube: any server of its own; the page is on the server that embeds.
        found = FormatText(page, sizeof page, "%.*s://%.*s/videos/watch/%.*s",
                           static_cast<int>(parts.scheme.length), url + parts.scheme.at,
                           static_cast<int>(parts.authority.length), url + parts.authority.at,
                           static_cast<int>(length), path + at);
    }
    return found && CopyText(out, capacity, page);
}
