#include "tests/loopback_server.h"

#include <algorithm>

#include <chrono>
#include <cstring>

#include "tests/support.h"

namespace {

// How long the server waits for the other side, or for a release. Longer than the tests wait for
// a worker, so that a worker that never gives up on a silent server fails its test instead of
// being let go by the server.
constexpr unsigned kServerPatienceMs = 300 * 1000;
constexpr size_t kRequestLimit = 64 * 1024;

// A socket bound to 127.0.0.1 (or ::1) at a port the system picks; INVALID_SOCKET when that
// fails.
SOCKET BindLoopback(bool ipv6, int* port) {
    SOCKET bound = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
    if (bound == INVALID_SOCKET) {
        return INVALID_SOCKET;
    }
    sockaddr_in address;
    memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    sockaddr_in6 address6;
    memset(&address6, 0, sizeof address6);
    address6.sin6_family = AF_INET6;
    address6.sin6_addr = in6addr_loopback;
    sockaddr* chosen =
        ipv6 ? reinterpret_cast<sockaddr*>(&address6) : reinterpret_cast<sockaddr*>(&address);
    SocketLength length = ipv6 ? sizeof address6 : sizeof address;
    if (bind(bound, chosen, length) != 0 || getsockname(bound, chosen, &length) != 0) {
        closesocket(bound);
        return INVALID_SOCKET;
    }
    *port = ntohs(ipv6 ? address6.sin6_port : address.sin_port);
    return bound;
}

bool SendAll(SOCKET connection, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        int result =
            send(connection, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (result <= 0) {
            return false;
        }
        sent += static_cast<size_t>(result);
    }
    return true;
}

}  // namespace

ServerStep Send(const std::string& bytes) {
    return ServerStep{ServerStep::kSend, bytes, 0};
}
ServerStep Pause(int milliseconds) {
    return ServerStep{ServerStep::kPause, std::string(), milliseconds};
}
ServerStep WaitForRelease() {
    return ServerStep{ServerStep::kWaitForRelease, std::string(), 0};
}
ServerStep Reset() {
    return ServerStep{ServerStep::kReset, std::string(), 0};
}

std::vector<ServerStep> SendInPieces(const std::string& answer, size_t pieceSize) {
    std::vector<ServerStep> script;
    for (size_t at = 0; at < answer.size(); at += pieceSize) {
        script.push_back(Send(answer.substr(at, pieceSize)));
        script.push_back(Pause(1));
    }
    return script;
}

LoopbackServer::LoopbackServer(Responder responder, int connections)
    : LoopbackServer(Scripts{{}}, connections) {
    responder_ = std::move(responder);
}

LoopbackServer::LoopbackServer(std::vector<ServerStep> script, int connections)
    : LoopbackServer(Scripts{std::move(script)}, connections) {}

LoopbackServer::LoopbackServer(Scripts scripts, int connections, bool ipv6)
    : scripts_(std::move(scripts)), connections_(connections), ipv6_(ipv6) {
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
    listener_ = BindLoopback(ipv6, &port_);
    if (listener_ != INVALID_SOCKET && listen(listener_, 16) != 0) {
        closesocket(listener_);
        listener_ = INVALID_SOCKET;
    }
    if (listener_ != INVALID_SOCKET) {
        acceptor_ = std::thread(&LoopbackServer::AcceptLoop, this);
    }
}

LoopbackServer::~LoopbackServer() {
    stopping_ = true;
    Release();
    if (acceptor_.joinable()) {
        acceptor_.join();
    }
    for (std::thread& server : servers_) {
        server.join();
    }
    if (listener_ != INVALID_SOCKET) {
        closesocket(listener_);
    }
    WSACleanup();
}

std::string LoopbackServer::Url(const std::string& rest) const {
    return (ipv6_ ? "http://[::1]:" : "http://127.0.0.1:") + std::to_string(port_) + rest;
}

std::string LoopbackServer::SecureUrl(const char* kind, const std::string& rest) const {
    return "https://localhost:" + std::to_string(TlsFrontPort(kind)) + "/@" +
           std::to_string(port_) + rest;
}

void LoopbackServer::Release() {
    std::lock_guard<std::mutex> hold(lock_);
    release_ = true;
    released_.notify_all();
}

std::vector<std::string> LoopbackServer::Requests() const {
    std::lock_guard<std::mutex> hold(lock_);
    return requests_;
}

int LoopbackServer::MostAtOnce() const {
    std::lock_guard<std::mutex> hold(lock_);
    return mostServing_;
}

