// NormalizeFeedDate on arbitrary text: never reads or writes out of bounds, always terminates
// its result, and gives the same answer for the same text whatever the output's size.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "compose/feed_date.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    char out[kFeedDateCapacity];
    memset(out, 'Z', sizeof out);
    const char* result = NormalizeFeedDate(text.c_str(), out, sizeof out);
    if (result == nullptr) {
        return 0;
    }
    if (result != out || memchr(out, '\0', sizeof out) == nullptr) {
        abort();
    }
    char larger[2 * kFeedDateCapacity];
    const char* again = NormalizeFeedDate(text.c_str(), larger, sizeof larger);
    if (again == nullptr || strcmp(out, larger) != 0) {
        abort();
    }
    // Only the three forms give a result: a mail date is copied unchanged, a rewrite ends in a
    // zone of a sign and at least four digits.
    if (strcmp(out, text.c_str()) != 0) {
        const char* zone = strrchr(out, ' ');
        if (zone == nullptr || (zone[1] != '+' && zone[1] != '-') ||
            strspn(zone + 2, "0123456789") < 4 ||
            zone[2 + strspn(zone + 2, "0123456789")] != '\0') {
            abort();
        }
    }
    return 0;
}
