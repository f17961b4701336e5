// The secure channel on Windows: Schannel through SSPI (credentials, the handshake loop, records
// encrypted and decrypted, a closing message), with the server's certificate checked by crypt32's
// chain engine and SSL policy whatever Schannel checks by itself.
#define SECURITY_WIN32
// SCH_CREDENTIALS, the credentials with which Schannel offers TLS 1.3, is declared only with this,
// and needs the UNICODE_STRING of winternl.h.
#define SCHANNEL_USE_BLACKLISTS
#include "platform/secure_channel.h"

#include <winternl.h>
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/sockets.h"

namespace {

const char kModernCredentials[] = "Schannel with SCH_CREDENTIALS";
const char kLegacyCredentials[] = "Schannel with SCHANNEL_CRED";
// What the last channel was set up with; no channel yet: nothing.
std::atomic<const char*> g_credentialsKind{""};

// The most a server's handshake may send before the channel stands; a certificate chain takes
// a few kilobytes.
constexpr size_t kHandshakeLimit = 256 * 1024;

// SECURITY_FLAG_IGNORE_CERT_CN_INVALID of wininet.h, which the SSL policy takes.
constexpr DWORD kIgnoreNameInvalid = 0x00001000;

constexpr ULONG kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                ISC_REQ_CONFIDENTIALITY | ISC_REQ_EXTENDED_ERROR |
                                ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;

}  // namespace

struct SecureChannel {
    SOCKET socket = INVALID_SOCKET;
    CredHandle credentials = {};
    bool haveCredentials = false;
    CtxtHandle context = {};
    bool haveContext = false;
    SecPkgContext_StreamSizes sizes = {};
    // Received bytes not yet decrypted, and decrypted bytes not yet handed out.
    std::vector<char> incoming;
    size_t incomingUsed = 0;
    std::vector<char> plain;
    size_t plainStart = 0;
    bool closed = false;
    std::string host;
};

