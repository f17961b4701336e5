// Logins that Windows itself answers: Negotiate (Kerberos, or NTLM where Kerberos cannot) and
// NTLM, which intranet servers and office proxies ask for, with the credentials of the user
// signed in to Windows or with a user name and password given. Win32: SSPI (secur32). POSIX:
// none; StartSystemLogin says so.
#pragma once

#include <cstddef>

struct SystemLogin;

// Starts a login of `package` ("Negotiate" or "NTLM") to `host` (whose service is "HTTP/host");
// with `user` null the signed-in user's own credentials, else `user` ("DOMAIN\name" or a name
// alone) and `password`, both UTF-8. Null when the platform has no such login, or refused to
// start it.
SystemLogin* StartSystemLogin(const char* package, const char* host, const char* user,
                              const char* password);

enum class SystemLoginStep {
    kSend,    // send `out` to the server
    kDone,    // the login needs nothing more from this side
    kFailed,  // the login cannot go on
};

// The next token of the login, made from the server's last (`in`, `inLength` bytes; none for the
// first step) into `out`; `written` gets its length.
SystemLoginStep NextSystemLoginToken(SystemLogin* login, const unsigned char* in, size_t inLength,
                                     unsigned char* out, size_t capacity, size_t* written);

// Ends the login and releases it; null is ignored.
void EndSystemLogin(SystemLogin* login);
