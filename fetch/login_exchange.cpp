#include "fetch/login_exchange.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "base/text.h"
#include "fetch/challenge.h"
#include "platform/digests.h"
#include "platform/system_login.h"

bool IsIntranetHost(const char* host) {
    if (strchr(host, '.') == nullptr && strchr(host, ':') == nullptr) {
        return host[0] != '\0';
    }
    unsigned octets[4] = {};
    int consumed = 0;
    if (sscanf(host, "%3u.%3u.%3u.%3u%n", &octets[0], &octets[1], &octets[2], &octets[3],
               &consumed) == 4 &&
        host[consumed] == '\0') {
        return octets[0] == 10 || octets[0] == 127 ||
               (octets[0] == 172 && octets[1] >= 16 && octets[1] <= 31) ||
               (octets[0] == 192 && octets[1] == 168);
    }
    if (strchr(host, ':') != nullptr) {
        // The first group of four digits says the kind: fc00::/7 and fe80::/10.
        const bool fourDigits = strlen(host) > 4 && host[4] == ':';
        return strcmp(host, "::1") == 0 ||
               (fourDigits && host[0] == 'f' &&
                (host[1] == 'c' || host[1] == 'd' ||
                 (host[1] == 'e' && strchr("89ab", host[2]) != nullptr)));
    }
    return false;
}

LoginExchange::LoginExchange(const Login* login, bool plainAllowed, const char* fieldName)
    : plainAllowed_(plainAllowed), fieldName_(fieldName) {
    if (login != nullptr) {
        login_ = *login;
    }
}

LoginExchange::~LoginExchange() {
    EndSystemLogin(system_);
    WipeBytes(field_, sizeof field_);
}

void LoginExchange::UseLogin(const Login& login) {
    login_ = login;
}

void LoginExchange::Restart() {
    EndSystemLogin(system_);
    system_ = nullptr;
    answers_ = 0;
    digestAnswered_ = false;
    outcome_ = LoginOutcome::kNotAsked;
    WipeBytes(field_, sizeof field_);
}

LoginStep LoginExchange::Fail(LoginOutcome outcome) {
    outcome_ = outcome;
    EndSystemLogin(system_);
    system_ = nullptr;
    WipeBytes(field_, sizeof field_);
    return LoginStep::kGiveUp;
}

bool LoginExchange::PutField(const char* scheme, const char* value) {
    return FormatText(field_, sizeof field_, "%s: %s%s%s\r\n", fieldName_, scheme,
                      scheme[0] != '\0' ? " " : "", value);
}

LoginStep LoginExchange::AnswerDigest(const DigestChallenge& challenge, const char* method,
                                      const char* uri) {
    unsigned char random[16];
    char cnonce[2 * sizeof random + 1];
    std::unique_ptr<char[]> answer(new (std::nothrow) char[kAuthorizationCapacity]);
    const DigestRequest request = {login_.user, login_.password, method,
                                   uri,         cnonce,          ++digestCount_};
    if (answer == nullptr || !FillRandom(random, sizeof random) ||
        !EncodeHex(random, sizeof random, cnonce, sizeof cnonce) ||
        !DigestAnswer(challenge, request, answer.get(), kAuthorizationCapacity) ||
        !PutField("", answer.get())) {
        return Fail(LoginOutcome::kRefused);
    }
    ++answers_;
    digestAnswered_ = true;
    outcome_ = LoginOutcome::kAnswered;
    return LoginStep::kNewConnection;
}

// The first token of a Windows login, for a request on a new connection that is kept for the
// rest of it.
LoginStep LoginExchange::StartSystem(const char* package, const char* host, bool useLogin) {
    system_ = StartSystemLogin(package, host, useLogin ? login_.user : nullptr,
                               useLogin ? login_.password : nullptr);
    if (system_ == nullptr) {
        return LoginStep::kGiveUp;
    }
    systemPackage_ = package;
    if (ContinueSystem(nullptr) == LoginStep::kGiveUp) {
        outcome_ = LoginOutcome::kNotAsked;  // Windows had no answer: another scheme may
        return LoginStep::kGiveUp;
    }
    ++answers_;
    outcome_ = LoginOutcome::kAnswered;
    return LoginStep::kNewConnection;
}

