// Helpers the feed reader's tests share: running documents through ParseFeed and keeping what
// each item callback saw.
#pragma once

#include <string>
#include <vector>

#include "feed/feed_item.h"

// The eight fields of one delivered record, copied at the callback.
struct SeenItem {
    std::string title, description, link, date, author, channelTitle, imageUrl, channelDate;
};

// Parses `document` with ParseFeed and returns the records its callbacks saw, in order.
std::vector<SeenItem> ParseItems(const std::string& document);

// The bytes of tests/fixtures/feed/NAME; fails the test when it cannot be read.
std::string FeedFixture(const char* name);
