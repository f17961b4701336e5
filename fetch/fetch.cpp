// The downloader. A download splits the address, connects (over TLS for https; through a proxy
// when one is named, in a tunnel for https), sends one HTTP/1.1 GET and reads the answer's header
// as it arrives; a login challenge is answered once, a redirect sends it on to the next address,
// anything else is handed back for its reader. Failures are said in a mail user's words.
#include "fetch/fetch.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

#include "base/status.h"
#include "base/text.h"
#include "base/url.h"
#include "fetch/answer_stream.h"
#include "fetch/host_gate.h"
#include "platform/codepage.h"
#include "platform/connection.h"

namespace {

// The most redirects one download follows.
constexpr int kMaxRedirects = 5;

unsigned Shorter(unsigned a, long long b) {
    return b < static_cast<long long>(a) ? static_cast<unsigned>(b) : a;
}

}  // namespace

// The connection as the source of an answer: each receive waits no longer than the time limit
// without progress, nor past the download's deadline.
class ConnectionSource final : public AnswerSource {
public:
    ConnectionSource(Connection* connection, long long deadline, unsigned limit)
        : connection_(connection), deadline_(deadline), limit_(limit) {}

    long Receive(char* buffer, size_t room) override {
        const long long left = deadline_ - SteadyMilliseconds();
        if (left <= 0) {
            timedOut_ = true;
            return -1;
        }
        bool silent = false;
        const long got =
            ReceiveOnConnection(connection_, buffer, room, Shorter(limit_, left + 1), &silent);
        timedOut_ = got < 0 && (silent || SteadyMilliseconds() >= deadline_);
        return got;
    }
    bool TimedOut() const { return timedOut_; }

private:
    Connection* connection_;
    long long deadline_;
    unsigned limit_;
    bool timedOut_ = false;
};

Download::Download(const char* url, const FetchLimits& limits, const DownloadSettings& settings)
    : limits_(limits),
      server_(settings.login, settings.plainLogin, "Authorization"),
      proxy_(nullptr, true, "Proxy-Authorization") {
    static_cast<void>(CopyText(userAgent_, sizeof userAgent_, settings.userAgent));
    static_cast<void>(CopyText(proxySetting_, sizeof proxySetting_,
                               settings.proxySetting != nullptr ? settings.proxySetting : ""));
    if (settings.proxyLogin != nullptr) {
        proxyLogin_ = *settings.proxyLogin;
    }
    // The folder's address is in the host's code page, as the user typed it; it goes over the
    // wire in ASCII, a host in another script in its IDNA form and the rest percent-encoded as
    // UTF-8. An address that cannot be put so is said not valid when it is split.
    char utf8[kUrlCapacity];
    char absolute[kUrlCapacity + 8];
    if (url == nullptr || !AnsiToUtf8(url, utf8, sizeof utf8) ||
        !AbsoluteFeedUrl(utf8, absolute, sizeof absolute) ||
        !AsciiUrl(absolute, url_, sizeof url_)) {
        url_[0] = '\0';
    }
    static_cast<void>(CopyText(conditions_, sizeof conditions_, settings.conditions));
    static_cast<void>(CopyText(typed_, sizeof typed_, url));
}

Download::~Download() {
    Close();
    WipeBytes(request_, sizeof request_);
    WipeBytes(logins_, sizeof logins_);
}

void Download::DropConnection() {
    delete answer_;
    answer_ = nullptr;
    delete source_;
    source_ = nullptr;
    CloseConnection(connection_);
    connection_ = nullptr;
}

void Download::Close() {
    DropConnection();
    if (hostEntered_) {
        LeaveHost(hostKey_);
        hostEntered_ = false;
    }
}

// Takes a turn at the host of `url_`, leaving the one of an address before it: two connections at
// most to one host, across every folder's refresh; the rest wait, within their deadline.
bool Download::EnterHostOf() {
    char key[kUrlCapacity];
    if (!FeedHost(url_, key, sizeof key)) {
        return false;
    }
    if (hostEntered_ && strcmp(key, hostKey_) == 0) {
        return true;
    }
    if (hostEntered_) {
        LeaveHost(hostKey_);
        hostEntered_ = false;
    }
    static_cast<void>(CopyText(hostKey_, sizeof hostKey_, key));
    hostEntered_ = EnterHost(hostKey_, deadline_);
    return hostEntered_;
}

// "the proxy HOST:PORT ..." into the failure, for a user who must know which way failed.
void Download::SayProxy(const char* what) {
    static_cast<void>(
        FormatText(failureText_, sizeof failureText_, "the proxy %s %s", route_.shown, what));
    failure_ = failureText_;
}

