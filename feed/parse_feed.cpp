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
    MemoryXmlSource source(document, strlen(document));
    return ParseFeedFrom(&source, itemCallback, folderId, documentUrl);
}

int ParseFeedFrom(XmlSource* source, FeedItemCallback itemCallback, const char* folderId,
                  const char* documentUrl) {
    const char* folder = folderId != nullptr ? folderId : "";
    unsigned long failure = 0;
    XmlReader* reader = t_kept != nullptr ? t_kept : OpenXmlReader(&failure);
    if (reader == nullptr) {
        ShowStatus("\nUpdate %s Error: %08lX\n\n", folder, failure);
        return 0;
    }
    FeedContentHandler* handler =
        new (std::nothrow) FeedContentHandler(itemCallback, folderId, documentUrl);
    if (handler != nullptr) {
        XmlError error;
        // A malformed document, or one whose source ends early, ends the reading there; the
        // items before it stand.
        switch (ReadXml(reader, source, handler, &error)) {
            case XmlOutcome::kWellFormed:
                break;
            case XmlOutcome::kMalformed:
                Trace("Update %s: not well formed at line %lu, column %lu: %s", folder, error.line,
                      error.column, error.words);
                break;
            case XmlOutcome::kSourceFailed:
                Trace("Update %s: the document ended early", folder);
                break;
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
