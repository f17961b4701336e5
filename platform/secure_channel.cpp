// The words for a secure channel's failures; the same on both platforms.
#include "platform/secure_channel.h"

const char* SecureFailureWords(SecureFailure failure) {
    switch (failure) {
        case SecureFailure::kNone:
            return "";
        case SecureFailure::kTimedOut:
            return "no answer in time";
        case SecureFailure::kClosed:
            return "the server ended the secure connection";
        case SecureFailure::kUntrusted:
            return "certificate not trusted";
        case SecureFailure::kExpired:
            return "certificate expired";
        case SecureFailure::kNotYetValid:
            return "certificate not yet valid";
        case SecureFailure::kWrongName:
            return "certificate is for another site";
        case SecureFailure::kHandshake:
            return "secure connection failed";
    }
    return "secure connection failed";
}