// What the request line names: the path, or through a proxy (without a tunnel) the address.
const char* Download::RequestTarget() {
    if (route_.direct || IsHttpsUrl(url_)) {
        return path_;
    }
    const bool bracketed = strchr(host_, ':') != nullptr;
    TextWriter w(target_, sizeof target_);
    w.Format(bracketed ? "http://[%s]" : "http://%s", host_);
    if (port_ != 80) {
        w.Format(":%d", port_);
    }
    w.Put(path_);
    return w.cut() ? path_ : target_;
}

// Connects to the host of `url_` (over TLS for https), straight or through the proxy; false, with
// the failure said, when that cannot be done.
bool Download::Connect() {
    if (HasUserInformation(url_)) {
        Trace("Fetch | a user name in the address");
        failure_ = "the address holds a login that could not be kept safe";
        return false;
    }
    // The first address shown is the folder's own, as the user typed it; redirects show theirs.
    ShowStatus("RSS:%s", redirects_ == 0 ? typed_ : url_);
    if (SplitUrl(url_, host_, sizeof host_, &port_, path_, sizeof path_) != 0) {
        Trace("Fetch %s | the address cannot be split", url_);
        failure_ = "the feed address is not valid";
        return false;
    }
    ChooseProxyRoute(url_, proxySetting_, &route_);
    if (route_.unusable) {
        Trace("Fetch %s | the proxy setting names no proxy to use", url_);
        failure_ = "the proxy setting cannot be used";
        return false;
    }
    if (!route_.direct) {
        char proxyHost[kUrlCapacity];
        static_cast<void>(FeedHost(route_.host, proxyHost, sizeof proxyHost));
        proxy_.UseLogin(!route_.login.empty()                      ? route_.login
                        : strcmp(proxyLogin_.host, proxyHost) == 0 ? proxyLogin_
                                                                   : Login());
    }
    if (!EnterHostOf()) {
        Trace("Fetch %s | no turn at %s in time", url_, host_);
        failure_ = "no answer in time";
        return false;
    }
    // A server that accepts and then says nothing would otherwise hold this worker for as long
    // as the client runs: connecting and every receive give up after the time limit without
    // progress, and nothing outlasts the download's deadline. An https feed is fetched over TLS
    // or not at all: nothing is ever sent in plain text instead, through a proxy neither.
    const long long left = deadline_ - SteadyMilliseconds();
    const unsigned total = left > 0 ? Shorter(UINT_MAX, left) : 1u;
    ConnectionFailure failure;
    if (route_.direct) {
        connection_ =
            OpenConnection(host_, port_, IsHttpsUrl(url_), limits_.stepMs, total, &failure);
    } else {
        connection_ =
            OpenConnection(route_.host, route_.port, false, limits_.stepMs, total, &failure);
    }
    if (connection_ == nullptr) {
        Trace("Fetch %s | no connection to %s: %s (%d)\n", url_,
              route_.direct ? host_ : route_.shown, failure.words, failure.code);
        if (route_.direct) {
            failure_ = failure.words;
        } else {
            const bool refused = strcmp(failure.words, "cannot connect") == 0;
            const bool unknown = strcmp(failure.words, "host not found") == 0;
            const bool silent = strcmp(failure.words, "no answer in time") == 0;
            SayProxy(refused   ? "refused the connection"
                     : unknown ? "cannot be found"
                     : silent  ? "did not answer in time"
                               : failure.words);
        }
        return false;
    }
    return route_.direct || !IsHttpsUrl(url_) || Tunnel();
}

bool Download::SendRequest(const char* request) {
    if (!SendOnConnection(connection_, request, strlen(request))) {
        Trace("Fetch %s | the request could not be sent\n", url_);
        if (route_.direct) {
            failure_ = "cannot connect";
        } else {
            SayProxy("ended the connection");
        }
        return false;
    }
    return true;
}

// A new answer on the connection, its header read; false, with the failure said, when none came.
bool Download::ReadAnswer() {
    delete answer_;
    answer_ = nullptr;
    delete source_;
    source_ = new (std::nothrow) ConnectionSource(connection_, deadline_, limits_.stepMs);
    answer_ = source_ != nullptr ? new (std::nothrow) AnswerStream(source_, limits_.answerCeiling)
                                 : nullptr;
    if (answer_ == nullptr) {
        failure_ = "out of memory";
        return false;
    }
    if (!answer_->ReadHeader()) {
        SayEnd();
        Trace("Fetch %s | No whole answer header\n", url_);
        return false;
    }
    return true;
}

