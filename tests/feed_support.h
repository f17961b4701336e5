// Helpers the feed reader's tests share: running documents through ParseFeed and keeping what
// each item callback saw.
#pragma once

#include <string>
#include <vector>

#include "feed/feed_item.h"
#include "platform/xml_reader.h"

// The fields of one delivered record, copied at the callback; each enclosure as
// "url|type|length|duration".
struct SeenItem {
    std::string title, description, link, date, author, channelTitle, imageUrl, channelDate;
    std::string guid, baseUrl, thumbnail, duration, authorEmail, inReplyTo;
    bool titleIsHtml = false;
    bool descriptionCut = false;
    std::vector<std::string> enclosures;
};

// Parses `document` with ParseFeed, as if it came from `documentUrl`, and returns the records its
// callbacks saw, in order.
std::vector<SeenItem> ParseItems(const std::string& document, const char* documentUrl = nullptr);

// The same for a JSON Feed document; `outcome` (may be null) gets how the reading ended.
std::vector<SeenItem> ParseJsonItems(const std::string& document, const char* documentUrl = nullptr,
                                     XmlOutcome* outcome = nullptr);

// The bytes of tests/fixtures/feed/NAME; fails the test when it cannot be read.
std::string FeedFixture(const char* name);