namespace {

bool SendAll(SOCKET socket, const char* data, size_t length) {
    while (length > 0) {
        const int sent = send(socket, data, length > 65536 ? 65536 : static_cast<int>(length), 0);
        if (sent <= 0) {
            return false;
        }
        data += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

// Sends a token Schannel made and gives its memory back.
bool SendToken(SOCKET socket, SecBuffer* token) {
    bool sent = true;
    if (token->pvBuffer != nullptr) {
        sent = token->cbBuffer == 0 ||
               SendAll(socket, static_cast<const char*>(token->pvBuffer), token->cbBuffer);
        FreeContextBuffer(token->pvBuffer);
        token->pvBuffer = nullptr;
    }
    return sent;
}

// Receives more bytes after those held; 0 when the server closed, -1 on failure or time-out.
int ReceiveMore(SecureChannel* channel, size_t limit) {
    if (channel->incomingUsed == channel->incoming.size()) {
        if (channel->incoming.size() >= limit) {
            WSASetLastError(WSAEMSGSIZE);
            return -1;
        }
        channel->incoming.resize(channel->incoming.size() * 2 < limit ? channel->incoming.size() * 2
                                                                      : limit);
    }
    const size_t room = channel->incoming.size() - channel->incomingUsed;
    const int got = recv(channel->socket, channel->incoming.data() + channel->incomingUsed,
                         room > 65536 ? 65536 : static_cast<int>(room), 0);
    if (got > 0) {
        channel->incomingUsed += static_cast<size_t>(got);
    }
    return got;
}

// Keeps the bytes a call left unread (a SECBUFFER_EXTRA) at the front of the incoming buffer.
void KeepExtra(SecureChannel* channel, const SecBuffer* buffers, int count) {
    for (int i = 0; i < count; ++i) {
        if (buffers[i].BufferType == SECBUFFER_EXTRA && buffers[i].cbBuffer > 0) {
            memmove(channel->incoming.data(),
                    channel->incoming.data() + channel->incomingUsed - buffers[i].cbBuffer,
                    buffers[i].cbBuffer);
            channel->incomingUsed = buffers[i].cbBuffer;
            return;
        }
    }
    channel->incomingUsed = 0;
}

SecureFailure HandshakeSteps(SecureChannel* channel, DWORD stepMs,
                             std::chrono::steady_clock::time_point end);

// Receives more of the handshake, waiting no longer than the socket's receive time limit nor past
// `end`; a server that trickles its handshake ends at `end` as one that said nothing.
SecureFailure ReceiveHandshake(SecureChannel* channel, DWORD stepMs,
                               std::chrono::steady_clock::time_point end) {
    const long long left = std::chrono::duration_cast<std::chrono::milliseconds>(
                               end - std::chrono::steady_clock::now())
                               .count();
    if (left <= 0) {
        return SecureFailure::kTimedOut;
    }
    const unsigned wait = stepMs > 0 && static_cast<long long>(stepMs) < left
                              ? static_cast<unsigned>(stepMs)
                              : static_cast<unsigned>(left);
    if (SetReceiveTimeLimit(channel->socket, wait) != 0) {
        return SecureFailure::kClosed;
    }
    const int got = ReceiveMore(channel, kHandshakeLimit);
    if (got == 0) {
        return SecureFailure::kClosed;
    }
    if (got < 0) {
        return IsTimeoutError(WSAGetLastError()) ? SecureFailure::kTimedOut
                                                 : SecureFailure::kClosed;
    }
    return SecureFailure::kNone;
}

SecureFailure Handshake(SecureChannel* channel, unsigned milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    // The caller's limit for one receive, put back when the handshake is done.
    DWORD stepMs = 0;
    int size = sizeof stepMs;
    if (getsockopt(channel->socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&stepMs),
                   &size) != 0) {
        stepMs = 0;
    }
    const SecureFailure result = HandshakeSteps(channel, stepMs, end);
    SetReceiveTimeLimit(channel->socket, stepMs);
    return result;
}

SecureFailure HandshakeSteps(SecureChannel* channel, DWORD stepMs,
                             std::chrono::steady_clock::time_point end) {
    const char* host = channel->host.c_str();
    SecBuffer outToken = {0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc output = {SECBUFFER_VERSION, 1, &outToken};
    ULONG attributes = 0;
    TimeStamp expiry;
    SECURITY_STATUS status = InitializeSecurityContextA(
        &channel->credentials, nullptr, const_cast<SEC_CHAR*>(host), kContextFlags, 0, 0, nullptr,
        0, &channel->context, &output, &attributes, &expiry);
    if (status != SEC_I_CONTINUE_NEEDED) {
        return SecureFailure::kHandshake;
    }
    channel->haveContext = true;
    if (!SendToken(channel->socket, &outToken)) {
        return SecureFailure::kClosed;
    }
    bool needMore = true;
    for (;;) {
        if (needMore) {
            const SecureFailure received = ReceiveHandshake(channel, stepMs, end);
            if (received != SecureFailure::kNone) {
                return received;
            }
        }
        SecBuffer in[2] = {
            {static_cast<ULONG>(channel->incomingUsed), SECBUFFER_TOKEN, channel->incoming.data()},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc input = {SECBUFFER_VERSION, 2, in};
        outToken = {0, SECBUFFER_TOKEN, nullptr};
        status = InitializeSecurityContextA(&channel->credentials, &channel->context,
                                            const_cast<SEC_CHAR*>(host), kContextFlags, 0, 0,
                                            &input, 0, nullptr, &output, &attributes, &expiry);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            needMore = true;
            continue;
        }
        if (!SendToken(channel->socket, &outToken)) {
            return SecureFailure::kClosed;
        }
        if (FAILED(status)) {
            return SecureFailure::kHandshake;
        }
        if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
            // The server asked for a client certificate, which we have none of: the same input
            // again, without one.
            needMore = false;
            continue;
        }
        KeepExtra(channel, in, 2);
        if (status == SEC_E_OK) {
            return SecureFailure::kNone;
        }
        // SEC_I_CONTINUE_NEEDED: bytes left over go in first, else the server's next flight.
        needMore = channel->incomingUsed == 0;
    }
}

// Whether `host` is an IPv4 address that the certificate's subject alternative names list. The
// SSL policy of some platforms (Wine's among them) matches host names only.
bool NamesAddress(PCCERT_CONTEXT certificate, const char* host) {
    const unsigned long address = inet_addr(host);
    if (address == INADDR_NONE) {
        return false;
    }
    PCERT_EXTENSION extension =
        CertFindExtension(szOID_SUBJECT_ALT_NAME2, certificate->pCertInfo->cExtension,
                          certificate->pCertInfo->rgExtension);
    if (extension == nullptr) {
        return false;
    }
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                             extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names,
                             &size)) {
        return false;
    }
    bool named = false;
    for (DWORD i = 0; i < names->cAltEntry && !named; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        named = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == 4 &&
                memcmp(entry.IPAddress.pbData, &address, 4) == 0;
    }
    LocalFree(names);
    return named;
}