// Reads the answer there is to its end, so that the connection carries the next request; false
// when it cannot (the server closes it, or framed the answer by its close).
bool Download::KeepConnection() {
    answer_->Drain();
    if (!answer_->Reusable()) {
        Trace("Fetch %s | the connection was not kept for the login's next step\n", url_);
        return false;
    }
    reuse_ = true;
    return true;
}

// A tunnel through the proxy to the feed's host, its login answered once, and TLS through it to
// the feed's host, whose certificate must name it as without a proxy.
bool Download::Tunnel() {
    for (;;) {
        char authority[kUrlCapacity + 16];
        const bool bracketed = strchr(host_, ':') != nullptr;
        RequestParts parts;
        parts.method = "CONNECT";
        parts.host = host_;
        parts.port = port_;
        parts.https = true;
        parts.userAgent = userAgent_;
        parts.logins = proxy_.Field();
        parts.keepConnection = proxy_.KeepsConnection();
        if (!FormatText(authority, sizeof authority, bracketed ? "[%s]:%d" : "%s:%d", host_,
                        port_) ||
            !FormatRequest(parts, request_, sizeof request_)) {
            failure_ = "the feed address is not valid";
            return false;
        }
        if (!SendRequest(request_) || !ReadAnswer()) {
            if (failure_ == nullptr || strncmp(failure_, "the proxy", 9) != 0) {
                SayProxy("ended the connection");
            }
            return false;
        }
        const int status = answer_->Status();
        if (status >= 200 && status < 300) {
            break;
        }
        // Only the proxy answers a tunnel's request: a 401 to one that carried the proxy's login
        // is its refusal, as some proxies say it.
        if (status == 401 && proxy_.Outcome() == LoginOutcome::kAnswered) {
            SayProxy("refused the login (401)");
            return false;
        }
        if (status != 407) {
            Trace("Fetch %s | the proxy refused the tunnel: %d\n", url_, status);
            static_cast<void>(FormatText(failureText_, sizeof failureText_,
                                         status == 502 || status == 503 || status == 504
                                             ? "the proxy %s could not reach the server (%d)"
                                             : "the proxy %s refused the connection (%d)",
                                         route_.shown, status));
            failure_ = failureText_;
            return false;
        }
        char proxyHost[kUrlCapacity];
        static_cast<void>(FeedHost(route_.host, proxyHost, sizeof proxyHost));
        const LoginStep step = proxy_.Answer(answer_->Fields().proxyAuthenticate, "CONNECT",
                                             authority, proxyHost, false, true);
        if (step == LoginStep::kGiveUp ||
            (step == LoginStep::kSameConnection && !KeepConnection())) {
            SayProxy(proxy_.Outcome() == LoginOutcome::kRefused ? "refused the login (407)"
                                                                : "asks for a login (407)");
            return false;
        }
        if (step == LoginStep::kNewConnection) {
            DropConnection();
            ConnectionFailure failure;
            const long long left = deadline_ - SteadyMilliseconds();
            connection_ = OpenConnection(route_.host, route_.port, false, limits_.stepMs,
                                         left > 0 ? Shorter(UINT_MAX, left) : 1u, &failure);
            if (connection_ == nullptr) {
                SayProxy("refused the connection");
                return false;
            }
        }
        reuse_ = false;
    }
    // Nothing may follow the proxy's answer before the server's first words.
    delete answer_;
    answer_ = nullptr;
    delete source_;
    source_ = nullptr;
    ConnectionFailure failure;
    const long long left = deadline_ - SteadyMilliseconds();
    if (!SecureConnection(connection_, host_, limits_.stepMs,
                          left > 0 ? Shorter(UINT_MAX, left) : 1u, &failure)) {
        Trace("Fetch %s | no TLS through the proxy: %s (%d)\n", url_, failure.words, failure.code);
        failure_ = failure.words;
        return false;
    }
    return true;
}

// Sets `url_` to where a redirect leads: true when the download goes on there, false with the
// failure said when it does not.
bool Download::FollowRedirect() {
    char next[kUrlCapacity];
    const int status = answer_->Status();
    const Redirect redirect = FindRedirect(answer_->Fields(), url_, next, sizeof next);
    if (redirect == Redirect::kNone) {
        Trace("Fetch %s | Moved (%d) without a location\n", url_, status);
        failure_ = "moved without a new address";
        return false;
    }
    if (redirect == Redirect::kRefused) {
        Trace("Fetch %s | Redirect refused\n", url_);
        failure_ = "redirect refused";
        return false;
    }
    if (redirects_ == kMaxRedirects) {
        Trace("Fetch %s | Too many redirects\n", url_);
        failure_ = "too many redirects";
        return false;
    }
    Trace("Fetch %s | Redirected to %s\n", url_, next);
    permanent_ = permanent_ && (status == 301 || status == 308);
    ++redirects_;
    // A Location beyond ASCII is taken as UTF-8, as browsers take it.
    if (!AsciiUrl(next, url_, sizeof url_)) {
        Trace("Fetch %s | Redirect refused: %s\n", url_, next);
        failure_ = "redirect refused";
        return false;
    }
    // The new address's server challenges anew, and gets the folder's login only when it is the
    // login's host.
    server_.Restart();
    return true;
}

