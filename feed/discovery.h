// What a body holds, and the feeds a page names: people paste the address of the page they read
// (a blog's home page, a video channel), which names its feeds in its head (<link
// rel="alternate" type="application/rss+xml" href="...">) or in the answer's Link header.
#pragma once

#include <cstddef>

#include "base/capacities.h"

// What the first bytes of a body hold.
enum class DocumentKind {
    kXml,   // an RSS or Atom document (FindDocumentStart finds its start)
    kJson,  // a JSON Feed document
    kPage,  // an HTML page, which may name feeds
    kNone,  // none of these
};

// The kind of the document whose first `length` bytes are `start` (terminated after them), by
// its first characters and, where they do not tell, the answer's Content-Type (may be "").
DocumentKind KindOfDocument(const char* start, size_t length, const char* contentType);

// A feed a page names, as it names it.
struct FoundFeed {
    char url[kUrlCapacity];  // resolved against the page's address (or its <base>)
    char type[kFoundTypeCapacity];
    char title[kFoundTitleCapacity];  // "" when it gives none
};

// The feeds a page and its answer name, in the page's order, then the header's; each once.
struct FoundFeeds {
    FoundFeed feeds[kMostFoundFeeds];
    size_t count = 0;
};

// Where the head of the HTML page in the first `length` bytes of `html` ends: at the head's end
// tag, the body's start tag, or the first text or element that no head holds. False while the
// page may still be in its head at `length`; true with `*end` set when it is over.
bool FindPageHeadEnd(const char* html, size_t length, size_t* end);

// Adds the feeds that `head` (`length` bytes of a page's head) names with <link rel="alternate">
// of a feed's type, resolved against its <base> or else `pageUrl`.
void FindHeadFeeds(const char* head, size_t length, const char* pageUrl, FoundFeeds* found);

// Adds the feeds an answer's Link header (its fields joined by commas) names with
// rel="alternate" and a feed's type, resolved against `pageUrl`.
void FindLinkHeaderFeeds(const char* links, const char* pageUrl, FoundFeeds* found);
