// The JSON Feed reader (versions 1.0 and 1.1): reads a document as it arrives, fills the same
// item record as the XML reader and hands each item on as it ends.
#pragma once

#include "feed/feed_item.h"
#include "platform/xml_reader.h"

// Reads the JSON Feed document from `source` and calls `itemCallback` with `context` at the end of
// every item, before returning: the feed's title and icon; each item's id (its identity), url
// (else external_url) as the link, title, text (content_html as HTML, else content_text, else
// summary, escaped), image (else banner_image) as its picture, date_published (else
// date_modified), its first author (authors, or 1.0's author), and its attachments as files with
// their type, size and duration. Relative addresses resolve against `documentUrl`. The items
// before a malformed part or a failure of the source stand; the outcome says how the reading
// ended, and `error` (its line is 1, its column the byte offset) what broke a malformed one.
// Read with nlohmann/json's SAX parser.
XmlOutcome ReadJsonFeed(XmlSource* source, FeedItemCallback itemCallback, void* context,
                        const char* documentUrl, XmlError* error);
