// Windows Sockets 1.1 from the real header (linked through wsock32), and the two time limits the
// fetcher puts on a connection, with one body per platform.
#pragma once

#include "platform.h"

// This file shadows the system header of the same name on the include path, so the system one
// is reached past it.
#include_next <winsock.h>

// The type of the address length that accept and getsockname fill in.
typedef int SocketLength;

// Makes every later receive on `socket` fail with WSAETIMEDOUT after `milliseconds` without a
// byte arriving. Returns 0, or SOCKET_ERROR.
int SetReceiveTimeLimit(SOCKET socket, unsigned milliseconds);

// connect, giving up with WSAETIMEDOUT when the connection is not made within `milliseconds`.
// Returns 0, or SOCKET_ERROR with WSAGetLastError telling why. The socket blocks again afterwards.
int ConnectWithTimeLimit(SOCKET socket, const struct sockaddr* address, int length,
                         unsigned milliseconds);
