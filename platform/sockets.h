// Windows Sockets 2, as each side's connection (connection.h) and the tests' loopback server use
// it (getaddrinfo for IPv6 and IPv4 alike), and the two time limits put on a connection. Win32: the real
// <winsock2.h> and <ws2tcpip.h> (ws2_32). POSIX: BSD sockets under the Winsock names
// (platform/posix/winsock_api.h, sockets.cpp).
#pragma once

#include "platform.h"

// Makes every later receive on `socket` fail with WSAETIMEDOUT after `milliseconds` without a
// byte arriving. Returns 0, or SOCKET_ERROR.
int SetReceiveTimeLimit(SOCKET socket, unsigned milliseconds);

// True when `error` (from WSAGetLastError after a failed receive or connect) says that the time
// limit ran out.
bool IsTimeoutError(int error);

// connect, giving up with WSAETIMEDOUT when the connection is not made within `milliseconds`.
// Returns 0, or SOCKET_ERROR with WSAGetLastError telling why. The socket blocks again afterwards.
int ConnectWithTimeLimit(SOCKET socket, const struct sockaddr* address, int length,
                         unsigned milliseconds);
