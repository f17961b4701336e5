// The feed fetcher. A refresh runs on one of the pool's workers, which splits the URL, connects
// (over TLS for https), sends one HTTP/1.1 GET and reads the answer as it arrives. Its status code
// decides whether the body is the document, a redirect is followed or the refresh failed; the
// body goes to the reader piece by piece (chunks and compression undone on the way) and is known
// whole or said cut at its end. The refresh then says on the status line how it went.
#include "fetch/fetch.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>

#include "compose/compose.h"
#include "fetch/answer_stream.h"
#include "fetch/fetch_pool.h"
#include "feed/parse_feed.h"
#include "base/hostapi.h"
#include "base/module.h"
#include "base/settings_file.h"
#include "base/status.h"
#include "platform/connection.h"
#include "platform/thread_start.h"

namespace {

// The most redirects one refresh follows.
constexpr int kMaxRedirects = 5;

typedef std::chrono::steady_clock Clock;

std::atomic<int> g_workersRunning{0};
std::atomic<unsigned> g_timeLimitMs{kDefaultFetchTimeLimitMs};
std::atomic<unsigned> g_deadlineMs{kDefaultFetchDeadlineMs};
std::atomic<size_t> g_answerLimit{kAnswerLimit};

unsigned Shorter(unsigned a, uint64_t b) {
    return b < a ? static_cast<unsigned>(b) : a;
}

// Everything one worker holds, on the heap: a thread started with the default stack size has
// room for it on no platform we can count on.
struct WorkerState {
    char url[kUrlCapacity];  // the URL being fetched: the request's, or where it was redirected
    char requestUrl[kUrlCapacity];  // the request's, as the folder's settings hold it
    char folderId[kFolderIdCapacity];
    FetchCompletion completion;
    char host[kUrlCapacity];
    int port;
    char path[kUrlCapacity];
    char request[kRequestCapacity];
    char conditions[2 * kValidatorCapacity + 64];  // the conditional lines of the request
    // Why the refresh brought nothing, or not all, in a mail user's words; null while nothing
    // went wrong.
    const char* failure;
    char failureText[kStatusTextMax + 1];  // room for a failure put in words here
};

// The connection as the source of an answer: each receive waits no longer than the time limit
// without progress, nor past the download's deadline.
class ConnectionSource final : public AnswerSource {
public:
    ConnectionSource(Connection* connection, Clock::time_point deadline)
        : connection_(connection), deadline_(deadline), limit_(FetchTimeLimitMs()) {}

