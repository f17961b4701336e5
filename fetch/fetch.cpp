// The feed fetcher. Each refresh gets a worker thread of its own that splits the URL, connects
// (over TLS for https), sends one HTTP/1.1 GET and reads the answer until the server closes the
// connection. The answer is read as HTTP: its status code decides whether the body is the
// document, a redirect is followed or the refresh failed, and the body is read whole (chunks
// decoded, its length honoured) or said cut. At its end the refresh says on the status line how
// it went.
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
#include "fetch/answer_text.h"
#include "fetch/fetch_pool.h"
#include "feed/parse_feed.h"
#include "base/hostapi.h"
#include "base/module.h"
#include "base/settings_file.h"
#include "base/status.h"
#include "platform.h"
#include "platform/secure_channel.h"
#include "platform/sockets.h"
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
    AnswerText answer;  // grows as the answer arrives, up to FetchAnswerLimit()
    bool deliver;
    // Why the refresh brought nothing, in a mail user's words; null while nothing went wrong.
    const char* failure;
    char failureText[kStatusTextMax + 1];  // room for a failure put in words here
    // The answer ended before it was whole: the connection failed or the deadline passed after
    // part of it, or its chunks or Content-Length say that more was to come.
    bool cut;
};

// A connection, plain or over TLS.
struct Connection {
    SOCKET socket;
    SecureChannel* channel;

    int Receive(char* buffer, int room) {
        return channel != nullptr ? SecureReceive(channel, buffer, room)
                                  : recv(socket, buffer, room, 0);
    }
    bool Send(const char* data, size_t length) {
        if (channel != nullptr) {
            return SecureSend(channel, data, length);
        }
        const int wanted = static_cast<int>(length);
        return send(socket, data, wanted, 0) == wanted;
    }
};

// An answer past the ceiling, in words.
void SayTooLarge(WorkerState* state) {
    static_cast<void>(FormatText(state->failureText, sizeof state->failureText,
                                 "the feed is larger than %u MB",
                                 static_cast<unsigned>(FetchAnswerLimit() >> 20)));
    state->failure = state->failureText;
}

// Receives until the server closes the connection, a receive fails or times out, the download's
// deadline passes, or the answer passes its ceiling. Whatever arrived before a failure still
// counts; an answer past the ceiling clears the deliver flag.
void ReceiveAnswer(Connection* connection, WorkerState* state, Clock::time_point deadline) {
    state->answer.Clear();
    const unsigned limit = FetchTimeLimitMs();
    const size_t ceiling = FetchAnswerLimit();
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            Trace("Fetch %s | Download deadline passed\n", state->url);
            if (state->answer.length() == 0) {
                state->failure = "no answer in time";
            }
            // What arrived is read, but the answer is not whole.
            state->cut = state->answer.length() > 0;
            return;
        }
        // Each receive waits no longer than the no-progress limit, nor past the deadline.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        if (SetReceiveTimeLimit(connection->socket,
                                Shorter(limit, static_cast<uint64_t>(left.count()) + 1)) != 0) {
            return;
        }
        // Room for one more piece; an answer that reaches the ceiling is a runaway one.
        const size_t piece = ceiling - state->answer.length() < kReceivePiece
                                 ? ceiling - state->answer.length()
                                 : kReceivePiece;
        if (piece == 0 || !state->answer.Reserve(piece, ceiling)) {
            state->deliver = false;
            if (piece == 0) {
                SayTooLarge(state);
            } else {
                state->failure = "out of memory";
            }
            return;
        }
        const int got = connection->Receive(state->answer.data() + state->answer.length(),
                                            static_cast<int>(piece));
        if (got <= 0) {
            if (got < 0 && state->answer.length() == 0 && IsTimeoutError(WSAGetLastError())) {
                state->failure = "no answer in time";
            }
            // A connection that failed, or a secure one that ended without its closing message,
            // after part of the answer: what arrived is read, and the refresh said cut.
            state->cut = got < 0 && state->answer.length() > 0;
            return;
        }
        state->answer.SetLength(state->answer.length() + static_cast<size_t>(got));
    }
}

