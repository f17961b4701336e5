// The POSIX implementation of the interface in idna.h: libidn2, with the non-transitional rules
// of IDNA 2008 and UTS #46 that browsers follow.
#include "platform/idna.h"

#include <idn2.h>

#include <cstdlib>
#include <cstring>
#include <string>

bool HostToAscii(const char* host, size_t length, char* out, size_t capacity) {
    const std::string name(host, length);
    char* ascii = nullptr;
    if (idn2_to_ascii_8z(name.c_str(), &ascii, IDN2_NONTRANSITIONAL) != IDN2_OK ||
        ascii == nullptr) {
        return false;
    }
    const size_t size = strlen(ascii);
    const bool fits = size < capacity;
    if (fits) {
        memcpy(out, ascii, size + 1);
    }
    idn2_free(ascii);
    return fits;
}