    long Receive(char* buffer, size_t room) override {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
        if (left.count() <= 0) {
            timedOut_ = true;
            return -1;
        }
        bool silent = false;
        const long got =
            ReceiveOnConnection(connection_, buffer, room,
                                Shorter(limit_, static_cast<uint64_t>(left.count()) + 1), &silent);
        timedOut_ = got < 0 && (silent || Clock::now() >= deadline_);
        return got;
    }
    bool TimedOut() const { return timedOut_; }

private:
    Connection* connection_;
    Clock::time_point deadline_;
    unsigned limit_;
    bool timedOut_ = false;
};

// An answer past the ceiling, in words.
void SayTooLarge(WorkerState* state) {
    static_cast<void>(FormatText(state->failureText, sizeof state->failureText,
                                 "the feed is larger than %u MB",
                                 static_cast<unsigned>(FetchAnswerLimit() >> 20)));
    state->failure = state->failureText;
}

// Why an answer ended before it was whole, in words; nothing for one that was whole.
void SayEnd(WorkerState* state, AnswerEnd end, bool timedOut) {
    switch (end) {
        case AnswerEnd::kOpen:
        case AnswerEnd::kWhole:
            return;
        case AnswerEnd::kNothing:
            state->failure = timedOut ? "no answer in time" : "connection cut";
            return;
        case AnswerEnd::kCut:
            state->failure = "connection cut";
            return;
        case AnswerEnd::kTooLarge:
            SayTooLarge(state);
            return;
        case AnswerEnd::kHeaderTooLong:
            state->failure = "the server's answer header is too long";
            return;
        case AnswerEnd::kUnknownCoding:
            state->failure = "the feed came compressed in an unknown way";
            return;
        case AnswerEnd::kBrokenChunks:
            state->failure = "the server's answer is garbled";
            return;
        case AnswerEnd::kBrokenCoding:
            state->failure = "the feed's compressed data is broken";
            return;
        case AnswerEnd::kNoMemory:
            state->failure = "out of memory";
            return;
    }
}

// Connects to the host of `state->url` (over TLS for https) and sends the request. Null, with
// `state->failure` set, when that cannot be done.
Connection* Connect(WorkerState* state, Clock::time_point deadline) {
    if (HasUserInformation(state->url)) {
        Trace("Fetch %s | a user name in the address", state->url);
        state->failure = "logins in feed addresses are not supported";
        return nullptr;
    }
    ShowStatus("RSS:%s", state->url);
    if (SplitUrl(state->url, state->host, sizeof state->host, &state->port, state->path,
                 sizeof state->path) != 0 ||
        !FormatRequest(state->path, state->host, state->port, IsHttpsUrl(state->url),
                       state->conditions, state->request, sizeof state->request)) {
        Trace("Fetch %s | the address cannot be split", state->url);
        state->failure = "the feed address is not valid";
        return nullptr;
    }
    // A server that accepts and then says nothing would otherwise hold this worker for as long
    // as the client runs: connecting and every receive give up after the time limit without
    // progress, and nothing outlasts the download's deadline. An https feed is fetched over TLS
    // or not at all: nothing is ever sent in plain text instead.
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    ConnectionFailure failure;
    Connection* connection = OpenConnection(
        state->host, state->port, IsHttpsUrl(state->url), FetchTimeLimitMs(),
        left.count() > 0 ? Shorter(UINT_MAX, static_cast<uint64_t>(left.count())) : 1u, &failure);
    if (connection == nullptr) {
        Trace("Fetch %s | no connection to %s: %s (%d)\n", state->url, state->host, failure.words,
              failure.code);
        state->failure = failure.words;
        return nullptr;
    }
    if (!SendOnConnection(connection, state->request, strlen(state->request))) {
        Trace("Fetch %s | the request could not be sent\n", state->url);
        CloseConnection(connection);
        state->failure = "cannot connect";
        return nullptr;
    }
    return connection;
}

// The status line's last word on a refresh: the folder and how it went, cut to the line's 100
// characters at the folder's name.
void ShowOutcome(const char* folderId, const char* outcome) {
    const char* display =
        g_hostApi.PXA_GetFolderDisplayName ? g_hostApi.PXA_GetFolderDisplayName(folderId) : nullptr;
    const char* name = display != nullptr && display[0] != '\0' ? display : folderId;
    const int room = static_cast<int>(kStatusTextMax) - 2 - static_cast<int>(strlen(outcome));
    ShowStatus("%.*s: %s", room > 0 ? room : 0, name, outcome);
}

// The failure of an answer whose status code is no success, in words; and what the server asked
// of the folder's next refreshes, kept for the triggers: a feed gone (410) is not fetched again by
// them until its address changes, and a server that asks to be left alone (429 or 503 with
// Retry-After) is, until then, at most a week.
void SayStatus(WorkerState* state, int status, const char* header) {
    const char* words = status == 404                    ? "the feed was not found"
                        : status == 410                  ? "the feed is gone"
                        : status == 401 || status == 403 ? "the server refused the feed"
                        : status == 429                  ? "asked too often, the server says"
                        : status >= 500                  ? "the server failed"
                                                         : "the server did not give the feed";
    static_cast<void>(
        FormatText(state->failureText, sizeof state->failureText, "%s (%d)", words, status));
    state->failure = state->failureText;
    Trace("Fetch %s | Status %d\n", state->url, status);
    if (status == 410) {
        if (WriteSetting(kGoneSection, state->folderId, state->requestUrl)) {
            static_cast<void>(AppendText(state->failureText, sizeof state->failureText,
                                         "; no more automatic refreshes"));
        }
        return;
    }
    char retryAfter[64];
    const long long wait =
        (status == 429 || status == 503) &&
                FindAnswerHeader(header, "retry-after:", retryAfter, sizeof retryAfter)
            ? RetryAfterSeconds(retryAfter, static_cast<long long>(time(nullptr)))
            : -1;
    if (wait > 0) {
        constexpr long long kLongestHold = 7 * 24 * 3600;
        const long long held = wait < kLongestHold ? wait : kLongestHold;
        const unsigned until = static_cast<unsigned>(time(nullptr)) + static_cast<unsigned>(held);
        if (WriteSettingUnsigned(kHeldUntilSection, state->folderId, until)) {
            char more[48];
            static_cast<void>(FormatText(more, sizeof more, "; held %lld min", (held + 59) / 60));
            static_cast<void>(AppendText(state->failureText, sizeof state->failureText, more));
        }
    }
}

// Hands the body of a success to the completion as it arrives, and says how it ended.
void Deliver(WorkerState* state, AnswerStream* answer, const ConnectionSource& source) {
    size_t looked = 0;
    const char* start = answer->Lookahead(&looked);
    if (looked == 0 && answer->End() != AnswerEnd::kOpen && answer->End() != AnswerEnd::kWhole) {
        SayEnd(state, answer->End(), source.TimedOut());  // nothing to read
        return;
    }
    if (FindDocumentStart(start) == nullptr) {
        state->failure = "not a feed";
    }
    if (state->completion != nullptr) {
        state->completion(answer, state->folderId, state->url);
    }
    // The rest of a page that is no feed is not worth its download: the refresh ends here.
    if (state->failure != nullptr && answer->End() == AnswerEnd::kOpen) {
        return;
    }
    // What the reader left is read too, so that the answer is known whole or not.
    answer->Drain();
    if (answer->End() != AnswerEnd::kWhole) {
        // The items that arrived before it ended stay; the next refresh completes the folder.
        Trace("Fetch %s | The answer ended early: %d\n", state->url,
              static_cast<int>(answer->End()));
        SayEnd(state, answer->End(), source.TimedOut());
        return;
    }
    // The next request asks for the feed only if it changed since this whole answer.
    if (state->failure == nullptr && answer->Status() != 0) {
        KeepValidators(state->folderId, state->requestUrl, answer->Header());
    }
}

// Sets `state->url` to where a redirect leads: true when the refresh goes on there, false with
// the failure said when it does not.
bool FollowRedirect(WorkerState* state, const char* header, int status, int redirects) {
    char next[kUrlCapacity];
    const Redirect redirect = FindRedirect(header, state->url, next, sizeof next);
    if (redirect == Redirect::kNone) {
        Trace("Fetch %s | Moved (%d) without a location\n", state->url, status);
        state->failure = "moved without a new address";
        return false;
    }
    if (redirect == Redirect::kRefused) {
        Trace("Fetch %s | Redirect refused\n", state->url);
        state->failure = "redirect refused";
        return false;
    }
    if (redirects == kMaxRedirects) {
        Trace("Fetch %s | Too many redirects\n", state->url);
        state->failure = "too many redirects";
        return false;
    }
    Trace("Fetch %s | Redirected to %s\n", state->url, next);
    static_cast<void>(CopyText(state->url, sizeof state->url, next));
    return true;
}

// Reads the answer on a connection made: true when it sends the refresh on to `state->url`.
bool ReadAnswer(WorkerState* state, Connection* connection, Clock::time_point deadline,
                int redirects) {
    ConnectionSource source(connection, deadline);
    AnswerStream* answer = new (std::nothrow) AnswerStream(&source, FetchAnswerLimit());
    if (answer == nullptr) {
        state->failure = "out of memory";
        return false;
    }
    bool again = false;
    if (!answer->ReadHeader()) {
        SayEnd(state, answer->End(), source.TimedOut());
        Trace("Fetch %s | No whole answer header\n", state->url);
    } else {
        // The status code decides: a success is the document, a redirect goes on, anything else
        // is a refresh that failed, said with its code, whatever the body holds.
        const int status = answer->Status();
        if (status == 304) {
            state->failure = "no change";
        } else if (status != 0 && (status < 200 || status >= 400)) {
            SayStatus(state, status, answer->Header());
        } else if (status < 300) {
            Deliver(state, answer, source);
        } else {
            again = FollowRedirect(state, answer->Header(), status, redirects);
        }
    }
    delete answer;
    return again;
}

// Fetches the request's URL and where its redirects lead, and hands the answer on.
void Refresh(WorkerState* state) {
    // One deadline for the whole refresh, its redirects included.
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(FetchDeadlineMs());
    for (int redirects = 0;; ++redirects) {
        Connection* connection = Connect(state, deadline);
        if (connection == nullptr) {
            return;
        }
        const bool again = ReadAnswer(state, connection, deadline, redirects);
        CloseConnection(connection);
        if (!again) {
            return;
        }
    }
}

}  // namespace

