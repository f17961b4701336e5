// A server's login challenges (WWW-Authenticate, Proxy-Authenticate, RFC 7235) read into what the
// downloader can answer, and the answers to Basic (RFC 7617) and Digest (RFC 7616): what a
// request carries in its Authorization or Proxy-Authorization field. Logins that Windows answers
// (Negotiate, NTLM) take their tokens from platform/system_login.h; this reads the challenge's
// token for them.
#pragma once

#include <cstddef>

#include "base/capacities.h"
#include "platform/digests.h"

// A value of a Digest challenge (its realm, nonce, opaque): what the answer repeats.
constexpr size_t kChallengeValueCapacity = 512;

struct DigestChallenge {
    bool offered = false;
    DigestKind hash = DigestKind::kMd5;
    bool session = false;  // the "-sess" algorithms, whose first hash takes the nonces in
    bool algorithmNamed = false;
    bool qopAuth = false;   // the server offers qop "auth"; without qop, the RFC 2069 answer
    bool stale = false;     // the nonce had run out, not the login
    bool userhash = false;  // the user name is sent hashed
    char realm[kChallengeValueCapacity] = {};
    char nonce[kChallengeValueCapacity] = {};
    char opaque[kChallengeValueCapacity] = {};
    bool hasOpaque = false;
};

// What an answer's challenges offer: the best Digest challenge this side can answer (SHA-256
// before MD5; none that asks only for qop "auth-int" or for an algorithm it does not know),
// Basic, and the logins Windows answers, each with the token the server sent with it ("" for a
// first challenge).
struct Challenges {
    DigestChallenge digest;
    bool basic = false;
    bool negotiate = false;
    bool ntlm = false;
    char negotiateToken[kChallengeCapacity] = {};
    char ntlmToken[kChallengeCapacity] = {};
};

// Reads the challenges of `fields`: the values of every WWW-Authenticate (or Proxy-Authenticate)
// field of an answer, joined by commas.
void ReadChallenges(const char* fields, Challenges* challenges);

// "Basic " and the base64 of "user:password"; false when it does not fit `capacity`, or the user
// name holds a colon (which the password would be taken to begin at).
[[nodiscard]] bool BasicAnswer(const char* user, const char* password, char* out, size_t capacity);

// What a Digest answer is made of besides the challenge: the login, the request's method and
// target as its request line says them, the client's nonce and the count of requests made with
// this nonce.
struct DigestRequest {
    const char* user;
    const char* password;
    const char* method;
    const char* uri;
    const char* cnonce;
    unsigned count;
};

// "Digest username=..., response=..." for `challenge`; false when it does not fit `capacity` or
// a digest could not be made.
[[nodiscard]] bool DigestAnswer(const DigestChallenge& challenge, const DigestRequest& request,
                                char* out, size_t capacity);
