// One side's login within a download: the server's (a 401's WWW-Authenticate answered in the
// next request's Authorization) or the proxy's (a 407's Proxy-Authenticate, Proxy-Authorization).
// A challenge is answered once, with the best scheme both sides have: Digest, then the logins
// Windows answers (Negotiate, NTLM; with the folder's login when it has one, else the signed-in
// user's own), then Basic, which goes to a server only over TLS unless the folder allows it in
// plain text. A login is sent to its own host alone.
#pragma once

#include <cstddef>

#include "base/capacities.h"
#include "base/login_file.h"

struct SystemLogin;

// How a side's login went, for the words of a refused answer.
enum class LoginOutcome {
    kNotAsked,      // no challenge came
    kAnswered,      // a challenge was answered; no refusal came back (yet)
    kNoLogin,       // a challenge came that nothing here can answer
    kPlainRefused,  // only Basic was offered, over plain http, which the folder does not allow
    kRefused,       // the answer was refused, or a Windows login could not go on
};

// What the download does next with a challenge.
enum class LoginStep {
    kGiveUp,          // the refusal stands: the answer goes to the caller as it is
    kNewConnection,   // send the request again, with the answer, on a new connection
    kSameConnection,  // send it on this connection (a Windows login's next step): the answer
                      // must be read whole first, and the connection kept
};

// Whether `host` (in small letters, an IPv6 address without brackets) is one of the local
// network's, where a Windows login of the signed-in user's own may go without asking: a name
// without a dot, or a loopback or private address (10/8, 172.16/12, 192.168/16, 127/8, ::1,
// fc00::/7, fe80::/10). The logins of intranet servers elsewhere are typed in their addresses.
bool IsIntranetHost(const char* host);

class LoginExchange {
public:
    // `login` (null for none) may be sent to its host alone; `plainAllowed`: Basic may go
    // without TLS (a proxy's always may: it is spoken to in plain text).
    LoginExchange(const Login* login, bool plainAllowed, const char* fieldName);
    ~LoginExchange();
    LoginExchange(const LoginExchange&) = delete;
    LoginExchange& operator=(const LoginExchange&) = delete;

    // Sets the login of the proxy once the download knows which proxy it goes through.
    void UseLogin(const Login& login);

    // Reads the challenges of a 401 or 407 answer to a request of `method` and `uri` (as its
    // request line says them) to `host` (in small letters; a connection over TLS when `secure`).
    // The signed-in user's own Windows login goes only where `ownLogin` allows it: to the
    // office's proxy, and to servers of the intranet.
    LoginStep Answer(const char* challenges, const char* method, const char* uri, const char* host,
                     bool secure, bool ownLogin);

    // The header line the next request carries ("Authorization: ...\r\n"), "" for none.
    const char* Field() const { return field_; }
    // Whether the next request must ask to keep the connection: a Windows login is made over one.
    bool KeepsConnection() const { return system_ != nullptr; }
    LoginOutcome Outcome() const { return outcome_; }

    // A new address: its server's challenge is a new one, answered once again.
    void Restart();

private:
    LoginStep Fail(LoginOutcome outcome);
    LoginStep StartSystem(const char* package, const char* host, bool useLogin);
    LoginStep ContinueSystem(const char* token);
    LoginStep AnswerDigest(const struct DigestChallenge& challenge, const char* method,
                           const char* uri);
    bool PutField(const char* scheme, const char* value);

    Login login_;
    bool plainAllowed_;
    const char* fieldName_;
    SystemLogin* system_ = nullptr;
    const char* systemPackage_ = "";
    int answers_ = 0;
    bool digestAnswered_ = false;
    unsigned digestCount_ = 0;
    LoginOutcome outcome_ = LoginOutcome::kNotAsked;
    char field_[kAuthorizationCapacity + 64] = {};
};