namespace {

// Runs one request on the calling thread, reports how it went and releases it.
void RunRequest(FetchRequest* request);

// The refreshes of the plug-in, made at the first. When the module goes, the pool goes with it if
// no worker is left; one that still runs (a host that did not wait for it) keeps the pool, so
// that it touches nothing torn down.
struct PoolHolder {
    FetchPool* pool;
    ~PoolHolder() {
        if (pool->Workers() == 0) {
            delete pool;
        }
    }
};

FetchPool& Pool() {
    static PoolHolder holder{new FetchPool(RunRequest)};
    return *holder.pool;
}

}  // namespace

int FetchPoolSize() {
    const int workers = ReadSettingInt(kOptionsSection, kWorkersKey);
    return workers <= 0                  ? kDefaultFetchWorkers
           : workers < kMostFetchWorkers ? workers
                                         : kMostFetchWorkers;
}

int StartFeedUpdate(const char* url, const char* folderId) {
    FetchRequest* request = new (std::nothrow) FetchRequest;
    if (request == nullptr) {
        return -1;
    }
    // A cut URL or folder id would fetch another feed or fill another folder.
    request->completion = OnFeedDownloaded;
    if (!CopyText(request->url, sizeof request->url, url) ||
        !CopyText(request->folderId, sizeof request->folderId, folderId)) {
        Trace("Fetch %s | URL or folder id too long\n", request->url);
        delete request;
        return -1;
    }
    char folder[kFolderIdCapacity];
    static_cast<void>(CopyText(folder, sizeof folder, folderId));
    switch (Pool().Submit(request, FetchPoolSize())) {
        case Queued::kQueued:
            return 0;
        case Queued::kAlreadyThere:
            Trace("Fetch %s | a refresh of it is queued or running\n", folder);
            return -1;
        case Queued::kNoThread:
            break;
    }
    Trace("Fetch %s | no worker could be started\n", folder);
    return -1;
}

