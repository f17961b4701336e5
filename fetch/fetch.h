// The feed fetcher: a bounded pool of workers downloads the feeds and hands each to the reader as
// it arrives.
#pragma once

#include <cstddef>

#include "base/text.h"
#include "base/url_reference.h"

// How long a worker waits for a connection to be made, and for each receive to bring a byte,
// before it gives up on a silent server.
constexpr unsigned kDefaultFetchTimeLimitMs = 60 * 1000;
// How long a whole refresh may take, from connecting through the TLS handshake to the last byte,
// redirects included: long enough for a feed of several megabytes on a slow line; a server that
// trickles a byte now and then holds its worker no longer.
constexpr unsigned kDefaultFetchDeadlineMs = 5 * 60 * 1000;

class AnswerStream;

// What the worker hands a successful answer to, as soon as its header has arrived: the answer,
// whose body the completion reads as it arrives (what it leaves is read after it), the worker's
// copy of the folder id, and the address the answer came from (the last redirect's), which the
// document's relative links resolve against. Runs on the worker thread.
typedef void (*FetchCompletion)(AnswerStream* answer, const char* folderId,
                                const char* documentUrl);

// One download. The worker owns the record from its start and releases it at its end.
struct FetchRequest {
    char url[kUrlCapacity];
    FetchCompletion completion;  // may be null: the answer is then received and thrown away
    char folderId[kFolderIdCapacity];
};

// The refresh workers: kDefaultFetchWorkers unless the settings file's [Options] section says
// otherwise ("Workers=4"), at most kMostFetchWorkers. Peers fetch a few feeds at a time too: more
// at once would gain little and cost the host's address space.
constexpr int kDefaultFetchWorkers = 8;
constexpr int kMostFetchWorkers = 64;
constexpr char kWorkersKey[] = "Workers";
int FetchPoolSize();

// Queues a refresh that downloads `url` and turns its items into messages of `folderId`; both
// texts are copied, and it returns at once: 0 when the refresh is queued, -1 when not. The
// refresh runs as soon as one of the FetchPoolSize() workers is free, after the ones queued
// before it; nothing is turned away for want of a worker. One refresh of a folder is queued or
// runs at a time: another for the same folder (its id compared without regard to ASCII case)
// answers -1, since two at once would append the same items twice.
int StartFeedUpdate(const char* url, const char* folderId);

// Drops the refreshes waiting for a worker and waits for the running ones to end, at most
// `milliseconds` (a refresh ends by its deadline at most). True when no worker is left. The
// plug-in calls it as the host shuts down.
bool StopFetchWorkers(unsigned milliseconds);

// Starts FetchWorker on a new thread of its own, outside the pool, for a request allocated with
// new. From here on the request belongs to the worker; when no thread can be started it is
// released at once and -1 returned.
int StartFetchWorker(FetchRequest* request);

// The thread function of such a worker: downloads the request's URL, calls the completion with a
// successful answer, releases the request and returns.
void FetchWorker(void* request);

// Splits `url` into the host name, the port (80 unless the URL names one) and the path ("/" when
// the URL has none, without the fragment, which is never sent), into `host` and `path` of the
// capacities given. Returns 0, or -1 when no URL is given, when it is longer than kUrlCapacity or
// a part does not fit its output (cut, either would name another feed), when it holds a control
// character (which would end the request line), when its port is outside 1 to 65535 (which would
// wrap onto another port), when it names no host, or when it holds user information
// ("user:password@host").
int SplitUrl(const char* url, char* host, size_t hostCapacity, int* port, char* path,
             size_t pathCapacity);

// True when the URL names a user before its host ("user:password@host"): logins are not
// supported, and such an address is refused rather than sent to a host named after the user.
bool HasUserInformation(const char* url);

// True when the URL's scheme (the text before its first "://") is "https", in any case: the feed
// is then fetched over TLS, on port 443 unless the URL names another.
bool IsHttpsUrl(const char* url);

