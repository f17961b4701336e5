// Fuzzes the feed reader: any bytes, as the fetcher would hand them on, through ParseFeed and the
// platform's XML reader into the item callback, which checks that every field of every delivered
// record is terminated within its capacity and holds well-formed UTF-8: a cut never falls inside
// a character.
//
// Seeds: fuzz/seeds/fuzz_parse_feed, which is the test documents of tests/fixtures/feed, and the
// real feeds of the shared corpus (../shared/corpus/feeds), which stay outside the repository.
// libFuzzer adds what it finds to the first folder it is given, so that one is a scratch folder,
// never a seed folder. From the project's root, after a build with -DQF_FUZZ=ON in build-fuzz:
//   ./build-fuzz/fuzz_parse_feed -dict=fuzz/feed.dict SCRATCH fuzz/seeds/fuzz_parse_feed
//       ../shared/corpus/feeds   (all on one line)
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "feed/parse_feed.h"

namespace {

// Well-formed UTF-8, read plainly: a lead byte and as many continuation bytes as it says.
bool IsUtf8(const unsigned char* text) {
    while (*text != 0) {
        const unsigned char lead = *text++;
        const int more = lead < 0x80    ? 0
                         : lead >= 0xF0 ? 3
                         : lead >= 0xE0 ? 2
                         : lead >= 0xC0 ? 1
                                        : -1;
        if (more < 0) {
            return false;
        }
        for (int i = 0; i < more; ++i) {
            if ((*text++ & 0xC0) != 0x80) {
                return false;
            }
        }
    }
    return true;
}

void CheckField(const char* field, size_t capacity) {
    if (memchr(field, '\0', capacity) == nullptr ||
        !IsUtf8(reinterpret_cast<const unsigned char*>(field))) {
        abort();
    }
}

// The context every item arrives with: the one the reading was given.
int g_context;

int CheckRecord(const FeedItem* item, void* context) {
    if (item == nullptr || context != &g_context) {
        abort();
    }
    CheckField(item->title, sizeof item->title);
    CheckField(item->description, sizeof item->description);
    CheckField(item->link, sizeof item->link);
    CheckField(item->date, sizeof item->date);
    CheckField(item->author, sizeof item->author);
    CheckField(item->channelTitle, sizeof item->channelTitle);
    CheckField(item->imageUrl, sizeof item->imageUrl);
    CheckField(item->channelDate, sizeof item->channelDate);
    CheckField(item->guid, sizeof item->guid);
    CheckField(item->baseUrl, sizeof item->baseUrl);
    CheckField(item->thumbnail, sizeof item->thumbnail);
    CheckField(item->duration, sizeof item->duration);
    if (item->enclosureCount > kEnclosureCount) {
        abort();
    }
    for (size_t i = 0; i < item->enclosureCount; ++i) {
        const FeedEnclosure& enclosure = item->enclosures[i];
        CheckField(enclosure.url, sizeof enclosure.url);
        CheckField(enclosure.type, sizeof enclosure.type);
        CheckField(enclosure.length, sizeof enclosure.length);
        CheckField(enclosure.duration, sizeof enclosure.duration);
        // An enclosure names a file: never an empty one, never one twice.
        if (enclosure.url[0] == '\0') {
            abort();
        }
        for (size_t j = 0; j < i; ++j) {
            if (strcmp(item->enclosures[j].url, enclosure.url) == 0) {
                abort();
            }
        }
    }
    // A text that was cut ends outside any tag and any reference.
    if (item->descriptionCut) {
        const char* lastOpen = strrchr(item->description, '<');
        const char* lastAmp = strrchr(item->description, '&');
        if ((lastOpen != nullptr && strchr(lastOpen, '>') == nullptr) ||
            (lastAmp != nullptr && strchr(lastAmp, ';') == nullptr)) {
            abort();
        }
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The fetcher hands on terminated text; bytes after an embedded NUL never reach the reader.
    std::vector<char> document(data, data + size);
    document.push_back('\0');
    ParseFeed(document.data(), CheckRecord, &g_context, "http://fuzz.example/feed.xml");
    return 0;
}
