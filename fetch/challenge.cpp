#include "fetch/challenge.h"

#include <cstring>

#include "base/text.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A character of an HTTP token (RFC 9110 tchar).
bool IsTokenCharacter(char c) {
    return IsAsciiLetter(c) || IsAsciiDigit(c) ||
           (c != '\0' && strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}

// A character of a token68 before its padding.
bool IsToken68Character(char c) {
    return IsAsciiLetter(c) || IsAsciiDigit(c) || (c != '\0' && strchr("-._~+/", c) != nullptr);
}

const char* SkipBlanks(const char* at) {
    while (IsBlank(*at)) {
        ++at;
    }
    return at;
}

// One challenge as it is read: its scheme, its token68 and its parameters, as spans of the text.
struct Span {
    const char* at = nullptr;
    size_t length = 0;
};
struct Parameter {
    Span name;
    Span value;  // without its quotes; still escaped when `quoted`
    bool quoted = false;
};
struct Challenge {
    static constexpr size_t kMostParameters = 16;
    Span scheme;
    Span token;
    Parameter parameters[kMostParameters];
    size_t count = 0;
};

Span ReadToken(const char** at) {
    Span token{*at, 0};
    while (IsTokenCharacter((*at)[0])) {
        ++*at;
        ++token.length;
    }
    return token;
}

// A token68 at `at` (characters, then any "="), when what follows it ends the challenge.
bool ReadToken68(const char** at, Span* token) {
    const char* end = *at;
    while (IsToken68Character(*end)) {
        ++end;
    }
    if (end == *at) {
        return false;
    }
    while (*end == '=') {
        ++end;
    }
    const char* after = SkipBlanks(end);
    if (*after != '\0' && *after != ',') {
        return false;
    }
    *token = Span{*at, static_cast<size_t>(end - *at)};
    *at = after;
    return true;
}

// A parameter's value: a token, or a quoted string (its escapes kept for Unquote).
bool ReadValue(const char** at, Parameter* parameter) {
    if (**at != '"') {
        parameter->value = ReadToken(at);
        return true;
    }
    const char* start = ++*at;
    while (**at != '"') {
        if (**at == '\0' || (**at == '\\' && (*at)[1] == '\0')) {
            return false;  // a quote that never closes
        }
        *at += **at == '\\' ? 2 : 1;
    }
    parameter->value = Span{start, static_cast<size_t>(*at - start)};
    parameter->quoted = true;
    ++*at;
    return true;
}

// Whether a parameter ("name=") begins at `at`, rather than the next challenge.
bool AtParameter(const char* at) {
    Span name = ReadToken(&at);
    return name.length > 0 && *SkipBlanks(at) == '=';
}

// Reads the challenges of `text`, handing each to `take`.
template <typename Take>
void ForEachChallenge(const char* text, Take take) {
    const char* at = text;
    for (;;) {
        while (IsBlank(*at) || *at == ',') {
            ++at;
        }
        if (*at == '\0') {
            return;
        }
        Challenge challenge;
        challenge.scheme = ReadToken(&at);
        if (challenge.scheme.length == 0) {
            return;  // what follows is no challenge this reader can take apart
        }
        at = SkipBlanks(at);
        if (!ReadToken68(&at, &challenge.token)) {
            // Parameters, apart by commas, until a comma is followed by the next scheme.
            while (AtParameter(at)) {
                Parameter parameter;
                parameter.name = ReadToken(&at);
                at = SkipBlanks(at) + 1;
                at = SkipBlanks(at);
                if (!ReadValue(&at, &parameter)) {
                    return;
                }
                if (challenge.count < Challenge::kMostParameters) {
                    challenge.parameters[challenge.count++] = parameter;
                }
                at = SkipBlanks(at);
                if (*at != ',') {
                    break;
                }
                const char* next = at;
                while (IsBlank(*next) || *next == ',') {
                    ++next;
                }
                if (!AtParameter(next)) {
                    break;
                }
                at = next;
            }
        }
        take(challenge);
        at = SkipBlanks(at);
        if (*at != ',' && *at != '\0') {
            return;
        }
    }
}

bool SameWord(const Span& span, const char* word) {
    return SameAsciiWord(span.at, span.length, word);
}

// A parameter's value without its quotes and escapes, into `out`; false when it does not fit.
bool Unquote(const Parameter& parameter, char* out, size_t capacity) {
    TextWriter w(out, capacity);
    for (size_t i = 0; i < parameter.value.length; ++i) {
        if (parameter.quoted && parameter.value.at[i] == '\\' && i + 1 < parameter.value.length) {
            ++i;
        }
        if (!w.Put(parameter.value.at + i, 1)) {
            return false;
        }
    }
    return true;
}

// Whether a comma-separated list (qop="auth,auth-int") holds `word`.
bool ListHolds(const char* list, const char* word) {
    for (const char* at = list; *at != '\0';) {
        while (*at == ',' || IsBlank(*at)) {
            ++at;
        }
        const char* end = at;
        while (*end != '\0' && *end != ',' && !IsBlank(*end)) {
            ++end;
        }
        if (end > at && SameAsciiWord(at, static_cast<size_t>(end - at), word)) {
            return true;
        }
        at = end;
        while (IsBlank(*at)) {
            ++at;
        }
    }
    return false;
}

// A Digest challenge read; false for one this side cannot answer.
bool ReadDigest(const Challenge& challenge, DigestChallenge* digest) {
    *digest = DigestChallenge();
    bool hasNonce = false;
    bool qopOffered = false;
    for (size_t i = 0; i < challenge.count; ++i) {
        const Parameter& p = challenge.parameters[i];
        char value[kChallengeValueCapacity];
        if (!Unquote(p, value, sizeof value)) {
            return false;  // a value too long to repeat whole
        }
        if (SameWord(p.name, "realm")) {
            static_cast<void>(CopyText(digest->realm, sizeof digest->realm, value));
        } else if (SameWord(p.name, "nonce")) {
            static_cast<void>(CopyText(digest->nonce, sizeof digest->nonce, value));
            hasNonce = true;
        } else if (SameWord(p.name, "opaque")) {
            static_cast<void>(CopyText(digest->opaque, sizeof digest->opaque, value));
            digest->hasOpaque = true;
        } else if (SameWord(p.name, "algorithm")) {
            digest->algorithmNamed = true;
            const size_t length = strlen(value);
            if (SameAsciiWord(value, length, "MD5") || SameAsciiWord(value, length, "MD5-sess")) {
                digest->hash = DigestKind::kMd5;
            } else if (SameAsciiWord(value, length, "SHA-256") ||
                       SameAsciiWord(value, length, "SHA-256-sess")) {
                digest->hash = DigestKind::kSha256;
            } else {
                return false;
            }
            digest->session = length > 5 && SameAsciiWord(value + length - 5, 5, "-sess");
        } else if (SameWord(p.name, "qop")) {
            qopOffered = true;
            digest->qopAuth = ListHolds(value, "auth");
        } else if (SameWord(p.name, "stale")) {
            digest->stale = SameAsciiWord(value, strlen(value), "true");
        } else if (SameWord(p.name, "userhash")) {
            digest->userhash = SameAsciiWord(value, strlen(value), "true");
        }
    }
    // Only "auth-int" offered: the body would have to be hashed, which a GET has none of but
    // servers that ask for it expect more of; such a challenge is left alone.
    digest->offered = hasNonce && (!qopOffered || digest->qopAuth);
    return digest->offered;
}

void KeepToken(const Challenge& challenge, char* out, size_t capacity) {
    TextWriter w(out, capacity);
    if (!w.Put(challenge.token.at != nullptr ? challenge.token.at : "", challenge.token.length)) {
        out[0] = '\0';
    }
}

}  // namespace

