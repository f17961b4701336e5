// Stands in for Windows Sockets 1.1 with BSD sockets under the Winsock names: the types and
// constants the system uses, WSAStartup and WSACleanup (nothing to start on POSIX), closesocket,
// WSAGetLastError (errno) and a gethostbyname that is safe on several threads at once. socket,
// htons, connect, send, recv, bind, listen, accept and select are the system's own.
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

// The Winsock error codes the stand-in's gethostbyname reports; everything else is an errno.
#define WSAETIMEDOUT ETIMEDOUT
#define WSAHOST_NOT_FOUND 11001
#define WSATRY_AGAIN 11002
#define WSANO_RECOVERY 11003

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

// The C library's gethostbyname answers from one static record that every thread shares. The
// stand-in resolves IPv4 addresses with getaddrinfo into a record of the calling thread, valid
// until that thread's next call; on failure it answers null and sets WSAGetLastError to one of
// the WSA codes above.
struct hostent* QfGetHostByName(const char* name);
#define gethostbyname QfGetHostByName