// A certificate outside its time of validity: before its start, or after its end.
SecureFailure TimeFailure(PCCERT_CONTEXT certificate) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return CompareFileTime(&now, &certificate->pCertInfo->NotBefore) < 0
               ? SecureFailure::kNotYetValid
               : SecureFailure::kExpired;
}

// The chain engine's own verdict, whatever a policy makes of it.
SecureFailure ChainFailure(DWORD errors, PCCERT_CONTEXT certificate) {
    if ((errors & (CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_CTL_IS_NOT_TIME_VALID)) != 0) {
        return TimeFailure(certificate);
    }
    if ((errors &
         (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN |
          CERT_TRUST_IS_NOT_SIGNATURE_VALID | CERT_TRUST_IS_CYCLIC | CERT_TRUST_IS_REVOKED |
          CERT_TRUST_IS_NOT_VALID_FOR_USAGE | CERT_TRUST_INVALID_BASIC_CONSTRAINTS)) != 0) {
        return SecureFailure::kUntrusted;
    }
    return SecureFailure::kNone;
}

// The server's certificate, checked by the platform's chain engine and SSL policy: a chain to a
// trusted root, valid now, naming the host.
SecureFailure CheckCertificate(SecureChannel* channel) {
    PCCERT_CONTEXT certificate = nullptr;
    if (QueryContextAttributesA(&channel->context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) !=
            SEC_E_OK ||
        certificate == nullptr) {
        return SecureFailure::kHandshake;
    }
    LPSTR serverUsage[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH),
                           const_cast<LPSTR>(szOID_SERVER_GATED_CRYPTO),
                           const_cast<LPSTR>(szOID_SGC_NETSCAPE)};
    CERT_CHAIN_PARA chainPara = {};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 3;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = serverUsage;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    SecureFailure failure = SecureFailure::kHandshake;
    if (CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainPara,
                                0, nullptr, &chain)) {
        wchar_t serverName[1024] = {};
        MultiByteToWideChar(CP_ACP, 0, channel->host.c_str(), -1, serverName,
                            static_cast<int>(sizeof serverName / sizeof serverName[0]) - 1);
        // An address is matched here against the certificate's addresses; the policy then
        // checks all but the name.
        const bool address = inet_addr(channel->host.c_str()) != INADDR_NONE;
        HTTPSPolicyCallbackData https = {};
        https.cbStruct = sizeof https;
        https.dwAuthType = AUTHTYPE_SERVER;
        https.fdwChecks = address ? kIgnoreNameInvalid : 0;
        https.pwszServerName = serverName;
        CERT_CHAIN_POLICY_PARA policyPara = {};
        policyPara.cbSize = sizeof policyPara;
        policyPara.pvExtraPolicyPara = &https;
        CERT_CHAIN_POLICY_STATUS policyStatus = {};
        policyStatus.cbSize = sizeof policyStatus;
        const SecureFailure engine = ChainFailure(chain->TrustStatus.dwErrorStatus, certificate);
        if (engine != SecureFailure::kNone) {
            failure = engine;
        } else if (address && !NamesAddress(certificate, channel->host.c_str())) {
            failure = SecureFailure::kWrongName;
        } else if (CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policyPara,
                                                    &policyStatus)) {
            switch (static_cast<HRESULT>(policyStatus.dwError)) {
                case S_OK:
                    failure = SecureFailure::kNone;
                    break;
                case CERT_E_UNTRUSTEDROOT:
                case CERT_E_CHAINING:
                case TRUST_E_CERT_SIGNATURE:
                    failure = SecureFailure::kUntrusted;
                    break;
                case CERT_E_EXPIRED:
                    failure = TimeFailure(certificate);
                    break;
                case CERT_E_CN_NO_MATCH:
                    failure = SecureFailure::kWrongName;
                    break;
                default:
                    failure = SecureFailure::kHandshake;
                    break;
            }
        }
        CertFreeCertificateChain(chain);
    }
    CertFreeCertificateContext(certificate);
    return failure;
}

