// Placeholder until the fetcher lands: starts nothing.
#include "fetch/fetch.h"

int StartFeedUpdate(const char*, const char*) {
    return -1;
}
