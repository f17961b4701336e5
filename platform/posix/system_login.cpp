// The POSIX side of system_login.h: there is no signed-in Windows user to answer for, and no
// SSPI; a server that offers only Negotiate or NTLM gets no answer.
#include "platform/system_login.h"

SystemLogin* StartSystemLogin(const char* /*package*/, const char* /*host*/, const char* /*user*/,
                              const char* /*password*/) {
    return nullptr;
}

SystemLoginStep NextSystemLoginToken(SystemLogin* /*login*/, const unsigned char* /*in*/,
                                     size_t /*inLength*/, unsigned char* /*out*/,
                                     size_t /*capacity*/, size_t* written) {
    *written = 0;
    return SystemLoginStep::kFailed;
}

void EndSystemLogin(SystemLogin* /*login*/) {}
