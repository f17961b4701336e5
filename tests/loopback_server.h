// A small HTTP server on 127.0.0.1 for the fetcher's tests. It plays a script per connection, so
// that each test decides the bytes of the answer, the pauses between them and how the connection
// ends; it records the request bytes each connection brought.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform.h"
#include "platform/sockets.h"

// One step of what the server does after it has read a request.
struct ServerStep {
    enum Kind {
        kSend,            // send `bytes`
        kPause,           // wait `milliseconds` (lets the pieces arrive apart)
        kWaitForRelease,  // go silent, keeping the connection open, until Release()
        kReset,           // end the connection with a reset instead of a close
    };
    Kind kind;
    std::string bytes;
    int milliseconds;
};

ServerStep Send(const std::string& bytes);
ServerStep Pause(int milliseconds);
ServerStep WaitForRelease();
ServerStep Reset();

// `answer` sent in pieces of `pieceSize` bytes with a short pause after each.
std::vector<ServerStep> SendInPieces(const std::string& answer, size_t pieceSize);

// What a server that answers by the request says: the bytes, and whether the connection stays for
// the client's next request.
struct Reply {
    std::string bytes;
    bool keep = false;
};
typedef std::function<Reply(const std::string& request)> Responder;

class LoopbackServer {
public:
    // Listens on a free port and serves up to `connections` connections, each on a thread of its
    // own: answers each request as `responder` says, from any of those threads at once, until a
    // reply does not keep the connection.
    LoopbackServer(Responder responder, int connections);
    // Listens on a free port and serves up to `connections` connections, each on a thread of its
    // own: reads the request up to its empty line, plays `script`, and closes the connection
    // (unless the script reset it).
    explicit LoopbackServer(std::vector<ServerStep> script, int connections = 1);
    // The same with a script per connection, in the order they come; the last one plays for any
    // further connection.
    typedef std::vector<std::vector<ServerStep>> Scripts;
    LoopbackServer(Scripts scripts, int connections, bool ipv6 = false);
    // Releases silent connections, stops listening and waits for every connection to end.
    ~LoopbackServer();

    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool Listening() const { return listener_ != INVALID_SOCKET; }
    int Port() const { return port_; }
    // "http://127.0.0.1:PORT" (or "http://[::1]:PORT") followed by `rest`.
    std::string Url(const std::string& rest) const;
    // The same through the TLS front that shows the certificate `kind`:
    // "https://localhost:FRONT/@PORT" followed by `rest`.
    std::string SecureUrl(const char* kind, const std::string& rest) const;

    // Lets every connection waiting in kWaitForRelease go on with its script.
    void Release();

    // The request bytes of the connections so far, in the order they were read.
    std::vector<std::string> Requests() const;
    // The most connections it served at the same time.
    int MostAtOnce() const;

private:
    void AcceptLoop();
    void Serve(SOCKET connection, size_t index);

    void Answer(SOCKET connection, std::string request);

    Scripts scripts_;
    Responder responder_;
    int connections_;
    bool ipv6_ = false;  // listening on ::1 rather than 127.0.0.1
    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::vector<std::thread> servers_;  // touched by the acceptor thread only, until it is joined

    mutable std::mutex lock_;
    std::condition_variable released_;
    bool release_ = false;
    std::vector<std::string> requests_;
    int serving_ = 0;
    int mostServing_ = 0;
};

// A port on 127.0.0.1 that is taken but not listening: connecting to it is refused.
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    int Port() const { return port_; }

private:
    SOCKET socket_ = INVALID_SOCKET;
    int port_ = 0;
};

// A listener on 127.0.0.1 whose queue of pending connections is full, so that a further connection
// is neither accepted nor refused. Full() is false where the platform refuses or accepts instead.
class FullListener {
public:
    FullListener();
    ~FullListener();
    bool Full() const { return full_; }
    int Port() const { return port_; }

private:
    SOCKET listener_ = INVALID_SOCKET;
    std::vector<SOCKET> pending_;
    int port_ = 0;
    bool full_ = false;
};
