// Full text: for a folder whose feed gives only a teaser, the page each new item links to is
// fetched once, its article found (compose/article.h), sanitized as feed text is, and kept in the
// item's message, with the feed's own text above it when that is no start of the article. The
// pages are fetched after the feed's answer, whose turn at its host is then given back: an
// article of the feed's own host never waits for a turn the feed holds.
#pragma once

#include <cstddef>

#include "feed/feed_item.h"

struct Refresh;

// What a folder's [FullText] says.
enum class FullTextMode {
    kOff,     // "off", absent or anything else: the feed's text alone
    kShort,   // "short": items whose text is short
    kAlways,  // "always": every item with a link
};

// The most of a page that is read: a larger one is no article's page.
constexpr size_t kArticlePageLimit = 2 * 1024 * 1024;
// The most articles one refresh fetches; the other new items wait for the next refresh.
constexpr size_t kArticlesPerRefresh = 20;
// Text shorter than this many characters is a teaser ("short").
constexpr size_t kShortTextCharacters = 500;

// Reads the folder's [FullText] and [FullTextSelector] into the refresh.
void ReadFullTextSettings(Refresh* refresh);

// Whether the new item's article is to be fetched: the folder asks for it (for every item, or for
// one whose text as plain text is shorter than kShortTextCharacters), and the item links to a web
// page over http or https.
bool WantsArticle(FullTextMode mode, const FeedItem& item);

// Fetches the page `item` links to, within what is left of the refresh's time, and puts its
// article in the item's text: the feed's text above it when that is no start of the article, the
// article below, cut between elements at the text's room (and said to be cut). When the page
// cannot be fetched or holds no article, the feed's text stays and one line under it says why.
void ReadArticle(Refresh* refresh, FeedItem* item);