void LoopbackServer::AcceptLoop() {
    int served = 0;
    while (served < connections_ && !stopping_) {
        // Waits in short rounds, so that the destructor can stop a server nobody connected to.
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener_, &readable);
        timeval round;
        round.tv_sec = 0;
        round.tv_usec = 50 * 1000;
        if (select(static_cast<int>(listener_) + 1, &readable, nullptr, nullptr, &round) <= 0) {
            continue;
        }
        SOCKET connection = accept(listener_, nullptr, nullptr);
        if (connection == INVALID_SOCKET) {
            continue;
        }
        servers_.emplace_back(&LoopbackServer::Serve, this, connection,
                              static_cast<size_t>(served));
        ++served;
    }
}

void LoopbackServer::Serve(SOCKET connection, size_t index) {
    const std::vector<ServerStep>& script =
        scripts_[index < scripts_.size() ? index : scripts_.size() - 1];
    SetReceiveTimeLimit(connection, kServerPatienceMs * TimeScale());
    std::string request;
    char piece[4096];
    // A request ends at its empty line; a TLS client's hello (a handshake record, 0x16) is the
    // whole request of a script that answers a secure connection itself.
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < kRequestLimit &&
           (request.empty() || request[0] != '\x16')) {
        int got = recv(connection, piece, sizeof piece, 0);
        if (got <= 0) {
            break;
        }
        request.append(piece, static_cast<size_t>(got));
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        requests_.push_back(request);
        mostServing_ = std::max(mostServing_, ++serving_);
    }
    if (responder_) {
        Answer(connection, request);
        return;
    }
    // Counted off before the socket closes, so that a client that has seen the close never
    // finds its connection still counted.
    auto close = [this, connection] {
        {
            std::lock_guard<std::mutex> hold(lock_);
            --serving_;
        }
        closesocket(connection);
    };
    for (const ServerStep& step : script) {
        switch (step.kind) {
            case ServerStep::kSend:
                if (!SendAll(connection, step.bytes)) {
                    close();
                    return;
                }
                break;
            case ServerStep::kPause:
                std::this_thread::sleep_for(std::chrono::milliseconds(step.milliseconds));
                break;
            case ServerStep::kWaitForRelease: {
                std::unique_lock<std::mutex> hold(lock_);
                released_.wait_for(hold, std::chrono::milliseconds(kServerPatienceMs * TimeScale()),
                                   [this] { return release_; });
                break;
            }
            case ServerStep::kReset: {
                // A zero linger time makes the close send a reset instead of the orderly end.
                linger hard;
                hard.l_onoff = 1;
                hard.l_linger = 0;
                setsockopt(connection, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard),
                           sizeof hard);
                close();
                return;
            }
        }
    }
    close();
}

// Answers the requests of one connection as the responder says, the first already read.
void LoopbackServer::Answer(SOCKET connection, std::string request) {
    char piece[4096];
    for (;;) {
        const Reply reply = responder_(request);
        if (!SendAll(connection, reply.bytes) || !reply.keep) {
            break;
        }
        request.clear();
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < kRequestLimit) {
            const int got = recv(connection, piece, sizeof piece, 0);
            if (got <= 0) {
                break;
            }
            request.append(piece, static_cast<size_t>(got));
        }
        if (request.find("\r\n\r\n") == std::string::npos) {
            break;
        }
        std::lock_guard<std::mutex> hold(lock_);
        requests_.push_back(request);
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        --serving_;
    }
    closesocket(connection);
}

RefusingPort::RefusingPort() {
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
    socket_ = BindLoopback(false, &port_);
}

RefusingPort::~RefusingPort() {
    if (socket_ != INVALID_SOCKET) {
        closesocket(socket_);
    }
    WSACleanup();
}

FullListener::FullListener() {
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
    listener_ = BindLoopback(false, &port_);
    if (listener_ == INVALID_SOCKET || listen(listener_, 0) != 0) {
        return;
    }
    sockaddr_in address;
    memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    address.sin_port = htons(static_cast<unsigned short>(port_));
    // Connects until one connection is left hanging; a few are enough wherever the queue holds.
    for (int attempt = 0; attempt < 16 && !full_; ++attempt) {
        SOCKET client = socket(AF_INET, SOCK_STREAM, 0);
        if (client == INVALID_SOCKET) {
            return;
        }
        pending_.push_back(client);
        if (ConnectWithTimeLimit(client, reinterpret_cast<const sockaddr*>(&address),
                                 sizeof address, 500) != 0) {
            full_ = WSAGetLastError() == WSAETIMEDOUT;
            if (!full_) {
                return;
            }
        }
    }
}

FullListener::~FullListener() {
    for (SOCKET client : pending_) {
        closesocket(client);
    }
    if (listener_ != INVALID_SOCKET) {
        closesocket(listener_);
    }
    WSACleanup();
}
