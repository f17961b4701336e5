// A connection to a server for one request and its answer: made to a host name and port (every
// address the resolver gives, IPv6 and IPv4 alike, in turn until one connects), plain or over TLS
// with the server's certificate checked, every step within the time the caller allows. Win32:
// Windows Sockets 2 and Schannel (win32/connection.cpp). POSIX: BSD sockets and OpenSSL
// (posix/connection.cpp).
#pragma once

#include <cstddef>

struct Connection;

// Why no connection was made, in a mail user's words, and the platform's code for the trace.
struct ConnectionFailure {
    const char* words = nullptr;
    int code = 0;
};

// Connects to `host` (a name, or an IPv4 or IPv6 address without brackets) on `port`, and over
// TLS when `secure`: for a name, the certificate must name it and it is sent for name-based
// hosting. Each attempt to connect waits at most `stepMilliseconds`, and the whole, TLS
// handshake included, ends within `totalMilliseconds` whatever the server does. Null when no
// connection could be made, with `failure` saying why.
Connection* OpenConnection(const char* host, int port, bool secure, unsigned stepMilliseconds,
                           unsigned totalMilliseconds, ConnectionFailure* failure);

// Starts TLS on a plain connection, as OpenConnection does for a secure one, to `host`, whose
// name the certificate must hold: what a tunnel through a proxy needs once the proxy has opened
// it. The handshake ends within `totalMilliseconds`, each receive waiting at most
// `stepMilliseconds`. False, with `failure` saying why, when the channel could not be opened; the
// connection is then the caller's to close.
[[nodiscard]] bool SecureConnection(Connection* connection, const char* host,
                                    unsigned stepMilliseconds, unsigned totalMilliseconds,
                                    ConnectionFailure* failure);

// Sends all of `data`; false when it could not.
[[nodiscard]] bool SendOnConnection(Connection* connection, const char* data, size_t length);

// Receives up to `room` bytes into `buffer`, waiting at most `milliseconds` for the first: their
// count, 0 when the server closed the connection properly, -1 when it failed, fell silent or (over
// TLS) ended without the server's closing message; `timedOut` then says whether it fell silent.
long ReceiveOnConnection(Connection* connection, char* buffer, size_t room, unsigned milliseconds,
                         bool* timedOut);

// Ends the connection (over TLS with the closing message) and releases it; null is ignored.
void CloseConnection(Connection* connection);
