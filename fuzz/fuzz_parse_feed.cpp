// Fuzzes the feed reader: any bytes, as the fetcher would hand them on, through ParseFeed and the
// platform's SAX reader into the item callback, which checks that every field of every delivered
// record is terminated within its capacity.
//
// Seeds: the documents under tests/fixtures/feed, and the real feeds of the shared corpus
// (../shared/corpus/feeds), which stay outside the repository. Run from the build folder:
//   ./fuzz_parse_feed -dict=../fuzz/feed.dict new_corpus ../tests/fixtures/feed
//   ../../shared/corpus/feeds
// and for a short fixed run over the seeds alone:
//   ./fuzz_parse_feed -runs=2000 ../tests/fixtures/feed
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "feed/parse_feed.h"

namespace {

void CheckField(const char* field, size_t capacity) {
    if (memchr(field, '\0', capacity) == nullptr) {
        abort();
    }
}

int CheckRecord(const FeedItem* item, const char* folderId) {
    if (item == nullptr || folderId == nullptr || strcmp(folderId, "fuzz") != 0) {
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
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The fetcher hands on terminated text; bytes after an embedded NUL never reach the reader.
    std::vector<char> document(data, data + size);
    document.push_back('\0');
    ParseFeed(document.data(), CheckRecord, "fuzz");
    return 0;
}
