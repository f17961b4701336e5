// Stands in for Windows Sockets 2 with BSD sockets under the Winsock names: the types and
// constants the system uses, WSAStartup and WSACleanup (nothing to start on POSIX), closesocket
// and WSAGetLastError (errno). socket, htons, getaddrinfo, connect, send, recv, bind, listen,
// accept and select are the system's own.
#pragma once

#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>

#include "platform.h"

typedef int SOCKET;
#define INVALID_SOCKET (-1)
#define SOCKET_ERROR (-1)

// The type of the address length that accept and getsockname fill in.
typedef socklen_t SocketLength;

// The Winsock error code of a time limit that ran out; every other error is an errno.
#define WSAETIMEDOUT ETIMEDOUT

#define MAKEWORD(low, high) \
    static_cast<WORD>((static_cast<BYTE>(low)) | (static_cast<WORD>(static_cast<BYTE>(high)) << 8))

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};
typedef WSADATA* LPWSADATA;

// Fills `data` and answers 0 for versions 1.1 and later. Winsock has no SIGPIPE: a send on a
// connection the peer has closed fails with an error. The first start-up makes POSIX do the same
// for the whole process, so that no worker (nor the host) is killed by a closing server.
int WSAStartup(WORD versionRequested, LPWSADATA data);
int WSACleanup();
int WSAGetLastError();
int closesocket(SOCKET socket);
