#include "feed/parse_feed.h"

#include <cstring>
#include <new>

#include "base/status.h"
#include "feed/feed_handler.h"
#include "platform/xml_reader.h"

int ParseFeed(const char* document, FeedItemCallback itemCallback, const char* folderId,
              const char* documentUrl) {
    if (document == nullptr) {
        return -1;
    }
    unsigned long failure = 0;
    XmlReader* reader = OpenXmlReader(&failure);
    if (reader == nullptr) {
        ShowStatus("\nUpdate %s Error: %08lX\n\n", folderId != nullptr ? folderId : "", failure);
        return 0;
    }
    FeedContentHandler* handler =
        new (std::nothrow) FeedContentHandler(itemCallback, folderId, documentUrl);
    if (handler != nullptr) {
        MemoryXmlSource source(document, strlen(document));
        XmlError error;
        // A malformed document ends the reading at its error; the items before it stand.
        if (ReadXml(reader, &source, handler, &error) == XmlOutcome::kMalformed) {
            Trace("Update %s: not well formed at line %lu, column %lu: %s",
                  folderId != nullptr ? folderId : "", error.line, error.column, error.words);
        }
        delete handler;
    }
    CloseXmlReader(reader);
    return 0;
}
