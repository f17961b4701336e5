// Placeholder until the composer lands.
#include "compose/compose.h"

#include <cstring>

int OnFeedItem(const FeedItem*, const char*) {
    return 0;
}

bool IsDuplicateSubject(const char*, const char*) {
    return false;
}

const char* LastPathComponent(const char* text, const char*) {
    return text;
}