// One download of `state->url`, from the socket start-up to the closed socket. Returns false,
// with `state->failure` set, when no answer can be handed on; a receive that timed out before
// anything arrived sets it too, but what arrived (nothing) is still handed on.
bool Download(WorkerState* state) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(FetchDeadlineMs());
    state->cut = false;
    state->answer.Clear();
    WSADATA winsock;
    int startup = WSAStartup(MAKEWORD(2, 2), &winsock);
    if (startup != 0) {
        Trace("Fetch %s | WSAStartup failed : %d\n!", state->url, startup);
        state->failure = "cannot connect";
        return false;
    }
    Connection connection = {INVALID_SOCKET, nullptr};
    // Ends the channel, the socket and the Windows Sockets use on every way out below.
    auto fail = [&connection, state](const char* why) {
        CloseSecureChannel(connection.channel);
        if (connection.socket != INVALID_SOCKET) {
            closesocket(connection.socket);
        }
        WSACleanup();
        state->failure = why;
        return false;
    };

    if (HasUserInformation(state->url)) {
        Trace("Fetch %s | a user name in the address", state->url);
        return fail("logins in feed addresses are not supported");
    }
    ShowStatus("RSS:%s", state->url);
    if (SplitUrl(state->url, state->host, sizeof state->host, &state->port, state->path,
                 sizeof state->path) != 0) {
        Trace("Fetch %s | the address cannot be split", state->url);
        return fail("the feed address is not valid");
    }
    char service[8];
    static_cast<void>(FormatText(service, sizeof service, "%d", state->port));
    addrinfo hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const int resolved = getaddrinfo(state->host, service, &hints, &found);
    if (resolved != 0 || found == nullptr) {
        Trace("Fetch %s | getaddrinfo failed : %s %d\n", state->url, state->host, resolved);
        return fail("host not found");
    }

    // Every address of the host in the order the resolver gives them, IPv6 and IPv4 alike, until
    // one connects. A server that accepts and then says nothing would otherwise hold this worker
    // for as long as the client runs: connecting and every receive give up after the time limit
    // without progress, and no attempt outlasts the download's deadline.
    const unsigned limit = FetchTimeLimitMs();
    int error = 0;
    for (const addrinfo* at = found; at != nullptr && connection.socket == INVALID_SOCKET;
         at = at->ai_next) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            error = WSAETIMEDOUT;
            break;
        }
        SOCKET attempt = socket(at->ai_family, at->ai_socktype, at->ai_protocol);
        if (attempt == INVALID_SOCKET) {
            error = WSAGetLastError();
            continue;
        }
        if (ConnectWithTimeLimit(attempt, at->ai_addr, static_cast<int>(at->ai_addrlen),
                                 Shorter(limit, static_cast<uint64_t>(left.count()))) == 0) {
            connection.socket = attempt;
        } else {
            error = WSAGetLastError();
            closesocket(attempt);
        }
    }
    freeaddrinfo(found);
    if (connection.socket == INVALID_SOCKET) {
        Trace("Fetch %s | Connect failed : %d\n", state->url, error);
        return fail(IsTimeoutError(error) ? "no answer in time" : "cannot connect");
    }
    if (SetReceiveTimeLimit(connection.socket, limit) != 0) {
        Trace("Fetch %s | Receive time limit failed : %d\n", state->url, WSAGetLastError());
        return fail("cannot connect");
    }
    // An https feed is fetched over TLS or not at all: a failed handshake or certificate check
    // ends the refresh, and nothing is ever sent in plain text instead.
    if (IsHttpsUrl(state->url)) {
        SecureFailure why = SecureFailure::kNone;
        // The handshake counts against the download's deadline like every other step.
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        connection.channel = OpenSecureChannel(
            connection.socket, state->host,
            left.count() > 0 ? Shorter(UINT_MAX, static_cast<uint64_t>(left.count())) : 1u, &why);
        if (connection.channel == nullptr) {
            Trace("Fetch %s | Secure channel failed : %d %s\n", state->url, static_cast<int>(why),
                  SecureFailureWords(why));
            return fail(SecureFailureWords(why));
        }
    }

    if (!FormatRequest(state->path, state->host, state->port, IsHttpsUrl(state->url),
                       state->conditions, state->request, sizeof state->request)) {
        Trace("Fetch %s | Request too long\n", state->url);
        return fail("the feed address is not valid");
    }
    if (!connection.Send(state->request, strlen(state->request))) {
        Trace("Fetch %s | Send HTTP request failed : %d\n", state->url, WSAGetLastError());
        return fail("cannot connect");
    }

    ReceiveAnswer(&connection, state, deadline);
    CloseSecureChannel(connection.channel);
    closesocket(connection.socket);
    WSACleanup();
    // What arrived before a failed or timed-out receive is delivered, also when it is nothing.
    return state->deliver;
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
void SayStatus(WorkerState* state, int status) {
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
                FindAnswerHeader(state->answer.data(), "retry-after:", retryAfter,
                                 sizeof retryAfter)
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

// Reads the body of a success as the server meant it: chunks joined, its length honoured, and a
// compressed one inflated in place of what arrived. False, with the failure said, when there is
// nothing to read.
bool ReadBody(WorkerState* state) {
    char* const answer = state->answer.data();
    const AnswerBody body = WholeBody(answer, state->answer.length());
    state->answer.SetLength(static_cast<size_t>(body.start - answer) + body.length);
    state->cut = state->cut || !body.whole;
    char coding[32];
    if (!FindAnswerHeader(answer, "content-encoding:", coding, sizeof coding) ||
        coding[0] == '\0' || strcmp(coding, "identity") == 0) {
        return true;
    }
    if (!IsKnownContentCoding(coding)) {
        Trace("Fetch %s | Content coding %s\n", state->url, coding);
        state->failure = "the feed came compressed in an unknown way";
        return false;
    }
    // The header as it came, then the body decoded.
    AnswerText decoded;
    const size_t headerLength = static_cast<size_t>(body.start - answer);
    const size_t ceiling = FetchAnswerLimit();
    if (!decoded.Append(answer, headerLength, ceiling)) {
        state->failure = "out of memory";
        return false;
    }
    switch (InflateBody(body.start, body.length, &decoded, ceiling)) {
        case Inflated::kWhole:
            break;
        case Inflated::kCut:
            state->cut = true;
            break;
        case Inflated::kBroken:
            Trace("Fetch %s | Compressed body broken\n", state->url);
            state->failure = "the feed's compressed data is broken";
            return false;
        case Inflated::kTooLarge:
            SayTooLarge(state);
            return false;
    }
    state->answer.Swap(&decoded);
    return true;
}

// Fetches the request's URL and where its redirects lead, and hands the answer on.
void Refresh(WorkerState* state) {
    for (int redirects = 0;; ++redirects) {
        if (!Download(state)) {
            return;
        }
        // The status code decides: a success is the document, a redirect goes on, anything else
        // is a refresh that failed, said with its code, whatever the body holds.
        const int status = HttpStatus(state->answer.data());
        if (status == 304) {
            state->failure = "no change";
            return;
        }
        if (status != 0 && (status < 200 || status >= 400)) {
            SayStatus(state, status);
            return;
        }
        if (status < 300) {
            if (status != 0 && !ReadBody(state)) {
                return;
            }
            if (FindDocumentStart(HttpBody(state->answer.data())) == nullptr &&
                state->failure == nullptr) {
                state->failure = "not a feed";
            }
            break;
        }
        char next[kUrlCapacity];
        const Redirect redirect = FindRedirect(state->answer.data(), state->url, next, sizeof next);
        if (redirect == Redirect::kNone) {
            Trace("Fetch %s | Moved (%d) without a location\n", state->url, status);
            state->failure = "moved without a new address";
            return;
        }
        if (redirect == Redirect::kRefused) {
            Trace("Fetch %s | Redirect refused\n", state->url);
            state->failure = "redirect refused";
            return;
        }
        if (redirects == kMaxRedirects) {
            Trace("Fetch %s | Too many redirects\n", state->url);
            state->failure = "too many redirects";
            return;
        }
        Trace("Fetch %s | Redirected to %s\n", state->url, next);
        static_cast<void>(CopyText(state->url, sizeof state->url, next));
    }
    if (state->completion != nullptr) {
        state->completion(state->answer.data(), state->folderId, state->url);
    }
    // The next request asks for the feed only if it changed since this whole answer.
    if (!state->cut && state->failure == nullptr && HttpStatus(state->answer.data()) != 0) {
        KeepValidators(state->folderId, state->requestUrl, state->answer.data());
    }
    // The items that arrived before a cut stay; the next refresh completes the folder.
    if (state->cut) {
        Trace("Fetch %s | The answer was cut\n", state->url);
        state->failure = "connection cut";
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
    uintptr_t thread = _beginthread(FetchWorker, 0, request);
    if (thread == static_cast<uintptr_t>(-1)) {
        delete request;
        g_workersRunning.fetch_sub(1);
        return -1;
    }
    return static_cast<int>(thread);
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
        state->deliver = true;
        ConditionalLines(state->folderId, state->requestUrl, state->conditions,
                         sizeof state->conditions);
        state->failure = nullptr;
        state->cut = false;

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

void OnFeedDownloaded(const char* text, const char* folderId, const char* documentUrl) {
    const char* document = FindDocumentStart(HttpBody(text));
    if (document == nullptr) {
        Trace("Not a valid rss document");
        return;
    }
    // Every item is told by the folder's record of seen items, or, where there is none to go by,
    // by its index: read once, then followed as it grows.
    IndexReading reading;
    SeenReading seen(folderId);
    ParseFeed(document, OnFeedItem, folderId, documentUrl);
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