// What an answer without a document says about where the feed went.
enum class Redirect {
    kNone,     // it is no redirect (or names no location)
    kFollow,   // `next` holds the URL to fetch instead
    kRefused,  // a redirect that is not followed: from https to http, to another scheme or to a
               // location that does not fit a URL of kUrlCapacity
};
// The value of the answer's header `name` (lower case, with its colon), trimmed; false when the
// header part has none or it does not fit.
bool FindAnswerHeader(const char* answer, const char* name, char* out, size_t capacity);

// How many seconds from `now` a Retry-After value asks to wait: a number of seconds, or an HTTP
// date (0 when it has passed); -1 for a value of neither form.
long long RetryAfterSeconds(const char* value, long long now);

// The status code of an answer that begins with an HTTP/1.x status line (blanks between its
// parts), 0 for an answer without one.
int HttpStatus(const char* answer);

// Reads an answer that begins with a status line of 301, 302, 303, 307 or 308 (blanks between
// its parts) and has a Location header (its name without regard to case), resolved against `url`
// into `next` (of `capacity` bytes).
Redirect FindRedirect(const char* answer, const char* url, char* next, size_t capacity);

// Where the document in an answer begins: the first "<?xml" of `text`, else its first "<rss",
// else its first start tag whose local name is "feed" or "RDF" (an Atom or RSS 1.0 document
// without a declaration), else null.
const char* FindDocumentStart(const char* text);

// The completion of every refresh: runs the feed reader over the document in the answer's body,
// from its start (the first bytes are searched for it, so that nothing of the header, a Link
// header's "<feed/atom>" say, is taken for it), with the message composer as its item callback.
void OnFeedDownloaded(AnswerStream* answer, const char* folderId, const char* documentUrl);
// The same over an answer held whole in memory, terminated (with or without a status line).
void OnFeedText(const char* answer, const char* folderId, const char* documentUrl);

// How many workers have been started and not yet ended: what tests wait on, since nothing else
// tells when a worker is done.
int FetchWorkersRunning();

// The time limit on connecting and on each receive, kDefaultFetchTimeLimitMs unless a test has
// set a shorter one (0 sets the default again). Workers read it when they connect.
unsigned FetchTimeLimitMs();
void SetFetchTimeLimitMs(unsigned milliseconds);

// The deadline of a whole refresh, kDefaultFetchDeadlineMs unless a test has set a shorter one
// (0 sets the default again). What arrived by then is handled as after a failed receive.
unsigned FetchDeadlineMs();
void SetFetchDeadlineMs(unsigned milliseconds);

// The request a worker sends for a path, host name and port: the path with its blanks written as
// "%20", the Host header with the port when it is not the default of the scheme (443 for https,
// else 80). False when it does not fit `capacity` (kRequestCapacity holds the longest path and host
// name). `conditions` (null or "" for none) are header lines, each ending in CR LF, that make the
// request a conditional one.
[[nodiscard]] bool FormatRequest(const char* path, const char* host, int port, bool https,
                                 const char* conditions, char* out, size_t capacity);

// The ceiling of an answer, and of its body decoded: kAnswerLimit unless a test has set a smaller
// one (0 sets it again). A larger answer ends the refresh, said on the status line.
size_t FetchAnswerLimit();
void SetFetchAnswerLimit(size_t bytes);

// The conditional lines of a folder's next request for `url`: If-None-Match and If-Modified-Since
// from the entity tag and date of its last whole answer from that address, as the settings file
// keeps them ([ETag], [LastModified]); "" when it has none.
void ConditionalLines(const char* folderId, const char* url, char* out, size_t capacity);

// Keeps the validators of a whole answer of `url` for the folder's next request: its ETag and
// Last-Modified headers, or forgets what was kept when the answer has none. Written only when they
// change.
void KeepValidators(const char* folderId, const char* url, const char* answer);
