// The feed fetcher. Each refresh gets a worker thread of its own that splits the URL, sends one
// HTTP/1.0 GET, reads the answer until the server closes the connection and hands it on. The answer
// is never read as HTTP: the only thing looked for in it is where the XML document starts.
#include "fetch/fetch.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "compose/compose.h"
#include "feed/parse_feed.h"
#include "base/module.h"
#include "base/status.h"
#include "platform.h"
#include "platform/thread_start.h"
#include "platform/sockets.h"

namespace {

constexpr char kRequestFormat[] =
    "GET %s HTTP/1.0\r\nHost: %s\r\nUser-Agent: PellixQuillfeed %s\r\nPragma: no-cache\r\n"
    "Cache-Control: no-cache\r\nConnection: close\r\n\r\n";

constexpr int kDefaultPort = 80;

// The socket address is the 16-byte IPv4 form.
constexpr int kSocketAddressLength = 16;
static_assert(sizeof(sockaddr_in) == kSocketAddressLength, "IPv4 socket address of 16 bytes");

typedef std::chrono::steady_clock Clock;

std::atomic<int> g_workersRunning{0};
std::atomic<unsigned> g_timeLimitMs{kDefaultFetchTimeLimitMs};
std::atomic<unsigned> g_deadlineMs{kDefaultFetchDeadlineMs};

// The folders whose refresh is running, each taken by StartFeedUpdate and given back by the
// worker when it ends. A fixed table, which also bounds how many workers can pile up; it has no
// destructor, so a worker that ends just before the module is unloaded touches nothing that the
// unloading tears down.
constexpr int kMaxRefreshes = 256;
std::mutex g_foldersLock;
char g_foldersRefreshing[kMaxRefreshes][kTextCapacity];

bool SameFolder(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const unsigned char x = static_cast<unsigned char>(*a);
        const unsigned char y = static_cast<unsigned char>(*b);
        if ((x >= 'A' && x <= 'Z' ? x + 32 : x) != (y >= 'A' && y <= 'Z' ? y + 32 : y)) {
            return false;
        }
        if (x == '\0') {
            return true;
        }
    }
}

bool TakeFolder(const char* folderId) {
    std::lock_guard<std::mutex> hold(g_foldersLock);
    int free = -1;
    for (int i = 0; i < kMaxRefreshes; ++i) {
        if (g_foldersRefreshing[i][0] == '\0') {
            free = free < 0 ? i : free;
        } else if (SameFolder(g_foldersRefreshing[i], folderId)) {
            return false;
        }
    }
    // The caller's id has the table's capacity.
    return free >= 0 && CopyText(g_foldersRefreshing[free], kTextCapacity, folderId);
}

void GiveBackFolder(const char* folderId) {
    std::lock_guard<std::mutex> hold(g_foldersLock);
    for (char* running : g_foldersRefreshing) {
        if (running[0] != '\0' && SameFolder(running, folderId)) {
            running[0] = '\0';
            return;
        }
    }
}

unsigned Shorter(unsigned a, uint64_t b) {
    return b < a ? static_cast<unsigned>(b) : a;
}

// Everything one worker holds. Over half a megabyte, so it lives on the heap: a thread started
// with the default stack size has room for it on no platform we can count on.
struct WorkerState {
    char url[kTextCapacity];
    char folderId[kTextCapacity];
    FetchCompletion completion;
    char host[kTextCapacity];
    int port;
    char path[kTextCapacity];
    char request[kRequestCapacity];
    char answer[kReceiveCapacity + 1];
    size_t received;
    bool deliver;
};

// The port after the colon as the runtime's atoi reads it (leading blanks, a sign, the leading
// decimal digits; none give 0), except that a number too big for an int ends at the int's limit
// instead of being undefined.
int ReadPort(const char* text) {
    long value = strtol(text, nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

// Receives until the server closes the connection, a receive fails or times out, the download's
// deadline passes, or the buffer fills. Whatever arrived before a failure still counts; a full
// buffer clears the deliver flag.
void ReceiveAnswer(SOCKET connection, WorkerState* state, Clock::time_point deadline) {
    state->received = 0;
    const unsigned limit = FetchTimeLimitMs();
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            Trace("Fetch %s | Download deadline passed\n", state->url);
            return;
        }
        // Each receive waits no longer than the no-progress limit, nor past the deadline.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        if (SetReceiveTimeLimit(connection,
                                Shorter(limit, static_cast<uint64_t>(left.count()) + 1)) != 0) {
            return;
        }
        int room = static_cast<int>(kReceiveCapacity - state->received);
        int got = recv(connection, state->answer + state->received, room, 0);
        if (got <= 0) {
            return;
        }
        state->received += static_cast<size_t>(got);
        if (state->received >= kReceiveCapacity) {
            state->deliver = false;
            return;
        }
    }
}

