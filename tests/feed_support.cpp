#include "tests/feed_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "feed/parse_feed.h"

namespace {

thread_local std::vector<SeenItem>* t_seen = nullptr;

int KeepItem(const FeedItem* item, const char* folderId) {
    EXPECT_STREQ(folderId, "Feeds\\Test");
    SeenItem seen{item->title,
                  item->description,
                  item->link,
                  item->date,
                  item->author,
                  item->channelTitle,
                  item->imageUrl,
                  item->channelDate,
                  item->guid,
                  item->baseUrl,
                  item->thumbnail,
                  item->duration,
                  false,
                  false,
                  {}};
    seen.titleIsHtml = item->titleIsHtml;
    seen.descriptionCut = item->descriptionCut;
    for (size_t i = 0; i < item->enclosureCount; ++i) {
        const FeedEnclosure& e = item->enclosures[i];
        seen.enclosures.push_back(std::string(e.url) + "|" + e.type + "|" + e.length + "|" +
                                  e.duration);
    }
    t_seen->push_back(seen);
    return 0;
}

}  // namespace

std::vector<SeenItem> ParseItems(const std::string& document, const char* documentUrl) {
    std::vector<SeenItem> seen;
    t_seen = &seen;
    EXPECT_EQ(ParseFeed(document.c_str(), KeepItem, "Feeds\\Test", documentUrl), 0);
    t_seen = nullptr;
    return seen;
}

std::string FeedFixture(const char* name) {
    std::ifstream in(std::string(QF_SOURCE_DIR) + "/tests/fixtures/feed/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << "fixture missing: " << name;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}