bool StopFetchWorkers(unsigned milliseconds) {
    return Pool().Stop(milliseconds);
}

int StartFetchWorker(FetchRequest* request) {
    if (request == nullptr) {
        return -1;
    }
    // Counted before the thread exists, so that a waiter never sees a started worker missing.
    g_workersRunning.fetch_add(1);
    if (!StartThread(FetchWorker, request)) {
        delete request;
        g_workersRunning.fetch_sub(1);
        return -1;
    }
    return 0;
}

void FetchWorker(void* argument) {
    RunRequest(static_cast<FetchRequest*>(argument));
    g_workersRunning.fetch_sub(1);
}

namespace {

void RunRequest(FetchRequest* request) {
    WorkerState* state = new (std::nothrow) WorkerState;
    if (state != nullptr) {
        // The worker's copies have the request's capacities.
        static_cast<void>(CopyText(state->url, sizeof state->url, request->url));
        static_cast<void>(CopyText(state->requestUrl, sizeof state->requestUrl, request->url));
        static_cast<void>(CopyText(state->folderId, sizeof state->folderId, request->folderId));
        state->completion = request->completion;
        state->port = 0;
        ConditionalLines(state->folderId, state->requestUrl, state->conditions,
                         sizeof state->conditions);
        state->failure = nullptr;

        TakeRefreshCounts();
        Refresh(state);
        const RefreshCounts counts = TakeRefreshCounts();
        // The outcome is short enough for the line whatever the counts; what does not fit is the
        // folder's name, which ShowOutcome cuts.
        char outcome[kStatusTextMax + 1];
        if (state->failure != nullptr) {
            static_cast<void>(CopyText(outcome, sizeof outcome, state->failure));
        } else if (counts.appended == 0) {
            static_cast<void>(CopyText(outcome, sizeof outcome, "nothing new"));
        } else if (counts.alreadyHere == 0) {
            static_cast<void>(FormatText(outcome, sizeof outcome, "%d new message%s",
                                         counts.appended, counts.appended == 1 ? "" : "s"));
        } else {
            static_cast<void>(FormatText(outcome, sizeof outcome, "%d new, %d already here",
                                         counts.appended, counts.alreadyHere));
        }
        if (counts.trouble != nullptr) {
            static_cast<void>(AppendText(outcome, sizeof outcome, "; ") &&
                              AppendText(outcome, sizeof outcome, counts.trouble));
        }
        ShowOutcome(state->folderId, outcome);
        Trace("Fetch %s | %s: %s", state->url, state->folderId, outcome);
        delete state;
    } else {
        Trace("Fetch %s | Out of memory\n", request->url);
    }
    delete request;
}

}  // namespace

