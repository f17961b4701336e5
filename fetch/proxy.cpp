#include "fetch/proxy.h"

#include <cstring>

#include "base/text.h"
#include "base/url.h"
#include "fetch/fetch.h"

namespace {

bool IsListSeparator(char c, const char* separators) {
    return c != '\0' && strchr(separators, c) != nullptr;
}

// Calls `take` with each entry of a list, apart by any of `separators`, trimmed of blanks.
template <typename Take>
void ForEachEntry(const char* list, const char* separators, Take take) {
    for (const char* at = list; *at != '\0';) {
        while (IsListSeparator(*at, separators) || IsAsciiSpace(*at)) {
            ++at;
        }
        const char* end = at;
        while (*end != '\0' && !IsListSeparator(*end, separators) && !IsAsciiSpace(*end)) {
            ++end;
        }
        if (end > at && take(at, static_cast<size_t>(end - at))) {
            return;
        }
        at = end;
    }
}

// Whether `text` matches `pattern`, whose "*" stands for any run of characters, ASCII letters
// without regard to case.
bool Matches(const char* pattern, size_t patternLength, const char* text, size_t textLength) {
    size_t p = 0;
    size_t t = 0;
    size_t starAt = patternLength;
    size_t resumeAt = 0;
    while (t < textLength) {
        if (p < patternLength && pattern[p] == '*') {
            starAt = p++;
            resumeAt = t;
        } else if (p < patternLength && AsciiLower(pattern[p]) == AsciiLower(text[t])) {
            ++p;
            ++t;
        } else if (starAt != patternLength) {
            p = starAt + 1;
            t = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < patternLength && pattern[p] == '*') {
        ++p;
    }
    return p == patternLength;
}

// A Windows bypass entry: "<local>" (names without a dot), or a pattern of the host, with a
// scheme or a port or neither ("*.example.com", "10.*", "http://intranet:8080").
bool WindowsBypasses(const char* entry, size_t length, const char* host, int port) {
    if (SameAsciiWord(entry, length, "<local>")) {
        return strchr(host, '.') == nullptr && strchr(host, ':') == nullptr;
    }
    const char* scheme = static_cast<const char*>(memchr(entry, ':', length));
    if (scheme != nullptr && length - static_cast<size_t>(scheme - entry) > 2 && scheme[1] == '/' &&
        scheme[2] == '/') {
        length -= static_cast<size_t>(scheme + 3 - entry);
        entry = scheme + 3;
    }
    char withPort[kUrlCapacity + 16];
    const bool portNamed = length > 0 && IsAsciiDigit(entry[length - 1]) &&
                           memchr(entry, ':', length) != nullptr && strchr(host, ':') == nullptr;
    if (portNamed) {
        return FormatText(withPort, sizeof withPort, "%s:%d", host, port) &&
               Matches(entry, length, withPort, strlen(withPort));
    }
    return Matches(entry, length, host, strlen(host));
}

// Whether `length` bytes at `a` and at `b` are the same, ASCII letters without regard to case.
bool SameSpan(const char* a, const char* b, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

// A no_proxy entry: "*" (every host), or a host name or address, with a port or without; a name
// counts for its subdomains too, with a leading "." or "*." or without; an IPv6 address may be in
// brackets.
bool VariableBypasses(const char* entry, size_t length, const char* host, int port) {
    if (length == 1 && entry[0] == '*') {
        return true;
    }
    if (length >= 2 && entry[0] == '*' && entry[1] == '.') {
        entry += 2;
        length -= 2;
    } else if (length >= 1 && entry[0] == '.') {
        ++entry;
        --length;
    }
    // A port follows the name, or the brackets of an IPv6 address; an IPv6 address without
    // brackets (more than one colon) names none.
    const char* colon = nullptr;
    if (length > 0 && entry[0] == '[') {
        const char* close = static_cast<const char*>(memchr(entry, ']', length));
        colon =
            close != nullptr && close + 1 < entry + length && close[1] == ':' ? close + 1 : nullptr;
    } else {
        const char* first = static_cast<const char*>(memchr(entry, ':', length));
        const bool more = first != nullptr &&
                          memchr(first + 1, ':', length - static_cast<size_t>(first + 1 - entry));
        colon = more ? nullptr : first;
    }
    size_t nameLength = colon != nullptr ? static_cast<size_t>(colon - entry) : length;
    if (colon != nullptr) {
        long named = 0;
        for (const char* at = colon + 1; at < entry + length; ++at) {
            if (!IsAsciiDigit(*at)) {
                return false;
            }
            named = named < 100000 ? named * 10 + (*at - '0') : named;
        }
        if (named != port) {
            return false;
        }
    }
    if (nameLength >= 2 && entry[0] == '[' && entry[nameLength - 1] == ']') {
        ++entry;
        nameLength -= 2;
    }
    const size_t hostLength = strlen(host);
    if (nameLength == 0 || hostLength < nameLength) {
        return false;
    }
    // The host itself, or a host under it: one that ends in "." and the name.
    return SameSpan(host + hostLength - nameLength, entry, nameLength) &&
           (hostLength == nameLength || host[hostLength - nameLength - 1] == '.');
}

}  // namespace

void PickProxy(const char* list, ProxyListForm form, bool https, char* address, size_t capacity) {
    address[0] = '\0';
    if (form == ProxyListForm::kVariables) {
        ForEachEntry(list, "", [&](const char* entry, size_t length) {
            TextWriter w(address, capacity);
            if (!w.Put(entry, length)) {
                address[0] = '\0';
            }
            return true;
        });
        return;
    }
    // "http=a:1;https=b:2", or one proxy for every scheme; the first that fits the request.
    const char* wanted = https ? "https=" : "http=";
    ForEachEntry(list, ";", [&](const char* entry, size_t length) {
        const char* equals = static_cast<const char*>(memchr(entry, '=', length));
        if (equals != nullptr) {
            const size_t named = static_cast<size_t>(equals + 1 - entry);
            if (!SameAsciiWord(entry, named, wanted)) {
                return false;
            }
            entry += named;
            length -= named;
        }
        TextWriter w(address, capacity);
        if (length == 0 || !w.Put(entry, length)) {
            address[0] = '\0';
            return false;
        }
        return true;
    });
}

bool BypassesProxy(const char* host, int port, const char* bypass, ProxyListForm form) {
    bool bypasses = false;
    ForEachEntry(bypass, form == ProxyListForm::kWindows ? ";," : ",",
                 [&](const char* entry, size_t length) {
                     bypasses = form == ProxyListForm::kWindows
                                    ? WindowsBypasses(entry, length, host, port)
                                    : VariableBypasses(entry, length, host, port);
                     return bypasses;
                 });
    return bypasses;
}

bool ReadProxyAddress(const char* address, ProxyRoute* route) {
    *route = ProxyRoute();
    route->direct = false;
    route->unusable = true;
    const char* scheme = strstr(address, "://");
    if (scheme != nullptr &&
        !SameAsciiWord(address, static_cast<size_t>(scheme - address), "http")) {
        return false;  // a proxy spoken to over TLS, or a SOCKS one
    }
    char absolute[kUrlCapacity + 8];
    char plain[kUrlCapacity + 8];
    if (!AbsoluteFeedUrl(address, absolute, sizeof absolute)) {
        return false;
    }
    const AddressLogin login = TakeLoginFromAddress(absolute, plain, sizeof plain, &route->login);
    WipeBytes(absolute, sizeof absolute);
    char path[kUrlCapacity];
    if (login == AddressLogin::kBad ||
        SplitUrl(login == AddressLogin::kTaken ? plain : address, route->host, sizeof route->host,
                 &route->port, path, sizeof path) != 0) {
        route->login = Login();
        return false;
    }
    const bool bracketed = strchr(route->host, ':') != nullptr;
    static_cast<void>(FormatText(route->shown, sizeof route->shown, bracketed ? "[%s]:%d" : "%s:%d",
                                 route->host, route->port));
    route->unusable = false;
    return true;
}

void ChooseProxyRoute(const char* url, const char* setting, ProxyRoute* route) {
    *route = ProxyRoute();
    if (SameAsciiWord(setting, strlen(setting), "none")) {
        return;
    }
    if (setting[0] != '\0') {
        static_cast<void>(ReadProxyAddress(setting, route));
        return;
    }
    SystemProxy system;
    FindSystemProxy(url, &system);
    char address[kProxyListCapacity];
    PickProxy(system.proxies, system.form, IsHttpsUrl(url), address, sizeof address);
    char host[kUrlCapacity];
    char path[kUrlCapacity];
    int port = 0;
    if (address[0] == '\0' || SplitUrl(url, host, sizeof host, &port, path, sizeof path) != 0 ||
        BypassesProxy(host, port, system.bypass, system.form)) {
        return;
    }
    static_cast<void>(ReadProxyAddress(address, route));
}
