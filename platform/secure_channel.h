// A secure channel (TLS) over a connected socket, for feeds served over https. Win32: Schannel
// through SSPI (secur32), with the server's certificate checked by crypt32's chain engine and SSL
// policy. POSIX: OpenSSL with the system's trusted roots (SSL_CERT_FILE and SSL_CERT_DIR name
// others, as OpenSSL reads them).
//
// The server's certificate is checked always: its chain must end at a root the platform trusts,
// be valid now and name the host (or the IP address) the caller gives. A channel is never opened
// without that check, and nothing is ever sent in plain text on its socket. Every receive of the
// handshake and after it waits no longer than the socket's receive time limit.
#pragma once

#include <cstddef>

#include "platform.h"

// Why a channel could not be opened, or why it ended.
enum class SecureFailure {
    kNone,
    kTimedOut,     // the server said nothing within the receive time limit
    kClosed,       // the server ended the connection during the handshake
    kUntrusted,    // the chain ends at no trusted root
    kExpired,      // a certificate of the chain is no longer valid
    kNotYetValid,  // the server's certificate is not valid yet (or the computer's clock is wrong)
    kWrongName,    // the certificate names another host
    kHandshake,    // any other failure of the handshake or the check
};

// Words a mail user understands for the failure, and a shorter technical one for the trace.
const char* SecureFailureWords(SecureFailure failure);

struct SecureChannel;

// Makes a TLS connection on `socket` (connected, blocking, with its receive time limit set) to
// `host`, which is sent for name-based virtual hosting unless it is an IP address. The handshake
// ends within `milliseconds` whatever the server does: one that trickles it, a byte now and then
// inside the receive time limit, ends as kTimedOut. Returns the channel, or null with `*failure`
// saying why; the socket stays the caller's either way, with its receive time limit as it was.
SecureChannel* OpenSecureChannel(SOCKET socket, const char* host, unsigned milliseconds,
                                 SecureFailure* failure);

// What the platform's TLS was set up with for the last channel, for the tests to tell: on Windows
// the credentials structure Schannel accepted (SCH_CREDENTIALS where the system offers TLS 1.3,
// else SCHANNEL_CRED), natively "OpenSSL".
const char* SecureChannelKind();

// Sends all of `data`, encrypted; false when it could not.
[[nodiscard]] bool SecureSend(SecureChannel* channel, const char* data, size_t length);

// Receives decrypted bytes into `buffer`: the count (at most `room`), 0 when the server closed
// the channel properly, -1 when the connection failed, timed out or ended without the server's
// closing message; WSAGetLastError then tells which, as after a failed recv.
int SecureReceive(SecureChannel* channel, char* buffer, int room);

// Ends the channel, sending the closing message when the connection still stands, and releases
// it. The socket stays open for the caller to close.
void CloseSecureChannel(SecureChannel* channel);
