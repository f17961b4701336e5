// The feed reader's content handler: a state machine over the element names of RSS 0.9x/2.0,
// RSS 1.0 and Atom that fills one item record and hands each finished item on.
#pragma once

#include <cstdint>

#include "feed/feed_item.h"
#include "platform/xml_reader.h"

// Where the reader stands in the document. Each state stands for one level only; there is no
// stack of open elements.
enum FeedParseState : int32_t {
    RSS_ROOT = 0,                // document level: outside any channel, feed or item
    RSS_CHANNEL = 1,             // directly inside a channel or feed
    RSS_CHANNEL_OTHER = 2,       // inside a child of the channel that is not recognised
    RSS_CHANNEL_TITLE = 3,       // inside the channel's title
    RSS_ITEMS = 4,               // inside the channel's items list (RSS 1.0)
    RSS_IMAGE = 5,               // directly inside the channel's image
    RSS_IMAGE_OTHER = 6,         // inside a child of the image other than its url
    RSS_IMAGE_URL = 7,           // inside the image's url
    RSS_GDATE = 8,               // inside the channel's date
    RSS_ITEM = 9,                // directly inside an item or entry
    RSS_ITEM_TITLE = 10,         // inside the item's title
    RSS_ITEM_DESCRIPTION = 11,   // inside the item's description or content
    RSS_ITEM_LINK = 12,          // inside the item's link
    RSS_ITEM_AUTHOR = 13,        // directly inside the item's author or creator
    RSS_ITEM_AUTHOR_NAME = 14,   // inside the name element of the item's author
    RSS_ITEM_AUTHOR_OTHER = 15,  // inside another child of the item's author
    RSS_ITEM_DATE = 16,          // inside the item's date
    RSS_ITEM_OTHER = 17,         // inside a child of the item that is not recognised
    RSS_IDLE = 18,               // handler made, document not yet started
    RSS_ITEM_GUID = 19,          // inside the item's guid (RSS) or id (Atom)
};

// True when `name` (UTF-8, `length` bytes) has at least `count` bytes and its first `count`
// equal those of the ASCII `keyword`, ASCII letters compared without regard to case. With
// `exact`, the name must also be exactly `count` bytes long.
bool FeedNameMatches(const char* name, size_t length, const char* keyword, size_t count,
                     bool exact = false);

// True when an Atom link's rel names the entry's own page: "alternate", written plain or as the
// IANA relation URI, ASCII letters without regard to case.
bool IsAlternateRel(const char* rel);

// Appends `length` bytes of UTF-8 text to the field with &, <, > and " written as entities, each
// whole or not at all, and other text cut between characters. False when the field filled up;
// what fitted is kept.
bool AppendEscaped(char* field, size_t capacity, const char* text, size_t length);

class FeedContentHandler final : public XmlHandler {
public:
    // A handler with an empty record, both flags clear and the state RSS_IDLE. A null
    // `itemCallback` reads items without handing them on; `folderId` is kept, not copied.
    FeedContentHandler(FeedItemCallback itemCallback, const char* folderId);

    // The document begins: the flags are cleared and the machine stands at the document level.
    void StartDocument();
    void StartElement(const XmlName& name, const XmlAttribute* attributes, size_t count) override;
    void EndElement(const XmlName& name) override;
    void Text(const char* text, size_t length) override;

    FeedItem record;
    FeedItemCallback itemCallback;
    const char* folderId;
    // Once a name element has been read inside an author, text directly inside later author
    // elements is no longer collected, for the rest of the document.
    bool authorNameSeen;
    // The channel has an items list (RSS 1.0): items stand beside the channel, so an item's end
    // returns to the document level.
    bool itemsListSeen;
    int32_t state;
    // Per item: a published date was read (it wins over updated); a description or content was
    // read (it wins over a summary); how well the link read so far names the item's page.
    bool itemPublishedSeen;
    bool itemContentSeen;
    int itemLinkRank;
    // How deep inside the description element the reader is: markup nested there is kept.
    int descriptionDepth;
    // The length of the description's text. A long entry's description arrives in hundreds of
    // pieces, so it is kept rather than measured for each; every write to the description goes
    // through the two functions below.
    size_t descriptionLength;

private:
    enum LinkRank { kNoLink = 0, kOtherLink = 1, kPageLink = 2 };

    // Empties the five item fields and forgets what the item's elements were.
    void EmptyItemFields();
    // The first attribute whose local name passes the name test; null when there is none.
    static const XmlAttribute* FindAttribute(const XmlAttribute* attributes, size_t count,
                                             const char* keyword, size_t length, bool exact);
    // The rdf:about of an RSS 1.0 item's element, as the item's identity.
    void TakeAbout(const XmlAttribute* attributes, size_t count);
    // A link element of an item: whether its text and href are the item's link now.
    bool StartItemLink(const XmlAttribute* attributes, size_t count);
    // Empties the description, or appends text to it, plain (as much as fits) or escaped (each
    // entity whole or not at all). The appends return false when the description filled up.
    void EmptyDescription();
    bool AppendToDescription(const char* text, size_t length);
    bool AppendEscapedToDescription(const char* text, size_t length);
    // Appends a nested element's start tag, with its attributes, or its end tag to the
    // description.
    void AppendStartTag(const XmlName& name, const XmlAttribute* attributes, size_t count);
    void AppendEndTag(const XmlName& name);
    // Copies the value of the first attribute whose local name passes the test into `field`
    // (emptied first). Returns whether one was found.
    bool SearchAttribute(const XmlAttribute* attributes, size_t count, const char* keyword,
                         size_t length, char* field, size_t capacity);
};
