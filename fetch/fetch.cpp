// The downloader. A download splits the address, connects (over TLS for https), sends one
// HTTP/1.1 GET and reads the answer's header as it arrives; a redirect sends it on to the next
// address, anything else is handed back for its reader. Failures are said in a mail user's words.
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

Download::Download(const char* url, const char* conditions, const FetchLimits& limits,
                   const char* userAgent)
    : limits_(limits) {
    static_cast<void>(CopyText(userAgent_, sizeof userAgent_, userAgent));
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
    static_cast<void>(CopyText(conditions_, sizeof conditions_, conditions));
    static_cast<void>(CopyText(typed_, sizeof typed_, url));
}

Download::~Download() {
    Close();
}

void Download::Close() {
    delete answer_;
    answer_ = nullptr;
    delete source_;
    source_ = nullptr;
    CloseConnection(connection_);
    connection_ = nullptr;
    if (hostEntered_) {
        LeaveHost(hostKey_);
        hostEntered_ = false;
    }
}

// Connects to the host of `url_` (over TLS for https) and sends the request; false, with the
// failure said, when that cannot be done.
bool Download::Connect() {
    if (HasUserInformation(url_)) {
        Trace("Fetch %s | a user name in the address", url_);
        failure_ = "logins in feed addresses are not supported";
        return false;
    }
    // The first address shown is the folder's own, as the user typed it; redirects show theirs.
    ShowStatus("RSS:%s", redirects_ == 0 ? typed_ : url_);
    if (SplitUrl(url_, host_, sizeof host_, &port_, path_, sizeof path_) != 0 ||
        !FormatRequest(path_, host_, port_, IsHttpsUrl(url_), conditions_, userAgent_, request_,
                       sizeof request_)) {
        Trace("Fetch %s | the address cannot be split", url_);
        failure_ = "the feed address is not valid";
        return false;
    }
    // Two connections at most to one host, across every folder's refresh: the rest wait, within
    // their deadline.
    if (!FeedHost(url_, hostKey_, sizeof hostKey_) || !EnterHost(hostKey_, deadline_)) {
        Trace("Fetch %s | no turn at %s in time", url_, host_);
        failure_ = "no answer in time";
        return false;
    }
    hostEntered_ = true;
    // A server that accepts and then says nothing would otherwise hold this worker for as long
    // as the client runs: connecting and every receive give up after the time limit without
    // progress, and nothing outlasts the download's deadline. An https feed is fetched over TLS
    // or not at all: nothing is ever sent in plain text instead.
    const long long left = deadline_ - SteadyMilliseconds();
    ConnectionFailure failure;
    connection_ = OpenConnection(host_, port_, IsHttpsUrl(url_), limits_.stepMs,
                                 left > 0 ? Shorter(UINT_MAX, left) : 1u, &failure);
    if (connection_ == nullptr) {
        Trace("Fetch %s | no connection to %s: %s (%d)\n", url_, host_, failure.words,
              failure.code);
        failure_ = failure.words;
        return false;
    }
    if (!SendOnConnection(connection_, request_, strlen(request_))) {
        Trace("Fetch %s | the request could not be sent\n", url_);
        failure_ = "cannot connect";
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
    return true;
}

bool Download::Open() {
    // One deadline for the whole download, its redirects included.
    deadline_ = SteadyMilliseconds() + limits_.deadlineMs;
    for (;;) {
        Close();
        if (!Connect()) {
            return false;
        }
        source_ = new (std::nothrow) ConnectionSource(connection_, deadline_, limits_.stepMs);
        answer_ = source_ != nullptr ? new (std::nothrow)
                                           AnswerStream(source_, limits_.answerCeiling)
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
        // A redirect goes on; any other answer is the caller's, whatever its status. 304 names
        // no new address: it is the answer to a conditional request.
        const int status = answer_->Status();
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