// The download itself, from the socket start-up to the closed socket. Returns false when the
// worker must end without delivering anything.
bool Download(WorkerState* state) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(FetchDeadlineMs());
    WSADATA winsock;
    int startup = WSAStartup(MAKEWORD(1, 1), &winsock);
    if (startup != 0) {
        Trace("Fetch %s | WSAStartup failed : %d\n!", state->url, startup);
        return false;
    }
    SOCKET connection = socket(AF_INET, SOCK_STREAM, 0);
    if (connection == INVALID_SOCKET) {
        Trace("Fetch %s | socket failed : %d\n!", state->url, WSAGetLastError());
        WSACleanup();
        return false;
    }
    // Ends the socket and the Windows Sockets use on every way out below.
    auto fail = [connection] {
        closesocket(connection);
        WSACleanup();
        return false;
    };

    if (SplitUrl(state->url, state->host, &state->port, state->path) != 0) {
        Trace("Fetch %s | Analysize url failed!", state->url);
        return fail();
    }
    struct hostent* entry = gethostbyname(state->host);
    if (entry == nullptr || entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr) {
        Trace("Fetch %s | gethostbyname failed : %s %d\n", state->url, state->host,
              WSAGetLastError());
        return fail();
    }
    sockaddr_in address;
    memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(state->port));
    memcpy(&address.sin_addr, entry->h_addr_list[0], sizeof address.sin_addr);

    // A server that accepts and then says nothing would otherwise hold this worker for as long as
    // the client runs, and every later refresh would add another one: connecting and every
    // receive give up after the time limit without progress.
    unsigned limit = FetchTimeLimitMs();
    if (ConnectWithTimeLimit(connection, reinterpret_cast<const sockaddr*>(&address),
                             kSocketAddressLength, limit) != 0) {
        Trace("Fetch %s | Connect failed : %d\n", state->url, WSAGetLastError());
        return fail();
    }
    if (SetReceiveTimeLimit(connection, limit) != 0) {
        Trace("Fetch %s | Receive time limit failed : %d\n", state->url, WSAGetLastError());
        return fail();
    }

    if (!FormatRequest(state->path, state->host, state->request, sizeof state->request)) {
        Trace("Fetch %s | Request too long\n", state->url);
        return fail();
    }
    int length = static_cast<int>(strlen(state->request));
    if (send(connection, state->request, length, 0) != length) {
        Trace("Fetch %s | Send HTTP request failed : %d\n", state->url, WSAGetLastError());
        return fail();
    }

    ReceiveAnswer(connection, state, deadline);
    closesocket(connection);
    WSACleanup();
    state->answer[state->received] = '\0';
    return true;
}

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == ':' || static_cast<unsigned char>(c) >= 0x80;
}

// The first start tag whose local name is "feed" (Atom) or "RDF" (RSS 1.0), with or without a
// prefix: where a document without an XML declaration begins.
const char* FindRootElement(const char* text) {
    for (const char* open = strchr(text, '<'); open != nullptr; open = strchr(open + 1, '<')) {
        const char* name = open + 1;
        const char* end = name;
        while (IsNameCharacter(*end)) {
            ++end;
        }
        const char* local = name;
        for (const char* at = name; at < end; ++at) {
            if (*at == ':') {
                local = at + 1;
            }
        }
        const size_t length = static_cast<size_t>(end - local);
        const bool ends = *end == '>' || *end == '/' || *end == ' ' || *end == '\t' ||
                          *end == '\r' || *end == '\n';
        if (ends && ((length == 4 && strncmp(local, "feed", 4) == 0) ||
                     (length == 3 && strncmp(local, "RDF", 3) == 0))) {
            return open;
        }
    }
    return nullptr;
}

}  // namespace

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
    if (!TakeFolder(request->folderId)) {
        Trace("Fetch %s | a refresh of %s is still running, or %d are\n", request->url,
              request->folderId, kMaxRefreshes);
        delete request;
        return -1;
    }
    request->holdsFolder = true;
    return StartFetchWorker(request);
}

