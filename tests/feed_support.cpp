#include "tests/feed_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "feed/parse_feed.h"

namespace {

thread_local std::vector<SeenItem>* t_seen = nullptr;

int KeepItem(const FeedItem* item, const char* folderId) {
    EXPECT_STREQ(folderId, "Feeds\\Test");
    t_seen->push_back({item->title, item->description, item->link, item->date, item->author,
                       item->channelTitle, item->imageUrl, item->channelDate});
    return 0;
}

}  // namespace

std::vector<SeenItem> ParseItems(const std::string& document) {
    std::vector<SeenItem> seen;
    t_seen = &seen;
    EXPECT_EQ(ParseFeed(document.c_str(), KeepItem, "Feeds\\Test"), 0);
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

std::basic_string<WCHAR> Wide(const std::string& utf8) {
    std::basic_string<WCHAR> out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char lead = static_cast<unsigned char>(utf8[i]);
        int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        unsigned int c = extra == 0 ? lead : lead & (0x3F >> extra);
        ++i;
        for (; extra > 0 && i < utf8.size(); --extra, ++i) {
            c = (c << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<WCHAR>(0xD800 + (c >> 10)));
            out.push_back(static_cast<WCHAR>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<WCHAR>(c));
        }
    }
    return out;
}
