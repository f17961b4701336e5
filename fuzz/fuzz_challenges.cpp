// The login challenges of random WWW-Authenticate values, checked against a plain reading: a
// scheme is offered only when its name is in the text, every value read is terminated within its
// capacity, and a Digest answer, itself a list of parameters the reader takes apart, reads back
// with the realm, nonce and opaque of the challenge it answers.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fetch/challenge.h"

namespace {

bool HoldsWord(const std::string& text, const char* word) {
    std::string lower;
    for (char c : text) {
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return lower.find(word) != std::string::npos;
}

void ExpectTerminated(const char* text, size_t capacity) {
    if (memchr(text, '\0', capacity) == nullptr) {
        abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data),
                           strnlen(reinterpret_cast<const char*>(data), size));
    static Challenges offered;
    ReadChallenges(text.c_str(), &offered);
    if ((offered.basic && !HoldsWord(text, "basic")) ||
        (offered.digest.offered && !(HoldsWord(text, "digest") && HoldsWord(text, "nonce"))) ||
        (offered.negotiate && !HoldsWord(text, "negotiate")) ||
        (offered.ntlm && !HoldsWord(text, "ntlm"))) {
        abort();
    }
    ExpectTerminated(offered.digest.realm, sizeof offered.digest.realm);
    ExpectTerminated(offered.digest.nonce, sizeof offered.digest.nonce);
    ExpectTerminated(offered.digest.opaque, sizeof offered.digest.opaque);
    ExpectTerminated(offered.negotiateToken, sizeof offered.negotiateToken);
    ExpectTerminated(offered.ntlmToken, sizeof offered.ntlmToken);
    if (!offered.digest.offered) {
        return 0;
    }
    const DigestRequest request = {"user", "password", "GET", "/feed", "0123456789abcdef", 1};
    static char answer[kAuthorizationCapacity];
    if (!DigestAnswer(offered.digest, request, answer, sizeof answer)) {
        abort();  // every value fits its capacity, so their answer fits its own
    }
    static Challenges again;
    ReadChallenges(answer, &again);
    if (!again.digest.offered || strcmp(again.digest.realm, offered.digest.realm) != 0 ||
        strcmp(again.digest.nonce, offered.digest.nonce) != 0 ||
        strcmp(again.digest.opaque, offered.digest.opaque) != 0) {
        abort();
    }
    return 0;
}