int StartFetchWorker(FetchRequest* request) {
    if (request == nullptr) {
        return -1;
    }
    // Counted before the thread exists, so that a waiter never sees a started worker missing.
    g_workersRunning.fetch_add(1);
    uintptr_t thread = _beginthread(FetchWorker, 0, request);
    if (thread == static_cast<uintptr_t>(-1)) {
        if (request->holdsFolder) {
            GiveBackFolder(request->folderId);
        }
        delete request;
        g_workersRunning.fetch_sub(1);
        return -1;
    }
    return static_cast<int>(thread);
}

void FetchWorker(void* argument) {
    FetchRequest* request = static_cast<FetchRequest*>(argument);
    WorkerState* state = new (std::nothrow) WorkerState;
    if (state != nullptr) {
        // The worker's copies have the request's capacities.
        static_cast<void>(CopyText(state->url, sizeof state->url, request->url));
        static_cast<void>(CopyText(state->folderId, sizeof state->folderId, request->folderId));
        state->completion = request->completion;
        state->port = kDefaultPort;
        state->received = 0;
        state->deliver = true;

        if (Download(state) && state->completion != nullptr && state->deliver) {
            state->completion(state->answer, state->folderId);
        }
        delete state;
    } else {
        Trace("Fetch %s | Out of memory\n", request->url);
    }
    // Given back only once every item is appended, so that the next refresh sees them listed.
    if (request->holdsFolder) {
        GiveBackFolder(request->folderId);
    }
    delete request;
    g_workersRunning.fetch_sub(1);
}

int SplitUrl(const char* url, char* host, int* port, char* path) {
    if (url == nullptr) {
        return -1;
    }
    // The callers' URLs have this capacity; a longer one given directly is split cut.
    char work[kTextCapacity];
    static_cast<void>(CopyText(work, sizeof work, url));
    ShowStatus("RSS:%s", url);
    for (const char* at = work; *at != '\0'; ++at) {
        if (static_cast<unsigned char>(*at) < 0x20 || *at == 0x7F) {
            return -1;
        }
    }

    // The scheme is never looked at: whatever it names, the feed is fetched with plain HTTP.
    char* rest = strstr(work, "://");
    rest = rest != nullptr ? rest + 3 : work;

    char* slash = strchr(rest, '/');
    // The parts of `work` always fit outputs of its capacity.
    if (slash != nullptr) {
        static_cast<void>(CopyText(path, kTextCapacity, slash));
        *slash = '\0';
    } else {
        static_cast<void>(CopyText(path, kTextCapacity, "/"));
    }

    // Only the host part is searched, so a colon in the path never names a port.
    char* colon = strchr(rest, ':');
    int number = kDefaultPort;
    if (colon != nullptr) {
        number = ReadPort(colon + 1);
        *colon = '\0';
    }
    if (number < 1 || number > 65535) {
        return -1;
    }
    *port = number;
    static_cast<void>(CopyText(host, kTextCapacity, rest));
    return 0;
}

const char* FindDocumentStart(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    const char* start = strstr(text, "<?xml");
    if (start == nullptr) {
        start = strstr(text, "<rss");
    }
    return start != nullptr ? start : FindRootElement(text);
}

void OnFeedDownloaded(const char* text, const char* folderId) {
    const char* document = FindDocumentStart(text);
    if (document == nullptr) {
        Trace("Not a valid rss document");
        return;
    }
    ParseFeed(document, OnFeedItem, folderId);
}

int FetchWorkersRunning() {
    return g_workersRunning.load();
}

bool FormatRequest(const char* path, const char* host, char* out, size_t capacity) {
    char encoded[3 * kTextCapacity];
    size_t used = 0;
    for (const char* at = path; *at != '\0'; ++at) {
        if (used + 4 > sizeof encoded) {
            return false;
        }
        if (*at == ' ') {
            memcpy(encoded + used, "%20", 3);
            used += 3;
        } else {
            encoded[used++] = *at;
        }
    }
    encoded[used] = '\0';
    return FormatText(out, capacity, kRequestFormat, encoded, host, PlugInVersion);
}

unsigned FetchDeadlineMs() {
    return g_deadlineMs.load();
}

void SetFetchDeadlineMs(unsigned milliseconds) {
    g_deadlineMs.store(milliseconds != 0 ? milliseconds : kDefaultFetchDeadlineMs);
}

unsigned FetchTimeLimitMs() {
    return g_timeLimitMs.load();
}

void SetFetchTimeLimitMs(unsigned milliseconds) {
    // A zero limit would mean no limit at all to the receive time-out.
    g_timeLimitMs.store(milliseconds != 0 ? milliseconds : kDefaultFetchTimeLimitMs);
}
