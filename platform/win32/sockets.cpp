// The connection time limits over Winsock 1.1: a receive time-out option on the socket, and a
// connect made without blocking and waited for with select.
#include "platform/sockets.h"

bool IsTimeoutError(int error) {
    return error == WSAETIMEDOUT;
}

int SetReceiveTimeLimit(SOCKET socket, unsigned milliseconds) {
    DWORD limit = milliseconds;
    return setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit),
                      sizeof limit) == 0
               ? 0
               : SOCKET_ERROR;
}

int ConnectWithTimeLimit(SOCKET socket, const struct sockaddr* address, int length,
                         unsigned milliseconds) {
    u_long nonBlocking = 1;
    if (ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) {
        return SOCKET_ERROR;
    }
    int error = 0;
    if (connect(socket, address, length) != 0) {
        error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) {
            fd_set writable;
            fd_set failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(socket, &writable);
            FD_SET(socket, &failed);
            timeval limit;
            limit.tv_sec = static_cast<long>(milliseconds / 1000);
            limit.tv_usec = static_cast<long>((milliseconds % 1000) * 1000);
            int ready = select(0, nullptr, &writable, &failed, &limit);
            if (ready == 0) {
                error = WSAETIMEDOUT;
            } else if (ready == SOCKET_ERROR) {
                error = WSAGetLastError();
            } else if (FD_ISSET(socket, &failed)) {
                int size = sizeof error;
                if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                               &size) != 0 ||
                    error == 0) {
                    error = WSAECONNREFUSED;
                }
            } else {
                error = 0;
            }
        }
    }
    u_long blocking = 0;
    ioctlsocket(socket, FIONBIO, &blocking);
    if (error != 0) {
        WSASetLastError(error);
        return SOCKET_ERROR;
    }
    return 0;
}