void ReadChallenges(const char* fields, Challenges* challenges) {
    *challenges = Challenges();
    ForEachChallenge(fields, [challenges](const Challenge& challenge) {
        if (SameWord(challenge.scheme, "Basic")) {
            challenges->basic = true;
        } else if (SameWord(challenge.scheme, "Digest")) {
            // A server may offer SHA-256 and MD5 both, for clients that know only the older.
            DigestChallenge digest;
            if (ReadDigest(challenge, &digest) &&
                (!challenges->digest.offered || (digest.hash == DigestKind::kSha256 &&
                                                 challenges->digest.hash == DigestKind::kMd5))) {
                challenges->digest = digest;
            }
        } else if (SameWord(challenge.scheme, "Negotiate")) {
            challenges->negotiate = true;
            KeepToken(challenge, challenges->negotiateToken, sizeof challenges->negotiateToken);
        } else if (SameWord(challenge.scheme, "NTLM")) {
            challenges->ntlm = true;
            KeepToken(challenge, challenges->ntlmToken, sizeof challenges->ntlmToken);
        }
    });
}

bool BasicAnswer(const char* user, const char* password, char* out, size_t capacity) {
    char pair[kLoginNameCapacity + kLoginPasswordCapacity + 1];
    TextWriter w(out, capacity);
    const bool made = strchr(user, ':') == nullptr &&
                      FormatText(pair, sizeof pair, "%s:%s", user, password) && w.Put("Basic ") &&
                      EncodeBase64(pair, strlen(pair), out + w.length(), capacity - w.length());
    WipeBytes(pair, sizeof pair);
    if (!made && capacity > 0) {
        out[0] = '\0';
    }
    return made;
}

