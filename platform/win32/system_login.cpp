// SSPI's Negotiate and NTLM packages: the Windows side of system_login.h.
#define SECURITY_WIN32

#include "platform/system_login.h"

#include "platform.h"

#include <security.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

struct SystemLogin {
    CredHandle credentials;
    CtxtHandle context;
    bool hasContext = false;
    WCHAR target[1024];  // "HTTP/host"
};

namespace {

// A user name, its domain or a password, in the wide characters SSPI takes.
constexpr int kWideCapacity = 512;

bool Widen(const char* text, size_t length, WCHAR* out, int capacity, unsigned long* count) {
    if (length == 0) {
        out[0] = L'\0';
        *count = 0;
        return true;
    }
    const int made = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text,
                                         static_cast<int>(length), out, capacity - 1);
    if (made <= 0) {
        return false;
    }
    out[made] = L'\0';
    *count = static_cast<unsigned long>(made);
    return true;
}

bool Acquire(SystemLogin* login, const char* package, const char* user, const char* password) {
    WCHAR name[kWideCapacity];
    WCHAR domain[kWideCapacity];
    WCHAR secret[kWideCapacity];
    SEC_WINNT_AUTH_IDENTITY_W identity;
    memset(&identity, 0, sizeof identity);
    if (user != nullptr) {
        // "DOMAIN\name", as Windows writes an account of a domain; a name alone is the server's.
        const char* slash = strchr(user, '\\');
        const char* own = slash != nullptr ? slash + 1 : user;
        const size_t domainLength = slash != nullptr ? static_cast<size_t>(slash - user) : 0;
        if (strlen(user) > INT_MAX || strlen(password) > INT_MAX ||
            !Widen(own, strlen(own), name, kWideCapacity, &identity.UserLength) ||
            !Widen(user, domainLength, domain, kWideCapacity, &identity.DomainLength) ||
            !Widen(password, strlen(password), secret, kWideCapacity, &identity.PasswordLength)) {
            return false;
        }
        identity.User = reinterpret_cast<unsigned short*>(name);
        identity.Domain = reinterpret_cast<unsigned short*>(domain);
        identity.Password = reinterpret_cast<unsigned short*>(secret);
        identity.Flags = SEC_WINNT_AUTH_IDENTITY_UNICODE;
    }
    WCHAR packageName[32];
    unsigned long ignored = 0;
    TimeStamp expiry;
    const bool acquired =
        Widen(package, strlen(package), packageName, 32, &ignored) &&
        AcquireCredentialsHandleW(nullptr, packageName, SECPKG_CRED_OUTBOUND, nullptr,
                                  user != nullptr ? &identity : nullptr, nullptr, nullptr,
                                  &login->credentials, &expiry) == SEC_E_OK;
    SecureZeroMemory(secret, sizeof secret);
    return acquired;
}

}  // namespace

SystemLogin* StartSystemLogin(const char* package, const char* host, const char* user,
                              const char* password) {
    SystemLogin* login = new (std::nothrow) SystemLogin;
    if (login == nullptr) {
        return nullptr;
    }
    char target[sizeof login->target / sizeof login->target[0]];
    unsigned long length = 0;
    const int written = snprintf(target, sizeof target, "HTTP/%s", host);
    if (written <= 0 || written >= static_cast<int>(sizeof target) ||
        !Widen(target, static_cast<size_t>(written), login->target,
               sizeof login->target / sizeof login->target[0], &length) ||
        !Acquire(login, package, user, password != nullptr ? password : "")) {
        delete login;
        return nullptr;
    }
    return login;
}

SystemLoginStep NextSystemLoginToken(SystemLogin* login, const unsigned char* in, size_t inLength,
                                     unsigned char* out, size_t capacity, size_t* written) {
    *written = 0;
    if (inLength > ULONG_MAX || capacity > ULONG_MAX) {
        return SystemLoginStep::kFailed;
    }
    SecBuffer given = {static_cast<unsigned long>(inLength), SECBUFFER_TOKEN,
                       const_cast<unsigned char*>(in)};
    SecBufferDesc givenList = {SECBUFFER_VERSION, 1, &given};
    SecBuffer made = {static_cast<unsigned long>(capacity), SECBUFFER_TOKEN, out};
    SecBufferDesc madeList = {SECBUFFER_VERSION, 1, &made};
    unsigned long attributes = 0;
    TimeStamp expiry;
    const SECURITY_STATUS status = InitializeSecurityContextW(
        &login->credentials, login->hasContext ? &login->context : nullptr, login->target,
        ISC_REQ_CONNECTION, 0, SECURITY_NATIVE_DREP, in != nullptr ? &givenList : nullptr, 0,
        &login->context, &madeList, &attributes, &expiry);
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
        return SystemLoginStep::kFailed;
    }
    login->hasContext = true;
    *written = made.cbBuffer;
    return made.cbBuffer > 0 ? SystemLoginStep::kSend : SystemLoginStep::kDone;
}

void EndSystemLogin(SystemLogin* login) {
    if (login == nullptr) {
        return;
    }
    if (login->hasContext) {
        DeleteSecurityContext(&login->context);
    }
    FreeCredentialsHandle(&login->credentials);
    delete login;
}
