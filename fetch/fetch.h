// The downloader: one GET of a feed's address over HTTP/1.1 (TLS for https), straight or through
// a proxy, its login challenges answered and its redirects followed, and the answer handed back
// as a stream whose header has arrived and whose body the caller reads as it comes. It knows
// nothing of what the answer holds.
#pragma once

#include <cstddef>

#include "base/capacities.h"
#include "base/login_file.h"
#include "fetch/login_exchange.h"
#include "fetch/proxy.h"

class AnswerStream;
class ConnectionSource;
struct Connection;

// How long a download waits for a connection to be made, and for each receive to bring a byte,
// before it gives up on a silent server.
constexpr unsigned kDefaultFetchTimeLimitMs = 60 * 1000;
// How long a whole download may take, from connecting through the TLS handshake to the last
// byte, redirects included: long enough for a feed of several megabytes on a slow line; a server
// that trickles a byte now and then holds its worker no longer.
constexpr unsigned kDefaultFetchDeadlineMs = 5 * 60 * 1000;

// The limits one download keeps to.
struct FetchLimits {
    unsigned stepMs = kDefaultFetchTimeLimitMs;
    unsigned deadlineMs = kDefaultFetchDeadlineMs;
    // The most of an answer that is read, and of its body decoded: a larger answer ends there.
    size_t answerCeiling = kAnswerLimit;
};

// The conditional lines of a request: If-None-Match and If-Modified-Since, each with a validator.
constexpr size_t kConditionsCapacity = 2 * kValidatorCapacity + 64;

// What a download asks with, besides its address.
struct DownloadSettings {
    // Header lines, each ending in CR LF, that make the request conditional (null or "": none).
    const char* conditions = nullptr;
    // The client's name to the server (null or "": the plug-in's own).
    const char* userAgent = nullptr;
    // The folder's login, sent to its own host alone, when a server asks for one; null for none.
    const Login* login = nullptr;
    // Basic logins may go over plain http (the folder's [PlainLogin]).
    bool plainLogin = false;
    // The settings file's [Options] Proxy: "" for the system's, "none", or a proxy's address.
    const char* proxySetting = "";
    // The proxy's kept login, for the proxy whose host it names; null for none.
    const Login* proxyLogin = nullptr;
};

// One download. Made with what to fetch; Open connects (straight, or through the proxy: http in
// absolute form, https through a tunnel), sends the request and reads the answer's header,
// answering login challenges and following redirects; the caller then reads the body from
// Answer() and may Finish() it to know it whole or cut. The connection is closed when the download
// goes.
class Download {
public:
    // `url` is the feed's address as the folder's settings hold it (any scheme but https is
    // fetched as plain http, and an address without one is http).
    Download(const char* url, const FetchLimits& limits, const DownloadSettings& settings);
    ~Download();
    Download(const Download&) = delete;
    Download& operator=(const Download&) = delete;

    // True when an answer's header arrived, whatever its status (redirects followed, five at
    // most, also from http to https but never back; a 401 answered once); false, with Failure()
    // saying why, when none did. Each address fetched is shown on the status line.
    bool Open();

    // The answer whose header arrived: its status, its fields and its body.
    AnswerStream* Answer() const { return answer_; }
    // Where the answer came from: the last redirect's address, absolute.
    const char* AnswerUrl() const { return url_; }
    // How many redirects were followed, and whether every one of them was permanent (301, 308).
    int Redirects() const { return redirects_; }
    bool MovedForGood() const { return redirects_ > 0 && permanent_; }
    // How the server's login went: what a 401 answer means.
    LoginOutcome ServerLogin() const { return server_.Outcome(); }

    // Why the download brought no answer, or not all of it, in a mail user's words; null while
    // nothing went wrong. After Open, and after the body was read or finished.
    const char* Failure();

    // Reads what is left of the body and throws it away, so that the answer is known whole or
    // cut.
    void Finish();

private:
    bool Connect();
    bool Tunnel();
    bool SendRequest(const char* request);
    bool ReadAnswer();
    bool KeepConnection();
    bool EnterHostOf();
    bool FollowRedirect();
    void DropConnection();
    void Close();
    void SayEnd();
    void SayProxy(const char* what);
    const char* RequestTarget();