void Release(SecureChannel* channel) {
    if (channel->haveContext) {
        DeleteSecurityContext(&channel->context);
    }
    if (channel->haveCredentials) {
        FreeCredentialsHandle(&channel->credentials);
    }
    delete channel;
}

// Windows 10 1809 and later take SCH_CREDENTIALS, with which Schannel offers TLS 1.3 as well as
// 1.2; older systems refuse the structure and take SCHANNEL_CRED, which offers at most TLS 1.2.
// Either way the certificate is checked afterwards, through crypt32, whatever Schannel would
// check.
bool AcquireCredentials(SecureChannel* channel) {
    const DWORD flags = SCH_CRED_NO_DEFAULT_CREDS | SCH_CRED_MANUAL_CRED_VALIDATION;
    auto acquire = [channel](void* credentials) {
        TimeStamp expiry;
        return AcquireCredentialsHandleA(nullptr, const_cast<SEC_CHAR*>(UNISP_NAME_A),
                                         SECPKG_CRED_OUTBOUND, nullptr, credentials, nullptr,
                                         nullptr, &channel->credentials, &expiry) == SEC_E_OK;
    };
    // The system's own choice of protocols: TLS 1.3 where it has it, and older ones for servers
    // of old.
    SCH_CREDENTIALS modern = {};
    modern.dwVersion = SCH_CREDENTIALS_VERSION;
    modern.dwFlags = flags;
    if (acquire(&modern)) {
        g_credentialsKind.store(kModernCredentials);
        return true;
    }
    SCHANNEL_CRED legacy = {};
    legacy.dwVersion = SCHANNEL_CRED_VERSION;
    legacy.dwFlags = flags;
    if (acquire(&legacy)) {
        g_credentialsKind.store(kLegacyCredentials);
        return true;
    }
    return false;
}

}  // namespace

const char* SecureChannelKind() {
    return g_credentialsKind.load();
}

SecureChannel* OpenSecureChannel(SOCKET socket, const char* host, unsigned milliseconds,
                                 SecureFailure* failure) {
    *failure = SecureFailure::kHandshake;
    SecureChannel* channel = new (std::nothrow) SecureChannel;
    if (channel == nullptr) {
        return nullptr;
    }
    channel->socket = socket;
    channel->host = host;
    channel->incoming.resize(16 * 1024 + 1024);
    if (!AcquireCredentials(channel)) {
        Release(channel);
        return nullptr;
    }
    channel->haveCredentials = true;
    SecureFailure result = Handshake(channel, milliseconds);
    if (result == SecureFailure::kNone) {
        result = CheckCertificate(channel);
    }
    if (result == SecureFailure::kNone &&
        QueryContextAttributesA(&channel->context, SECPKG_ATTR_STREAM_SIZES, &channel->sizes) !=
            SEC_E_OK) {
        result = SecureFailure::kHandshake;
    }
    if (result != SecureFailure::kNone) {
        *failure = result;
        Release(channel);
        return nullptr;
    }
    const size_t record =
        channel->sizes.cbHeader + channel->sizes.cbMaximumMessage + channel->sizes.cbTrailer;
    if (channel->incoming.size() < record) {
        channel->incoming.resize(record);
    }
    *failure = SecureFailure::kNone;
    return channel;
}

