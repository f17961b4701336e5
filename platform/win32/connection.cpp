// Connections over Windows Sockets 2, with Schannel for TLS (secure_channel.cpp): the Windows
// side of connection.h.
#include "platform/connection.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/secure_channel.h"
#include "platform/sockets.h"

struct Connection {
    SOCKET socket = INVALID_SOCKET;
    SecureChannel* channel = nullptr;
};

namespace {

typedef std::chrono::steady_clock Clock;

// What is left until `deadline`, at most `most`: 0 once it has passed.
unsigned Left(Clock::time_point deadline, unsigned most) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
        return 0;
    }
    return static_cast<unsigned long long>(left.count()) < most
               ? static_cast<unsigned>(left.count())
               : most;
}

// Makes the connection of the first address of `host` that connects, before `deadline`.
SOCKET ConnectToHost(const char* host, int port, unsigned step, Clock::time_point deadline,
                     ConnectionFailure* failure) {
    char service[8];
    snprintf(service, sizeof service, "%d", port);
    addrinfo hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const int resolved = getaddrinfo(host, service, &hints, &found);
    if (resolved != 0 || found == nullptr) {
        failure->words = "host not found";
        failure->code = resolved;
        return INVALID_SOCKET;
    }
    SOCKET connected = INVALID_SOCKET;
    int error = 0;
    for (const addrinfo* at = found; at != nullptr && connected == INVALID_SOCKET;
         at = at->ai_next) {
        const unsigned left = Left(deadline, step);
        if (left == 0) {
            error = WSAETIMEDOUT;
            break;
        }
        SOCKET attempt = socket(at->ai_family, at->ai_socktype, at->ai_protocol);
        if (attempt == INVALID_SOCKET) {
            error = WSAGetLastError();
            continue;
        }
        if (ConnectWithTimeLimit(attempt, at->ai_addr, static_cast<int>(at->ai_addrlen), left) ==
            0) {
            connected = attempt;
        } else {
            error = WSAGetLastError();
            closesocket(attempt);
        }
    }
    freeaddrinfo(found);
    if (connected == INVALID_SOCKET) {
        failure->words = IsTimeoutError(error) ? "no answer in time" : "cannot connect";
        failure->code = error;
    }
    return connected;
}

}  // namespace

Connection* OpenConnection(const char* host, int port, bool secure, unsigned stepMilliseconds,
                           unsigned totalMilliseconds, ConnectionFailure* failure) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(totalMilliseconds);
    WSADATA winsock;
    const int startup = WSAStartup(MAKEWORD(2, 2), &winsock);
    if (startup != 0) {
        failure->words = "cannot connect";
        failure->code = startup;
        return nullptr;
    }
    Connection* connection = new (std::nothrow) Connection;
    if (connection == nullptr) {
        WSACleanup();
        failure->words = "out of memory";
        return nullptr;
    }
    connection->socket = ConnectToHost(host, port, stepMilliseconds, deadline, failure);
    if (connection->socket == INVALID_SOCKET) {
        CloseConnection(connection);
        return nullptr;
    }
    // The handshake counts against the deadline like every other step.
    if (secure && !SecureConnection(connection, host, stepMilliseconds,
                                    std::max(Left(deadline, UINT_MAX), 1u), failure)) {
        CloseConnection(connection);
        return nullptr;
    }
    return connection;
}

bool SecureConnection(Connection* connection, const char* host, unsigned stepMilliseconds,
                      unsigned totalMilliseconds, ConnectionFailure* failure) {
    SecureFailure why = SecureFailure::kNone;
    if (connection->channel == nullptr &&
        SetReceiveTimeLimit(connection->socket, stepMilliseconds) == 0) {
        connection->channel =
            OpenSecureChannel(connection->socket, host, std::max(totalMilliseconds, 1u), &why);
    }
    if (connection->channel == nullptr) {
        failure->words =
            SecureFailureWords(why != SecureFailure::kNone ? why : SecureFailure::kHandshake);
        failure->code = static_cast<int>(why);
        return false;
    }
    return true;
}

bool SendOnConnection(Connection* connection, const char* data, size_t length) {
    if (connection->channel != nullptr) {
        return SecureSend(connection->channel, data, length);
    }
    while (length > 0) {
        const int piece = length < INT_MAX ? static_cast<int>(length) : INT_MAX;
        const int sent = send(connection->socket, data, piece, 0);
        if (sent <= 0) {
            return false;
        }
        data += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

long ReceiveOnConnection(Connection* connection, char* buffer, size_t room, unsigned milliseconds,
                         bool* timedOut) {
    *timedOut = false;
    if (SetReceiveTimeLimit(connection->socket, milliseconds) != 0) {
        return -1;
    }
    const int piece = room < INT_MAX ? static_cast<int>(room) : INT_MAX;
    const int got = connection->channel != nullptr
                        ? SecureReceive(connection->channel, buffer, piece)
                        : recv(connection->socket, buffer, piece, 0);
    if (got < 0) {
        *timedOut = IsTimeoutError(WSAGetLastError());
        return -1;
    }
    return got;
}

void CloseConnection(Connection* connection) {
    if (connection == nullptr) {
        return;
    }
    CloseSecureChannel(connection->channel);
    if (connection->socket != INVALID_SOCKET) {
        closesocket(connection->socket);
    }
    delete connection;
    WSACleanup();
}
