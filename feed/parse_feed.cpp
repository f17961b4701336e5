#include "feed/parse_feed.h"

#include <cstring>
#include <new>

#include "base/status.h"
#include "base/text.h"
#include "feed/feed_handler.h"

namespace {

bool IsNameCharacter(char c) {
    return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_' || c == '-' || c == '.' || c == ':' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// The first start tag whose local name is "feed" (Atom) or "RDF" (RSS 1.0), with or without a
// prefix: where a document without an XML declaration begins.
const char* FindRootElement(const char* text) {
    for (const char* open = strchr(text, '<'); open != nullptr; open = strchr(open + 1, '<')) {
        const char* name = open + 1;
        const char* end = name;
        while (IsNameCharacter(*end)) {
            ++end;
        }
        const char* local = name;
        for (const char* at = name; at < end; ++at) {
            if (*at == ':') {
                local = at + 1;
            }
        }
        const size_t length = static_cast<size_t>(end - local);
        const bool ends = *end == '>' || *end == '/' || *end == ' ' || *end == '\t' ||
                          *end == '\r' || *end == '\n';
        if (ends && ((length == 4 && strncmp(local, "feed", 4) == 0) ||
                     (length == 3 && strncmp(local, "RDF", 3) == 0))) {
            return open;
        }
    }
    return nullptr;
}

}  // namespace

const char* FindDocumentStart(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    const char* start = strstr(text, "<?xml");
    if (start == nullptr) {
        start = strstr(text, "<rss");
    }
    return start != nullptr ? start : FindRootElement(text);
}

XmlOutcome ReadFeedDocument(XmlReader* reader, XmlSource* source, FeedItemCallback itemCallback,
                            void* context, const char* documentUrl, XmlError* error,
                            FeedHints* hints) {
    FeedContentHandler* handler =
        new (std::nothrow) FeedContentHandler(itemCallback, context, documentUrl);
    if (handler == nullptr) {
        return XmlOutcome::kSourceFailed;
    }
    const XmlOutcome outcome = ReadXml(reader, source, handler, error);
    if (hints != nullptr) {
        *hints = handler->hints;
    }
    delete handler;
    return outcome;
}

int ParseFeed(const char* document, FeedItemCallback itemCallback, void* context,
              const char* documentUrl) {
    if (document == nullptr) {
        return -1;
    }
    unsigned long failure = 0;
    XmlReader* reader = OpenXmlReader(&failure);
    if (reader == nullptr) {
        Trace("no XML reader: %08lX", failure);
        return -1;
    }
    MemoryXmlSource source(document, strlen(document));
    XmlError error;
    if (ReadFeedDocument(reader, &source, itemCallback, context, documentUrl, &error) ==
        XmlOutcome::kMalformed) {
        Trace("not well formed at line %lu, column %lu: %s", error.line, error.column, error.words);
    }
    CloseXmlReader(reader);
    return 0;
}
