// Stands in for Schannel with OpenSSL: TLS on the caller's socket, the peer verified against the
// system's trusted roots (or those SSL_CERT_FILE and SSL_CERT_DIR name), its name or IP address
// checked, and the host sent for name-based virtual hosting.
#include "platform/secure_channel.h"

#include "platform/sockets.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <chrono>
#include <cstring>
#include <new>

struct SecureChannel {
    SSL_CTX* context = nullptr;
    SSL* connection = nullptr;
};

namespace {

bool IsIpAddress(const char* host) {
    unsigned char address[16];
    return inet_pton(AF_INET, host, address) == 1 || inet_pton(AF_INET6, host, address) == 1;
}

SecureFailure VerifyFailure(long result) {
    switch (result) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
            return SecureFailure::kExpired;
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return SecureFailure::kNotYetValid;
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return SecureFailure::kWrongName;
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_CERT_UNTRUSTED:
            return SecureFailure::kUntrusted;
        default:
            return SecureFailure::kHandshake;
    }
}

void Release(SecureChannel* channel) {
    if (channel->connection != nullptr) {
        SSL_free(channel->connection);
    }
    if (channel->context != nullptr) {
        SSL_CTX_free(channel->context);
    }
    delete channel;
}

// Runs the handshake on the socket made non-blocking for it, waiting for each step no longer than
// the socket's receive time limit and for all of them no longer than `milliseconds`. False when
// the time ran out; otherwise SSL_connect's result, its error and errno are kept.
bool HandshakeInTime(SSL* connection, SOCKET socket, unsigned milliseconds, int* connected,
                     int* error, int* saved) {
    timeval patience = {};
    socklen_t size = sizeof patience;
    long stepMs = 0;
    if (getsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &patience, &size) == 0) {
        stepMs = patience.tv_sec * 1000 + patience.tv_usec / 1000;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    const int flags = fcntl(socket, F_GETFL, 0);
    const bool nonBlocking = flags >= 0 && fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
    bool inTime = true;
    for (;;) {
        errno = 0;
        *connected = SSL_connect(connection);
        *error = SSL_get_error(connection, *connected);
        *saved = errno;
        if (*connected == 1 || !nonBlocking ||
            (*error != SSL_ERROR_WANT_READ && *error != SSL_ERROR_WANT_WRITE)) {
            break;
        }
        const long left = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                end - std::chrono::steady_clock::now())
                                                .count());
        pollfd wait = {socket, static_cast<short>(*error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT),
                       0};
        const long waitMs = stepMs > 0 && stepMs < left ? stepMs : left;
        int ready = 0;
        if (left > 0) {
            do {
                ready = poll(&wait, 1, static_cast<int>(waitMs));
            } while (ready < 0 && errno == EINTR);
        }
        if (ready <= 0) {
            inTime = false;
            break;
        }
    }
    if (nonBlocking) {
        fcntl(socket, F_SETFL, flags);
    }
    return inTime;
}

}  // namespace

SecureChannel* OpenSecureChannel(SOCKET socket, const char* host, unsigned milliseconds,
                                 SecureFailure* failure) {
    *failure = SecureFailure::kHandshake;
    SecureChannel* channel = new (std::nothrow) SecureChannel;
    if (channel == nullptr) {
        return nullptr;
    }
    channel->context = SSL_CTX_new(TLS_client_method());
    if (channel->context == nullptr) {
        Release(channel);
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(channel->context, TLS1_2_VERSION);
    SSL_CTX_set_verify(channel->context, SSL_VERIFY_PEER, nullptr);
    // A client of ours never sends data early or resumes; nothing to set for that.
    if (SSL_CTX_set_default_verify_paths(channel->context) != 1) {
        Release(channel);
        return nullptr;
    }
    channel->connection = SSL_new(channel->context);
    if (channel->connection == nullptr || SSL_set_fd(channel->connection, socket) != 1) {
        Release(channel);
        return nullptr;
    }
    X509_VERIFY_PARAM* check = SSL_get0_param(channel->connection);
    const bool address = IsIpAddress(host);
    const bool named = address ? X509_VERIFY_PARAM_set1_ip_asc(check, host) == 1
                               : X509_VERIFY_PARAM_set1_host(check, host, 0) == 1 &&
                                     SSL_set_tlsext_host_name(channel->connection, host) == 1;
    if (!named) {
        Release(channel);
        return nullptr;
    }
    int connected = 0;
    int error = SSL_ERROR_NONE;
    int saved = 0;
    const bool inTime =
        HandshakeInTime(channel->connection, socket, milliseconds, &connected, &error, &saved);
    if (!inTime) {
        ERR_clear_error();
        Release(channel);
        *failure = SecureFailure::kTimedOut;
        errno = ETIMEDOUT;
        return nullptr;
    }
    if (connected != 1) {
        const long verified = SSL_get_verify_result(channel->connection);
        if (verified != X509_V_OK) {
            *failure = VerifyFailure(verified);
        } else if (error == SSL_ERROR_SYSCALL && IsTimeoutError(saved)) {
            *failure = SecureFailure::kTimedOut;
        } else if (error == SSL_ERROR_SYSCALL || error == SSL_ERROR_ZERO_RETURN) {
            *failure = SecureFailure::kClosed;
        }
        ERR_clear_error();
        Release(channel);
        errno = saved;
        return nullptr;
    }
    *failure = SecureFailure::kNone;
    return channel;
}

const char* SecureChannelKind() {
    return "OpenSSL";
}

bool SecureSend(SecureChannel* channel, const char* data, size_t length) {
    size_t sent = 0;
    while (sent < length) {
        size_t written = 0;
        if (SSL_write_ex(channel->connection, data + sent, length - sent, &written) != 1) {
            ERR_clear_error();
            return false;
        }
        sent += written;
    }
    return true;
}

int SecureReceive(SecureChannel* channel, char* buffer, int room) {
    if (room <= 0) {
        return -1;
    }
    errno = 0;
    const int got = SSL_read(channel->connection, buffer, room);
    if (got > 0) {
        return got;
    }
    const int saved = errno;
    const int error = SSL_get_error(channel->connection, got);
    ERR_clear_error();
    if (error == SSL_ERROR_ZERO_RETURN) {
        return 0;
    }
    // A stream that ends without the closing message may have been cut by an attacker; the
    // caller handles it as a failed receive.
    errno = saved != 0 ? saved : ECONNRESET;
    return -1;
}

void CloseSecureChannel(SecureChannel* channel) {
    if (channel == nullptr) {
        return;
    }
    // One closing message, not waiting for the server's.
    if (SSL_get_shutdown(channel->connection) == 0) {
        SSL_shutdown(channel->connection);
    }
    ERR_clear_error();
    Release(channel);
}