namespace {

// The hash of `parts` joined by colons, in hexadecimal.
bool HashJoined(DigestKind kind, const char* const* parts, size_t count, char* hex,
                size_t capacity) {
    char joined[kLoginNameCapacity + kLoginPasswordCapacity + 4 * kChallengeValueCapacity +
                3 * kUrlCapacity];
    TextWriter w(joined, sizeof joined);
    for (size_t i = 0; i < count; ++i) {
        if ((i > 0 && !w.Put(":")) || !w.Put(parts[i])) {
            WipeBytes(joined, sizeof joined);
            return false;
        }
    }
    const bool hashed = DigestHex(kind, joined, w.length(), hex, capacity);
    WipeBytes(joined, sizeof joined);
    return hashed;
}

// A value in quotes, its quotes and backslashes escaped.
bool PutQuoted(TextWriter* w, const char* value) {
    if (!w->Put("\"")) {
        return false;
    }
    for (const char* at = value; *at != '\0'; ++at) {
        if ((*at == '"' || *at == '\\') && !w->Put("\\")) {
            return false;
        }
        if (!w->Put(at, 1)) {
            return false;
        }
    }
    return w->Put("\"");
}

// Whether a user name can go in a quoted string as it is: printable ASCII.
bool IsPlainName(const char* user) {
    for (const char* at = user; *at != '\0'; ++at) {
        const unsigned char c = static_cast<unsigned char>(*at);
        if (c < 0x20 || c >= 0x7F) {
            return false;
        }
    }
    return true;
}

// A user name beyond ASCII as RFC 8187 writes it: "UTF-8''" and its bytes percent-encoded.
bool PutExtendedName(TextWriter* w, const char* user) {
    if (!w->Put("UTF-8''")) {
        return false;
    }
    for (const char* at = user; *at != '\0'; ++at) {
        const unsigned char c = static_cast<unsigned char>(*at);
        const bool plain =
            IsAsciiLetter(*at) || IsAsciiDigit(*at) || strchr("!#$&+-.^_`|~", *at) != nullptr;
        if (!(plain ? w->Put(at, 1) : w->Format("%%%02X", c))) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool DigestAnswer(const DigestChallenge& challenge, const DigestRequest& request, char* out,
                  size_t capacity) {
    const DigestKind kind = challenge.hash;
    char nc[16];
    static_cast<void>(FormatText(nc, sizeof nc, "%08x", request.count));
    // HA1 of the login, for the -sess algorithms of the login and both nonces.
    char ha1[80];
    const char* const login[] = {request.user, challenge.realm, request.password};
    if (!HashJoined(kind, login, 3, ha1, sizeof ha1)) {
        return false;
    }
    if (challenge.session) {
        const char* const session[] = {ha1, challenge.nonce, request.cnonce};
        if (!HashJoined(kind, session, 3, ha1, sizeof ha1)) {
            return false;
        }
    }
    char ha2[80];
    const char* const target[] = {request.method, request.uri};
    char response[80];
    const char* const withQop[] = {ha1, challenge.nonce, nc, request.cnonce, "auth", ha2};
    const char* const withoutQop[] = {ha1, challenge.nonce, ha2};
    if (!HashJoined(kind, target, 2, ha2, sizeof ha2) ||
        !(challenge.qopAuth ? HashJoined(kind, withQop, 6, response, sizeof response)
                            : HashJoined(kind, withoutQop, 3, response, sizeof response))) {
        WipeBytes(ha1, sizeof ha1);
        return false;
    }
    WipeBytes(ha1, sizeof ha1);
    char hashedUser[80];
    const char* const userAndRealm[] = {request.user, challenge.realm};
    if (challenge.userhash && !HashJoined(kind, userAndRealm, 2, hashedUser, sizeof hashedUser)) {
        return false;
    }
    TextWriter w(out, capacity);
    bool made = w.Put("Digest ");
    if (challenge.userhash) {
        made = made && w.Put("username=") && PutQuoted(&w, hashedUser);
    } else if (IsPlainName(request.user)) {
        made = made && w.Put("username=") && PutQuoted(&w, request.user);
    } else {
        made = made && w.Put("username*=") && PutExtendedName(&w, request.user);
    }
    made = made && w.Put(", realm=") && PutQuoted(&w, challenge.realm) && w.Put(", uri=") &&
           PutQuoted(&w, request.uri);
    if (challenge.algorithmNamed) {
        made = made && w.Format(", algorithm=%s%s", kind == DigestKind::kSha256 ? "SHA-256" : "MD5",
                                challenge.session ? "-sess" : "");
    }
    made = made && w.Put(", nonce=") && PutQuoted(&w, challenge.nonce);
    if (challenge.qopAuth) {
        made = made && w.Format(", nc=%s, cnonce=", nc) && PutQuoted(&w, request.cnonce) &&
               w.Put(", qop=auth");
    }
    made = made && w.Put(", response=") && PutQuoted(&w, response);
    if (challenge.hasOpaque) {
        made = made && w.Put(", opaque=") && PutQuoted(&w, challenge.opaque);
    }
    if (challenge.userhash) {
        made = made && w.Put(", userhash=true");
    }
    return made;
}
