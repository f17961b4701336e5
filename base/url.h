// URLs as RFC 3986 reads them: a reference taken apart into its parts, and a reference resolved
// against a base. Every part of the system that takes a URL apart does it here: the fetcher
// (the feed's address, redirects), the reader (links against xml:base or the document's
// address), the sanitizer (the scheme of every href and src) and the list of an item's files.
#pragma once

#include <cstddef>

// One part of a reference: where it stands in the text and how long it is. A part that the text
// does not have is not present; an empty one that it has (the query of "x?") is.
struct UrlPart {
    size_t at = 0;
    size_t length = 0;
    bool present = false;
};

// A reference taken apart as RFC 3986's appendix B does: scheme ":" "//" authority path "?" query
// "#" fragment, each without its delimiters; and the authority as user information "@" host ":"
// port. The scheme is whatever precedes the first colon that comes before any "/", "?" or "#".
struct UrlParts {
    UrlPart scheme;
    UrlPart authority;
    UrlPart userInfo;  // what precedes the authority's last "@"
    UrlPart host;      // an IPv6 literal with its brackets
    UrlPart port;      // what follows the host's colon, as written
    UrlPart path;
    UrlPart query;
    UrlPart fragment;
    // The host is a bracket that does not close, or is followed by anything but a port.
    bool badHost = false;
};

// The length of the scheme of the reference in the first `length` bytes of `text`, as
// SplitUrlReference reads it (without its colon); 0 when it has none.
size_t UrlSchemeLength(const char* text, size_t length);

// Takes the first `length` bytes of `text` apart; any text is a reference of some kind.
void SplitUrlReference(const char* text, size_t length, UrlParts* parts);
void SplitUrlReference(const char* text, UrlParts* parts);

// Whether the reference's scheme is `scheme` (written in small letters), without regard to case.
bool UrlSchemeIs(const char* text, const UrlParts& parts, const char* scheme);

// Whether a URL is https with a server ("https://host/..."), the scheme in any case: such a
// feed is fetched over TLS.
bool IsHttpsUrl(const char* url);

// The absolute address a feed's address stands for, as a download fetches it: what follows the
// first "://" after "https://" when the scheme before it is https (in any case), else after
// "http://"; an address without "://" after "http://". False when it does not fit `capacity`.
[[nodiscard]] bool AbsoluteFeedUrl(const char* url, char* out, size_t capacity);

// The host a feed's address names, in small letters (an IPv6 address without its brackets): what
// holds and connection limits go by. False when it names none or it does not fit `capacity`.
[[nodiscard]] bool FeedHost(const char* url, char* out, size_t capacity);

// A reference as it goes over the wire, in ASCII: its host (when it has one beyond ASCII) in its
// IDNA form, and every byte beyond ASCII elsewhere percent-encoded, the text taken as UTF-8
// ("http://bücher.example/книга" as "http://xn--bcher-kva.example/%D0%BA%D0%BD%D0%B8%D0%B3%D0%B0").
// A reference of ASCII only is copied as it is. False when the host is no name IDNA allows or
// the result does not fit `capacity`.
[[nodiscard]] bool AsciiUrl(const char* url, char* out, size_t capacity);

// What becomes of a reference's fragment ("#part"): a link shown to the reader keeps it, a
// request never sends it.
enum class UrlFragment { kDrop, kKeep };

// Resolves `reference` against `base` as RFC 3986 section 5.2 does: a reference with a scheme
// stands as it is, "//host/x" takes the base's scheme, "/x" its server, "?q" its path, "" or "#f"
// the base itself, any other the base's directory; "." and ".." segments are taken out of the
// path. False when the result does not fit `capacity`.
[[nodiscard]] bool ResolveReference(const char* base, const char* reference, char* out,
                                    size_t capacity, UrlFragment fragment = UrlFragment::kDrop);

// A reference without the parameters that only track who followed it: every "utm_" one, and
// fbclid, gclid, dclid, gbraid, wbraid, msclkid, mc_cid, mc_eid, yclid, igshid, twclid, ttclid,
// _hsenc, _hsmi, mkt_tok, oly_anon_id and oly_enc_id (names in any case). A reference without
// one is copied as it is; else the rest of it is, but for empty parameters, and a query left
// with nothing loses its "?". False when the result does not fit `capacity` (it is never longer
// than the reference).
[[nodiscard]] bool StripTrackingParameters(const char* url, char* out, size_t capacity);

// The page of a video whose embedded player `url` (absolute) names: YouTube's
// ("https://www.youtube.com/watch?v=ID" for youtube.com and youtube-nocookie.com embeds and
// players), Vimeo's ("https://vimeo.com/ID" for player.vimeo.com) and PeerTube's
// ("/videos/watch/ID" of the embed's own server). False, with `out` untouched, for an address that
// is none of those players, or a result that does not fit.
[[nodiscard]] bool VideoPageUrl(const char* url, char* out, size_t capacity);
