// The feed reader's entry points: where a document begins in a body, and one reading of a
// document from its first byte to its end, each item handed on as it ends.
#pragma once

#include "feed/feed_item.h"
#include "platform/xml_reader.h"

// Where the document in a body begins: the first "<?xml" of `text`, else its first "<rss", else
// its first start tag whose local name is "feed" or "RDF" (an Atom or RSS 1.0 document without
// a declaration), else null.
const char* FindDocumentStart(const char* text);

// Reads the document from `source` with `reader` (the platform's, opened on this thread) and
// calls `itemCallback` with `context` at the end of every item, before returning; a null callback
// reads the items without handing them on. Relative links, images and enclosures resolve against
// `documentUrl`, the address the document came from (the last redirect's), unless an xml:base
// says otherwise; null or empty leaves them relative. The items before a malformed part or a
// failure of the source stand; the outcome says how the reading ended, and `error` where a
// malformed document broke off. `hints` (may be null) gets what the channel says of when to ask
// for it again.
XmlOutcome ReadFeedDocument(XmlReader* reader, XmlSource* source, FeedItemCallback itemCallback,
                            void* context, const char* documentUrl, XmlError* error,
                            FeedHints* hints = nullptr);

// The same over a terminated document in memory, with a reader opened for it and given up after:
// what tests, tools and benchmarks read. Returns -1 when `document` is null or no reader could
// be opened, otherwise 0 whatever the document held.
int ParseFeed(const char* document, FeedItemCallback itemCallback, void* context,
              const char* documentUrl);