bool Download::Open() {
    // One deadline for the whole download, its redirects and logins included.
    deadline_ = SteadyMilliseconds() + limits_.deadlineMs;
    for (;;) {
        if (!reuse_) {
            DropConnection();
            if (!Connect()) {
                return false;
            }
        }
        reuse_ = false;
        RequestParts parts;
        parts.target = RequestTarget();
        parts.host = host_;
        parts.port = port_;
        parts.https = IsHttpsUrl(url_);
        parts.conditions = conditions_;
        parts.userAgent = userAgent_;
        parts.logins = logins_;
        parts.keepConnection = server_.KeepsConnection() || proxy_.KeepsConnection();
        const bool plainProxy = !route_.direct && !parts.https;
        if (!FormatText(logins_, sizeof logins_, "%s%s", server_.Field(),
                        plainProxy ? proxy_.Field() : "") ||
            !FormatRequest(parts, request_, sizeof request_)) {
            Trace("Fetch %s | the request does not fit", url_);
            failure_ = "the feed address is not valid";
            return false;
        }
        if (!SendRequest(request_) || !ReadAnswer()) {
            return false;
        }
        // A login challenge is answered once; a redirect goes on; any other answer is the
        // caller's, whatever its status. 304 names no new address: it is the answer to a
        // conditional request.
        const int status = answer_->Status();
        if (status == 401) {
            const LoginStep step =
                server_.Answer(answer_->Fields().authenticate, "GET", parts.target, hostKey_,
                               parts.https, IsIntranetHost(hostKey_));
            if (step == LoginStep::kGiveUp ||
                (step == LoginStep::kSameConnection && !KeepConnection())) {
                return true;  // the 401 is the answer: its words depend on how the login went
            }
            continue;
        }
        if (status == 407 && plainProxy) {
            char proxyHost[kUrlCapacity];
            static_cast<void>(FeedHost(route_.host, proxyHost, sizeof proxyHost));
            const LoginStep step = proxy_.Answer(answer_->Fields().proxyAuthenticate, "GET",
                                                 parts.target, proxyHost, false, true);
            if (step == LoginStep::kGiveUp ||
                (step == LoginStep::kSameConnection && !KeepConnection())) {
                SayProxy(proxy_.Outcome() == LoginOutcome::kRefused ? "refused the login (407)"
                                                                    : "asks for a login (407)");
                return false;
            }
            continue;
        }
        if (status < 300 || status >= 400 || status == 304) {
            return true;
        }
        if (!FollowRedirect()) {
            return false;
        }
    }
}

void Download::Finish() {
    if (answer_ != nullptr) {
        answer_->Drain();
    }
}

// Why the answer ended before it was whole, in words; nothing for one that was whole.
void Download::SayEnd() {
    const bool timedOut = source_ != nullptr && source_->TimedOut();
    switch (answer_->End()) {
        case AnswerEnd::kOpen:
        case AnswerEnd::kWhole:
            return;
        case AnswerEnd::kNothing:
            failure_ = timedOut ? "no answer in time" : "connection cut";
            return;
        case AnswerEnd::kCut:
            failure_ = "connection cut";
            return;
        case AnswerEnd::kTooLarge:
            static_cast<void>(FormatText(failureText_, sizeof failureText_,
                                         "the feed is larger than %u MB",
                                         static_cast<unsigned>(limits_.answerCeiling >> 20)));
            failure_ = failureText_;
            return;
        case AnswerEnd::kHeaderTooLong:
            failure_ = "the server's answer header is too long";
            return;
        case AnswerEnd::kUnknownCoding:
            failure_ = "the feed came compressed in an unknown way";
            return;
        case AnswerEnd::kGarbled:
            failure_ = "the server's answer is garbled";
            return;
        case AnswerEnd::kBrokenCoding:
            failure_ = "the feed's compressed data is broken";
            return;
        case AnswerEnd::kNoMemory:
            failure_ = "out of memory";
            return;
    }
}

const char* Download::Failure() {
    if (failure_ == nullptr && answer_ != nullptr) {
        SayEnd();
    }
    return failure_;
}