void OnFeedDownloaded(AnswerStream* answer, const char* folderId, const char* documentUrl) {
    size_t length = 0;
    const char* looked = answer->Lookahead(&length);
    const char* document = FindDocumentStart(looked);
    if (document == nullptr) {
        Trace("Not a valid rss document");
        return;
    }
    answer->Skip(static_cast<size_t>(document - looked));
    // Every item is told by the folder's record of seen items, or, where there is none to go by,
    // by its index: read once, then followed as it grows.
    IndexReading reading;
    SeenReading seen(folderId);
    ParseFeedFrom(answer, OnFeedItem, folderId, documentUrl);
}

void OnFeedText(const char* answer, const char* folderId, const char* documentUrl) {
    TextAnswerSource source(answer, strlen(answer));
    AnswerStream* stream = new (std::nothrow) AnswerStream(&source, kAnswerLimit);
    if (stream != nullptr && stream->ReadHeader()) {
        OnFeedDownloaded(stream, folderId, documentUrl);
    }
    delete stream;
}

int FetchWorkersRunning() {
    return g_workersRunning.load() + Pool().Workers();
}

unsigned FetchDeadlineMs() {
    return g_deadlineMs.load();
}

void SetFetchDeadlineMs(unsigned milliseconds) {
    g_deadlineMs.store(milliseconds != 0 ? milliseconds : kDefaultFetchDeadlineMs);
}

size_t FetchAnswerLimit() {
    return g_answerLimit.load();
}

void SetFetchAnswerLimit(size_t bytes) {
    g_answerLimit.store(bytes != 0 && bytes < kAnswerLimit ? bytes : kAnswerLimit);
}

namespace {

// The validator a section keeps for `url`: what follows the address and a blank.
bool ReadValidator(const char* section, const char* folderId, const char* url, char* out,
                   size_t capacity) {
    char kept[kUrlCapacity + kValidatorCapacity + 2];
    out[0] = '\0';
    if (ReadSetting(section, folderId, kept, sizeof kept) == 0) {
        return false;
    }
    const size_t length = strlen(url);
    return strncmp(kept, url, length) == 0 && kept[length] == ' ' && kept[length + 1] != '\0' &&
           CopyText(out, capacity, kept + length + 1);
}

// Writes the answer's header `name` after `url` into the section, or removes the folder's entry
// when the answer has none; only when that changes what is kept.
void KeepValidator(const char* section, const char* name, const char* folderId, const char* url,
                   const char* answer) {
    char value[kValidatorCapacity];
    char kept[kValidatorCapacity];
    const bool has = FindAnswerHeader(answer, name, value, sizeof value) && value[0] != '\0' &&
                     IsSettingText(value);
    const bool had = ReadValidator(section, folderId, url, kept, sizeof kept);
    if (has && (!had || strcmp(kept, value) != 0)) {
        char entry[kUrlCapacity + kValidatorCapacity + 2];
        if (!FormatText(entry, sizeof entry, "%s %s", url, value) ||
            !WriteSetting(section, folderId, entry)) {
            Trace("Fetch %s | cannot keep the %s", url, name);
        }
    } else if (!has && had && !DeleteSetting(section, folderId)) {
        Trace("Fetch %s | cannot forget the %s", url, name);
    }
}

}  // namespace

void ConditionalLines(const char* folderId, const char* url, char* out, size_t capacity) {
    out[0] = '\0';
    char etag[kValidatorCapacity];
    char modified[kValidatorCapacity];
    if (ReadValidator(kETagSection, folderId, url, etag, sizeof etag)) {
        static_cast<void>(FormatText(out, capacity, "If-None-Match: %s\r\n", etag));
    }
    if (ReadValidator(kLastModifiedSection, folderId, url, modified, sizeof modified)) {
        const size_t used = strlen(out);
        static_cast<void>(
            FormatText(out + used, capacity - used, "If-Modified-Since: %s\r\n", modified));
    }
}

void KeepValidators(const char* folderId, const char* url, const char* answer) {
    KeepValidator(kETagSection, "etag:", folderId, url, answer);
    KeepValidator(kLastModifiedSection, "last-modified:", folderId, url, answer);
}

unsigned FetchTimeLimitMs() {
    return g_timeLimitMs.load();
}

void SetFetchTimeLimitMs(unsigned milliseconds) {
    // A zero limit would mean no limit at all to the receive time-out.
    g_timeLimitMs.store(milliseconds != 0 ? milliseconds : kDefaultFetchTimeLimitMs);
}
