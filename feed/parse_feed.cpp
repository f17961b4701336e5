#include "feed/parse_feed.h"

#include <cstring>
#include <new>

#include "base/status.h"
#include "feed/feed_handler.h"
#include "platform/xml_reader.h"

namespace {

// The reader this thread keeps while an XmlReaderKeeping lives on it, and how many live.
thread_local int t_keepers = 0;
thread_local XmlReader* t_kept = nullptr;

}  // namespace

XmlReaderKeeping::XmlReaderKeeping() {
    ++t_keepers;
}

XmlReaderKeeping::~XmlReaderKeeping() {
    if (--t_keepers == 0 && t_kept != nullptr) {
        CloseXmlReader(t_kept);
        t_kept = nullptr;
    }
}

int ParseFeed(const char* document, FeedItemCallback itemCallback, const char* folderId,
              const char* documentUrl) {
    if (document == nullptr) {
        return -1;
    }
    unsigned long failure = 0;
    XmlReader* reader = t_kept != nullptr ? t_kept : OpenXmlReader(&failure);
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
    if (t_keepers > 0) {
        t_kept = reader;
    } else {
        CloseXmlReader(reader);
    }
    return 0;
}