// The next token, from the server's (null for the first).
LoginStep LoginExchange::ContinueSystem(const char* token) {
    std::unique_ptr<unsigned char[]> in(new (std::nothrow) unsigned char[kLoginTokenCapacity]);
    std::unique_ptr<unsigned char[]> out(new (std::nothrow) unsigned char[kLoginTokenCapacity]);
    std::unique_ptr<char[]> text(new (std::nothrow) char[kAuthorizationCapacity]);
    size_t inLength = 0;
    size_t outLength = 0;
    // A server that answers the last step with a bare challenge refused the login.
    if (in == nullptr || out == nullptr || text == nullptr ||
        (token != nullptr && (token[0] == '\0' || !DecodeBase64(token, strlen(token), in.get(),
                                                                kLoginTokenCapacity, &inLength)))) {
        return Fail(LoginOutcome::kRefused);
    }
    const SystemLoginStep step =
        NextSystemLoginToken(system_, token != nullptr ? in.get() : nullptr, inLength, out.get(),
                             kLoginTokenCapacity, &outLength);
    if (step != SystemLoginStep::kSend ||
        !EncodeBase64(out.get(), outLength, text.get(), kAuthorizationCapacity) ||
        !PutField(systemPackage_, text.get())) {
        return Fail(LoginOutcome::kRefused);
    }
    return LoginStep::kSameConnection;
}

LoginStep LoginExchange::Answer(const char* challenges, const char* method, const char* uri,
                                const char* host, bool secure, bool ownLogin) {
    std::unique_ptr<Challenges> offered(new (std::nothrow) Challenges);
    if (offered == nullptr) {
        return Fail(LoginOutcome::kRefused);
    }
    ReadChallenges(challenges, offered.get());
    if (system_ != nullptr) {
        const bool negotiate = strcmp(systemPackage_, "Negotiate") == 0;
        const bool sent = negotiate ? offered->negotiate : offered->ntlm;
        return ContinueSystem(sent ? (negotiate ? offered->negotiateToken : offered->ntlmToken)
                                   : "");
    }
    const bool mayUse = !login_.empty() && strcmp(login_.host, host) == 0;
    if (answers_ > 0) {
        // A nonce that ran out is no refused login: the new one is answered, once.
        if (digestAnswered_ && answers_ == 1 && mayUse && offered->digest.offered &&
            offered->digest.stale) {
            return AnswerDigest(offered->digest, method, uri);
        }
        return Fail(LoginOutcome::kRefused);
    }
    if (mayUse && offered->digest.offered) {
        return AnswerDigest(offered->digest, method, uri);
    }
    // Windows answers with the folder's login, or without one with the signed-in user's.
    if (offered->negotiate && (mayUse || ownLogin)) {
        const LoginStep step = StartSystem("Negotiate", host, mayUse);
        if (step != LoginStep::kGiveUp) {
            return step;
        }
    }
    if (offered->ntlm && (mayUse || ownLogin)) {
        const LoginStep step = StartSystem("NTLM", host, mayUse);
        if (step != LoginStep::kGiveUp) {
            return step;
        }
    }
    if (offered->basic && mayUse) {
        if (!secure && !plainAllowed_) {
            return Fail(LoginOutcome::kPlainRefused);
        }
        std::unique_ptr<char[]> answer(new (std::nothrow) char[kAuthorizationCapacity]);
        if (answer == nullptr ||
            !BasicAnswer(login_.user, login_.password, answer.get(), kAuthorizationCapacity) ||
            !PutField("", answer.get())) {
            return Fail(LoginOutcome::kRefused);
        }
        WipeBytes(answer.get(), kAuthorizationCapacity);
        ++answers_;
        outcome_ = LoginOutcome::kAnswered;
        return LoginStep::kNewConnection;
    }
    return Fail(answers_ > 0 ? LoginOutcome::kRefused : LoginOutcome::kNoLogin);
}