bool SecureSend(SecureChannel* channel, const char* data, size_t length) {
    const SecPkgContext_StreamSizes& sizes = channel->sizes;
    std::vector<char> record(sizes.cbHeader + sizes.cbMaximumMessage + sizes.cbTrailer);
    while (length > 0) {
        const size_t piece = length < sizes.cbMaximumMessage ? length : sizes.cbMaximumMessage;
        memcpy(record.data() + sizes.cbHeader, data, piece);
        SecBuffer buffers[4] = {
            {sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
            {static_cast<ULONG>(piece), SECBUFFER_DATA, record.data() + sizes.cbHeader},
            {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes.cbHeader + piece},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc message = {SECBUFFER_VERSION, 4, buffers};
        if (EncryptMessage(&channel->context, 0, &message, 0) != SEC_E_OK ||
            !SendAll(channel->socket, record.data(),
                     buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer)) {
            return false;
        }
        data += piece;
        length -= piece;
    }
    return true;
}

int SecureReceive(SecureChannel* channel, char* buffer, int room) {
    if (room <= 0) {
        return -1;
    }
    for (;;) {
        if (channel->plainStart < channel->plain.size()) {
            const size_t held = channel->plain.size() - channel->plainStart;
            const size_t taken =
                held < static_cast<size_t>(room) ? held : static_cast<size_t>(room);
            memcpy(buffer, channel->plain.data() + channel->plainStart, taken);
            channel->plainStart += taken;
            return static_cast<int>(taken);
        }
        if (channel->closed) {
            return 0;
        }
        if (channel->incomingUsed > 0) {
            SecBuffer buffers[4] = {{static_cast<ULONG>(channel->incomingUsed), SECBUFFER_DATA,
                                     channel->incoming.data()},
                                    {0, SECBUFFER_EMPTY, nullptr},
                                    {0, SECBUFFER_EMPTY, nullptr},
                                    {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc message = {SECBUFFER_VERSION, 4, buffers};
            const SECURITY_STATUS status = DecryptMessage(&channel->context, &message, 0, nullptr);
            if (status == SEC_I_CONTEXT_EXPIRED) {
                // The server's closing message.
                channel->closed = true;
                return 0;
            }
            if (status == SEC_E_OK) {
                channel->plain.clear();
                channel->plainStart = 0;
                for (const SecBuffer& piece : buffers) {
                    if (piece.BufferType == SECBUFFER_DATA && piece.cbBuffer > 0) {
                        const char* bytes = static_cast<const char*>(piece.pvBuffer);
                        channel->plain.assign(bytes, bytes + piece.cbBuffer);
                    }
                }
                KeepExtra(channel, buffers, 4);
                if (channel->plain.empty() && channel->incomingUsed == 0) {
                    // Schannel reports the closing message as SEC_I_CONTEXT_EXPIRED; Wine's
                    // answers SEC_E_OK with no data instead. An empty record is taken for the
                    // end (servers send none otherwise), or this would wait out the time limit.
                    channel->closed = true;
                    return 0;
                }
                continue;
            }
            if (status != SEC_E_INCOMPLETE_MESSAGE) {
                // A renegotiation, or a record that does not decrypt.
                WSASetLastError(WSAECONNABORTED);
                return -1;
            }
        }
        const int got = ReceiveMore(channel, channel->incoming.size());
        if (got == 0) {
            // The stream ended without the closing message: it may have been cut.
            WSASetLastError(WSAECONNRESET);
            return -1;
        }
        if (got < 0) {
            return -1;
        }
    }
}

void CloseSecureChannel(SecureChannel* channel) {
    if (channel == nullptr) {
        return;
    }
    if (!channel->closed) {
        DWORD type = SCHANNEL_SHUTDOWN;
        SecBuffer control = {sizeof type, SECBUFFER_TOKEN, &type};
        SecBufferDesc controlDesc = {SECBUFFER_VERSION, 1, &control};
        if (ApplyControlToken(&channel->context, &controlDesc) == SEC_E_OK) {
            SecBuffer outToken = {0, SECBUFFER_TOKEN, nullptr};
            SecBufferDesc output = {SECBUFFER_VERSION, 1, &outToken};
            ULONG attributes = 0;
            TimeStamp expiry;
            InitializeSecurityContextA(&channel->credentials, &channel->context, nullptr,
                                       kContextFlags, 0, 0, nullptr, 0, nullptr, &output,
                                       &attributes, &expiry);
            static_cast<void>(SendToken(channel->socket, &outToken));
        }
    }
    Release(channel);
}
