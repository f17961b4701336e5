// Stands in for Windows Sockets 1.1 with BSD sockets; winsock_api.h says what it covers.
#include "platform/sockets.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/time.h>
#include <unistd.h>

#include <mutex>
#include <string>

int WSAStartup(WORD versionRequested, LPWSADATA data) {
    static std::once_flag ignorePipeSignal;
    std::call_once(ignorePipeSignal, [] { signal(SIGPIPE, SIG_IGN); });
    if (data == nullptr) {
        return EFAULT;
    }
    memset(data, 0, sizeof *data);
    data->wVersion = versionRequested;
    data->wHighVersion = MAKEWORD(1, 1);
    return 0;
}

int WSACleanup() {
    return 0;
}

int WSAGetLastError() {
    return errno;
}

int closesocket(SOCKET socket) {
    return close(socket);
}

bool IsTimeoutError(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == ETIMEDOUT;
}

int SetReceiveTimeLimit(SOCKET socket, unsigned milliseconds) {
    struct timeval limit;
    limit.tv_sec = milliseconds / 1000;
    limit.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
    return setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0 ? 0
                                                                                  : SOCKET_ERROR;
}

int ConnectWithTimeLimit(SOCKET socket, const struct sockaddr* address, int length,
                         unsigned milliseconds) {
    int flags = fcntl(socket, F_GETFL, 0);
    if (flags < 0 || fcntl(socket, F_SETFL, flags | O_NONBLOCK) < 0) {
        return SOCKET_ERROR;
    }
    int error = 0;
    if (connect(socket, address, static_cast<socklen_t>(length)) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            struct pollfd wait;
            wait.fd = socket;
            wait.events = POLLOUT;
            wait.revents = 0;
            int ready;
            do {
                ready = poll(&wait, 1, static_cast<int>(milliseconds));
            } while (ready < 0 && errno == EINTR);
            if (ready == 0) {
                error = ETIMEDOUT;
            } else if (ready < 0) {
                error = errno;
            } else {
                socklen_t size = sizeof error;
                if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
                    error = errno;
                }
            }
        }
    }
    fcntl(socket, F_SETFL, flags);
    if (error != 0) {
        errno = error;
        return SOCKET_ERROR;
    }
    return 0;
}
