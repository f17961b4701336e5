#include "tests/feed_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "feed/json_feed.h"
#include "feed/parse_feed.h"

namespace {

// Each item is kept in the list its reading was handed.
int KeepItem(const FeedItem* item, void* list) {
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
                  item->authorEmail,
                  item->inReplyTo,
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
    static_cast<std::vector<SeenItem>*>(list)->push_back(seen);
    return 0;
}

}  // namespace

std::vector<SeenItem> ParseItems(const std::string& document, const char* documentUrl) {
    std::vector<SeenItem> seen;
    EXPECT_EQ(ParseFeed(document.c_str(), KeepItem, &seen, documentUrl), 0);
    return seen;
}

std::vector<SeenItem> ParseJsonItems(const std::string& document, const char* documentUrl,
                                     XmlOutcome* outcome) {
    std::vector<SeenItem> seen;
    MemoryXmlSource source(document.data(), document.size());
    XmlError error;
    const XmlOutcome read = ReadJsonFeed(&source, KeepItem, &seen, documentUrl, &error);
    if (outcome != nullptr) {
        *outcome = read;
    }
    return seen;
}

std::string FeedFixture(const char* name) {
    std::ifstream in(std::string(QF_SOURCE_DIR) + "/tests/fixtures/feed/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << "fixture missing: " << name;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}
