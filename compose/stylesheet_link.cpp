#include "compose/stylesheet_link.h"

#include <cstring>

bool AppendStylesheetLink(char* out, size_t capacity, size_t* used, const char* escapedHref) {
    const size_t opening = sizeof kStyleLinkOpening - 1;
    const size_t href = strlen(escapedHref);
    const size_t close = sizeof kStyleLinkClose - 1;
    if (*used >= capacity || opening + href + close >= capacity - *used) {
        return false;
    }
    char* at = out + *used;
    memcpy(at, kStyleLinkOpening, opening);
    memcpy(at + opening, escapedHref, href);
    memcpy(at + opening + href, kStyleLinkClose, close + 1);
    *used += opening + href + close;
    return true;
}