    char typed_[kUrlCapacity];    // the address as the folder's settings hold it
    char url_[kUrlCapacity + 8];  // the address fetched now, absolute
    char host_[kUrlCapacity];
    char path_[kUrlCapacity];
    char target_[kUrlCapacity + 16];  // what the request line names: the path, or the address
    char request_[kRequestCapacity];
    char logins_[2 * (kAuthorizationCapacity + 64)];  // the request's answers to challenges
    char conditions_[kConditionsCapacity];
    char userAgent_[kUserAgentCapacity];
    char proxySetting_[kUrlCapacity];
    char hostKey_[kUrlCapacity];  // the host as connections to it are counted
    bool hostEntered_ = false;
    int port_ = 0;
    FetchLimits limits_;
    long long deadline_ = 0;  // steady milliseconds
    int redirects_ = 0;
    bool permanent_ = true;
    bool reuse_ = false;  // the next request goes on the connection there is
    ProxyRoute route_;
    Login proxyLogin_;
    LoginExchange server_;
    LoginExchange proxy_;
    Connection* connection_ = nullptr;
    ConnectionSource* source_ = nullptr;
    AnswerStream* answer_ = nullptr;
    const char* failure_ = nullptr;
    char failureText_[kStatusTextMax + 1] = {};
};

// Splits `url` into the host name, the port (80, or 443 for https, unless the URL names one) and
// the path ("/" when the URL has none, with its query, without the fragment, which is never sent),
// into `host` and `path` of the capacities given. The scheme is whatever precedes the first
// "://"; only https changes the port and the channel, and an address without "://" is http.
// Returns 0, or -1 when no URL is given, when it is longer than kUrlCapacity or a part does not
// fit its output (cut, either would name another feed), when it holds a control character
// (which would end the request line), when its port is outside 1 to 65535 (which would wrap
// onto another port), when it names no host, or when it holds user information
// ("user:password@host", which a refresh takes out before it fetches).
int SplitUrl(const char* url, char* host, size_t hostCapacity, int* port, char* path,
             size_t pathCapacity);

// True when the URL names a user before its host ("user:password@host"): the login goes in the
// login file, never on the wire in the address, and such an address is refused rather than sent
// to a host named after the user.
bool HasUserInformation(const char* url);

// What a request is made of.
struct RequestParts {
    const char* method = "GET";
    const char* target = "/";  // the path (with its query), or through a proxy the address
    const char* host = "";     // the server's host name, or IPv6 address without brackets
    int port = 80;
    bool https = false;
    const char* conditions = nullptr;  // header lines, each ending in CR LF (null: none)
    const char* userAgent = nullptr;   // null or "": "PellixQuillfeed" and the version
    const char* logins = nullptr;      // Authorization and Proxy-Authorization lines (null: none)
    bool keepConnection = false;       // ask the server to keep the connection (a Windows login)
};

// The request a download sends: the target with its blanks written as "%20", the Host header with
// the port when it is not the default of the scheme (443 for https, else 80). A CONNECT names its
// target in authority form ("host:port") in both. False when it does not fit `capacity`
// (kRequestCapacity holds the longest).
[[nodiscard]] bool FormatRequest(const RequestParts& parts, char* out, size_t capacity);

// What an answer without a document says about where the feed went.
enum class Redirect {
    kNone,     // it is no redirect (or names no location)
    kFollow,   // `next` holds the URL to fetch instead
    kRefused,  // a redirect that is not followed: from https to http, to another scheme or to a
               // location that does not fit a URL of kUrlCapacity
};

struct AnswerHeader;

// Reads an answer header of status 301, 302, 303, 307 or 308 with a Location, resolved against
// `url` (absolute) into `next` (of `capacity` bytes).
Redirect FindRedirect(const AnswerHeader& header, const char* url, char* next, size_t capacity);

// How many seconds from `now` a Retry-After value asks to wait: a number of seconds, or an HTTP
// date (0 when it has passed); -1 for a value of neither form.
long long RetryAfterSeconds(const char* value, long long now);
