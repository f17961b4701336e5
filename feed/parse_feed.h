// The feed reader's entry point.
#pragma once

#include "feed/feed_item.h"

// Runs the platform's SAX reader over `document` (terminated bytes starting at the XML document)
// and calls `itemCallback` with `folderId` at the end of every item, before returning. Relative
// links, images and enclosures resolve against `documentUrl`, the address the document came from
// (the last redirect's), unless an xml:base says otherwise; null or empty leaves them relative.
// Returns -1 when `document` is null, otherwise 0 whatever the document held.
int ParseFeed(const char* document, FeedItemCallback itemCallback, const char* folderId,
              const char* documentUrl);

class XmlSource;

// The same over a document read from `source` as it arrives; the items before a failure of the
// source stand. Returns 0.
int ParseFeedFrom(XmlSource* source, FeedItemCallback itemCallback, const char* folderId,
                  const char* documentUrl);

// While one lives on a thread, ParseFeed on that thread sets up the platform's reader once (on
// Windows: COM and the SAX reader, hundreds of milliseconds cold) and reads every document with
// it, rather than setting it up for each; it is given up when the last one goes. A refresh
// worker holds one for all the refreshes it runs.
class XmlReaderKeeping {
public:
    XmlReaderKeeping();
    ~XmlReaderKeeping();
    XmlReaderKeeping(const XmlReaderKeeping&) = delete;
    XmlReaderKeeping& operator=(const XmlReaderKeeping&) = delete;
};
