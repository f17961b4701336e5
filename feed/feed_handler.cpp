#include "feed/feed_handler.h"

#include <cstring>

#include "base/status.h"
#include "base/text.h"

namespace {

char FoldAscii(unsigned int c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

}  // namespace

bool IsAlternateRel(const char* rel) {
    static const char kIanaPrefix[] = "http://www.iana.org/assignments/relation/";
    if (strncmp(rel, kIanaPrefix, sizeof kIanaPrefix - 1) == 0) {
        rel += sizeof kIanaPrefix - 1;
    }
    static const char kAlternate[] = "alternate";
    for (size_t i = 0; i < sizeof kAlternate; ++i) {
        if (FoldAscii(static_cast<unsigned char>(rel[i])) != kAlternate[i]) {
            return false;
        }
    }
    return true;
}

namespace {

// Appends `text` at `*used`, the length of the text in `field`, with &, <, > and " written as
// entities, each whole or not at all; moves `*used` on.
bool AppendEscapedAt(char* field, size_t capacity, size_t* used, const char* text) {
    if (*used >= capacity) {
        return false;
    }
    for (const char* at = text; *at != '\0';) {
        // A run of characters that stay as they are, as much of it as fits.
        const size_t run = strcspn(at, "&<>\"");
        const size_t room = capacity - 1 - *used;
        const size_t taken = run < room ? run : room;
        memcpy(field + *used, at, taken);
        *used += taken;
        field[*used] = '\0';
        if (taken < run) {
            return false;
        }
        at += run;
        if (*at == '\0') {
            break;
        }
        // An entity goes in whole or not at all, so the field never ends inside one.
        const char* escaped = *at == '&'   ? "&amp;"
                              : *at == '<' ? "&lt;"
                              : *at == '>' ? "&gt;"
                                           : "&quot;";
        const size_t size = strlen(escaped);
        if (*used + size >= capacity) {
            return false;
        }
        memcpy(field + *used, escaped, size + 1);
        *used += size;
        ++at;
    }
    return true;
}

}  // namespace

bool AppendEscaped(char* field, size_t capacity, const char* text) {
    size_t used = strnlen(field, capacity);
    return AppendEscapedAt(field, capacity, &used, text);
}

bool FeedNameMatches(const WCHAR* name, int length, const char* keyword, int count, bool exact) {
    if (name == nullptr || length < count || (exact && length != count)) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        unsigned int c = static_cast<unsigned int>(name[i]);
        // Only ASCII letters fold; any other character, ASCII or not, must be the keyword's own.
        if (c > 0x7F || FoldAscii(c) != FoldAscii(static_cast<unsigned char>(keyword[i]))) {
            return false;
        }
    }
    return true;
}

int ConvertFeedText(const WCHAR* text, int length, char* out, size_t outSize) {
    if (outSize == 0) {
        return 0;
    }
    size_t limit = outSize - 1;
    if (text == nullptr || length <= 0) {
        out[0] = '\0';
        return 0;
    }
    // Twice the length in characters, unless that passes the room before the terminator. No
    // code page needs more than two bytes a character, so within that limit nothing is cut and
    // the text is terminated after what was written; only a longer chunk, which may be cut
    // (the conversion then answers 0 with the characters that fitted written), needs the room
    // zeroed first to stay terminated.
    if (static_cast<size_t>(length) <= limit / 2) {
        limit = 2 * static_cast<size_t>(length);
        const int written = WideCharToMultiByte(CP_ACP, 0, text, length, out,
                                                static_cast<int>(limit), nullptr, nullptr);
        out[written > 0 ? written : 0] = '\0';
        return written;
    }
    memset(out, 0, limit + 1);
    return WideCharToMultiByte(CP_ACP, 0, text, length, out, static_cast<int>(limit), nullptr,
                               nullptr);
}

FeedContentHandler::FeedContentHandler(FeedItemCallback callback, const char* folder)
    : itemCallback(callback),
      folderId(folder),
      authorNameSeen(false),
      itemsListSeen(false),
      state(RSS_IDLE),
      itemPublishedSeen(false),
      itemContentSeen(false),
      itemLinkRank(kNoLink),
      descriptionDepth(0),
      descriptionLength(0) {
    memset(&record, 0, sizeof record);
}

FeedContentHandler::~FeedContentHandler() = default;

void FeedContentHandler::EmptyDescription() {
    record.description[0] = '\0';
    descriptionLength = 0;
}

bool FeedContentHandler::AppendToDescription(const char* text, size_t length) {
    const size_t room = sizeof record.description - 1 - descriptionLength;
    const size_t taken = length < room ? length : room;
    memcpy(record.description + descriptionLength, text, taken);
    descriptionLength += taken;
    record.description[descriptionLength] = '\0';
    return taken == length;
}

bool FeedContentHandler::AppendEscapedToDescription(const char* text) {
    return AppendEscapedAt(record.description, sizeof record.description, &descriptionLength, text);
}

void FeedContentHandler::EmptyItemFields() {
    record.title[0] = '\0';
    EmptyDescription();
    record.link[0] = '\0';
    record.date[0] = '\0';
    record.author[0] = '\0';
    itemPublishedSeen = false;
    itemContentSeen = false;
    itemLinkRank = kNoLink;
}

bool FeedContentHandler::FindAttribute(ISAXAttributes* attributes, const char* keyword, int count,
                                       bool exact, char* out, size_t capacity) {
    int attributeCount = 0;
    if (attributes == nullptr || FAILED(attributes->getLength(&attributeCount))) {
        return false;
    }
    for (int i = 0; i < attributeCount; ++i) {
        const WCHAR* name = nullptr;
        int nameLength = 0;
        const WCHAR* value = nullptr;
        int valueLength = 0;
        // An attribute whose name or value cannot be had counts as absent.
        if (SUCCEEDED(attributes->getLocalName(i, &name, &nameLength)) &&
            FeedNameMatches(name, nameLength, keyword, count, exact) &&
            SUCCEEDED(attributes->getValue(i, &value, &valueLength))) {
            ConvertFeedText(value, valueLength, out, capacity);
            return true;
        }
    }
    return false;
}

bool FeedContentHandler::StartItemLink(ISAXAttributes* attributes) {
    char href[kAttributeValueCapacity];
    if (!FindAttribute(attributes, "href", 4, false, href, sizeof href)) {
        // A link without href (RSS) is read as it always was: its text, replacing any before.
        record.link[0] = '\0';
        itemLinkRank = kPageLink;
        return true;
    }
    // Of an Atom entry's links, the first to the entry's own page (rel "alternate", or none) is
    // the item's link; the others (self, edit, replies, enclosure, ...) only when it has none.
    char rel[kAttributeValueCapacity] = "";
    const bool hasRel = FindAttribute(attributes, "rel", 3, true, rel, sizeof rel);
    const int rank = !hasRel || IsAlternateRel(rel) ? kPageLink : kOtherLink;
    if (rank <= itemLinkRank) {
        return false;
    }
    static_cast<void>(CopyText(record.link, sizeof record.link, href));
    itemLinkRank = rank;
    Trace("Get Link(in attr): %s", record.link);
    return true;
}

void FeedContentHandler::AppendStartTag(const WCHAR* localName, int localNameLength,
                                        ISAXAttributes* attributes) {
    char name[kAttributeValueCapacity];
    ConvertFeedText(localName, localNameLength, name, sizeof name);
    static_cast<void>(AppendToDescription("<", 1) && AppendToDescription(name, strlen(name)));
    int count = 0;
    if (attributes != nullptr && SUCCEEDED(attributes->getLength(&count))) {
        for (int i = 0; i < count; ++i) {
            const WCHAR* attributeName = nullptr;
            int attributeNameLength = 0;
            const WCHAR* qName = nullptr;
            int qNameLength = 0;
            const WCHAR* value = nullptr;
            int valueLength = 0;
            // Namespace declarations (an empty local name, or an xmlns name) are no markup.
            if (FAILED(attributes->getLocalName(i, &attributeName, &attributeNameLength)) ||
                attributeNameLength <= 0 || FAILED(attributes->getValue(i, &value, &valueLength)) ||
                (SUCCEEDED(attributes->getQName(i, &qName, &qNameLength)) &&
                 FeedNameMatches(qName, qNameLength, "xmlns", 5))) {
                continue;
            }
            char attribute[kAttributeValueCapacity];
            char attributeValue[kAttributeValueCapacity];
            ConvertFeedText(attributeName, attributeNameLength, attribute, sizeof attribute);
            ConvertFeedText(value, valueLength, attributeValue, sizeof attributeValue);
            static_cast<void>(
                AppendToDescription(" ", 1) && AppendToDescription(attribute, strlen(attribute)) &&
                AppendToDescription("=\"", 2) && AppendEscapedToDescription(attributeValue) &&
                AppendToDescription("\"", 1));
        }
    }
    static_cast<void>(AppendToDescription(">", 1));
}

void FeedContentHandler::AppendEndTag(const WCHAR* localName, int localNameLength) {
    char name[kAttributeValueCapacity];
    ConvertFeedText(localName, localNameLength, name, sizeof name);
    static_cast<void>(AppendToDescription("</", 2) && AppendToDescription(name, strlen(name)) &&
                      AppendToDescription(">", 1));
}

bool FeedContentHandler::SearchAttribute(ISAXAttributes* attributes, const char* keyword, int count,
                                         char* field, size_t capacity) {
    int attributeCount = 0;
    if (attributes == nullptr || FAILED(attributes->getLength(&attributeCount))) {
        return false;
    }
    for (int i = 0; i < attributeCount; ++i) {
        const WCHAR* name = nullptr;
        int nameLength = 0;
        // An attribute whose name or value cannot be had counts as absent.
        if (FAILED(attributes->getLocalName(i, &name, &nameLength)) ||
            !FeedNameMatches(name, nameLength, keyword, count)) {
            continue;
        }
        const WCHAR* value = nullptr;
        int valueLength = 0;
        if (FAILED(attributes->getValue(i, &value, &valueLength))) {
            continue;
        }
        field[0] = '\0';
        ConvertFeedText(value, valueLength, field,
                        capacity < kAttributeValueCapacity ? capacity : kAttributeValueCapacity);
        return true;
    }
    return false;
}

HRESULT STDMETHODCALLTYPE FeedContentHandler::startDocument() {
    authorNameSeen = false;
    itemsListSeen = false;
    state = RSS_ROOT;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FeedContentHandler::startElement(const WCHAR*, int,
                                                           const WCHAR* localName,
                                                           int localNameLength, const WCHAR*, int,
                                                           ISAXAttributes* attributes) {
    auto is = [&](const char* keyword, int count) {
        return FeedNameMatches(localName, localNameLength, keyword, count);
    };
    auto isExactly = [&](const char* keyword, int count) {
        return FeedNameMatches(localName, localNameLength, keyword, count, true);
    };
    switch (state) {
        case RSS_ROOT:
            if (is("channel", 5) || is("feed", 4)) {
                Trace("RSS_ROOT ==> RSS_CHANNEL");
                state = RSS_CHANNEL;
            } else if (isExactly("item", 4) || isExactly("entry", 5)) {
                EmptyItemFields();
                Trace("RSS_ROOT ==> RSS_ITEM");
                state = RSS_ITEM;
            }
            break;
        case RSS_CHANNEL:
            if (is("title", 5)) {
                record.channelTitle[0] = '\0';
                Trace("RSS_CHANNEL ==> RSS_CHANNEL_TITLE");
                state = RSS_CHANNEL_TITLE;
            } else if (is("date", 4) || is("pubdate", 7) || is("modified", 8) ||
                       is("lastbuilddate", 13) || is("updated", 7)) {
                record.channelDate[0] = '\0';
                Trace("RSS_CHANNEL ==> RSS_GDATE");
                state = RSS_GDATE;
            } else if (isExactly("items", 5)) {
                itemsListSeen = true;
                Trace("RSS_CHANNEL ==> RSS_ITEMS");
                state = RSS_ITEMS;
            } else if (is("image", 5)) {
                if (SearchAttribute(attributes, "resource", 8, record.imageUrl,
                                    sizeof record.imageUrl)) {
                    Trace("Get image(in attr): %s", record.imageUrl);
                }
                Trace("RSS_CHANNEL ==> RSS_IMAGE");
                state = RSS_IMAGE;
            } else if (isExactly("item", 4) || isExactly("entry", 5)) {
                EmptyItemFields();
                Trace("RSS_CHANNEL ==> RSS_ITEM");
                state = RSS_ITEM;
            } else {
                state = RSS_CHANNEL_OTHER;
            }
            break;
        case RSS_IMAGE:
            if (is("url", 3)) {
                Trace("RSS_IMAGE==> RSS_IMAGE_URL");
                state = RSS_IMAGE_URL;
            } else {
                state = RSS_IMAGE_OTHER;
            }
            break;
        case RSS_ITEM:
            if (is("title", 5)) {
                record.title[0] = '\0';
                state = RSS_ITEM_TITLE;
            } else if (is("link", 4)) {
                state = StartItemLink(attributes) ? RSS_ITEM_LINK : RSS_ITEM_OTHER;
            } else if (is("description", 11) || is("content", 7)) {
                EmptyDescription();
                itemContentSeen = true;
                descriptionDepth = 0;
                state = RSS_ITEM_DESCRIPTION;
            } else if (is("summary", 7) && !itemContentSeen) {
                // Atom's summary stands in for the content of an entry that has none.
                EmptyDescription();
                descriptionDepth = 0;
                state = RSS_ITEM_DESCRIPTION;
            } else if (is("date", 4) || is("pubdate", 7) || is("issued", 6) || is("published", 9) ||
                       (is("updated", 7) && !itemPublishedSeen)) {
                // An entry's published date wins over its updated one, whichever comes first.
                itemPublishedSeen = itemPublishedSeen || is("published", 9);
                record.date[0] = '\0';
                state = RSS_ITEM_DATE;
            } else if (is("author", 6) || is("creator", 7)) {
                record.author[0] = '\0';
                state = RSS_ITEM_AUTHOR;
            } else {
                state = RSS_ITEM_OTHER;
            }
            break;
        case RSS_ITEM_AUTHOR:
            if (is("name", 4)) {
                record.author[0] = '\0';
                authorNameSeen = true;
                state = RSS_ITEM_AUTHOR_NAME;
            } else {
                state = RSS_ITEM_AUTHOR_OTHER;
            }
            break;
        case RSS_ITEM_DESCRIPTION:
            // Markup nested in a description (Atom's XHTML content) is kept as markup, for the
            // sanitizer to judge like any other.
            AppendStartTag(localName, localNameLength, attributes);
            ++descriptionDepth;
            break;
        default:
            // Elements nested in the remaining states neither move the machine nor stop the
            // collection of text.
            break;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FeedContentHandler::endElement(const WCHAR*, int, const WCHAR* localName,
                                                         int localNameLength, const WCHAR*, int) {
    auto is = [&](const char* keyword, int count) {
        return FeedNameMatches(localName, localNameLength, keyword, count);
    };
    auto isExactly = [&](const char* keyword, int count) {
        return FeedNameMatches(localName, localNameLength, keyword, count, true);
    };

    // Delivery tests the name without its length, so the end of a longer "item..." element read
    // directly inside the item delivers it too.
    if (state == RSS_ITEM && (is("item", 4) || is("entry", 5)) && itemCallback != nullptr) {
        itemCallback(&record, folderId);
    }

    switch (state) {
        case RSS_ROOT:
            break;
        case RSS_CHANNEL:
            if (is("channel", 5) || is("feed", 4)) {
                state = RSS_ROOT;
            }
            break;
        case RSS_CHANNEL_OTHER:
            Trace("to RSS_CHANNEL");
            state = RSS_CHANNEL;
            break;
        case RSS_CHANNEL_TITLE:
            if (is("title", 5)) {
                state = RSS_CHANNEL;
            }
            break;
        case RSS_ITEMS:
            if (is("items", 5)) {
                state = RSS_CHANNEL;
            }
            break;
        case RSS_IMAGE:
            if (is("image", 5)) {
                state = RSS_CHANNEL;
            }
            break;
        case RSS_IMAGE_OTHER:
            state = RSS_IMAGE;
            break;
        case RSS_IMAGE_URL:
            if (is("url", 3)) {
                state = RSS_IMAGE;
            }
            break;
        case RSS_GDATE:
            if (is("date", 4) || is("pubdate", 7) || is("modified", 8) || is("lastbuilddate", 13) ||
                is("updated", 7)) {
                state = RSS_CHANNEL;
            }
            break;
        case RSS_ITEM:
            if (isExactly("item", 4) || isExactly("entry", 5)) {
                state = itemsListSeen ? RSS_ROOT : RSS_CHANNEL;
            }
            break;
        case RSS_ITEM_TITLE:
            if (is("title", 5)) {
                state = RSS_ITEM;
            }
            break;
        case RSS_ITEM_DESCRIPTION:
            if (descriptionDepth > 0) {
                AppendEndTag(localName, localNameLength);
                --descriptionDepth;
            } else if (is("description", 11) || is("content", 7) || is("summary", 7)) {
                state = RSS_ITEM;
            }
            break;
        case RSS_ITEM_LINK:
            if (is("link", 4)) {
                state = RSS_ITEM;
            }
            break;
        case RSS_ITEM_AUTHOR:
            if (is("author", 6) || is("creator", 7)) {
                state = RSS_ITEM;
            }
            break;
        case RSS_ITEM_AUTHOR_NAME:
            if (is("name", 4)) {
                state = RSS_ITEM_AUTHOR;
            }
            break;
        case RSS_ITEM_AUTHOR_OTHER:
            state = RSS_ITEM_AUTHOR;
            break;
        case RSS_ITEM_DATE:
            if (is("date", 4) || is("pubdate", 7) || is("issued", 6) || is("published", 9) ||
                is("updated", 7)) {
                state = RSS_ITEM;
            }
            break;
        case RSS_ITEM_OTHER:
            Trace("to RSS_ITEM from RSS_ITEM_OTHER");
            state = RSS_ITEM;
            break;
        case RSS_IDLE:
            state = RSS_ROOT;
            break;
        default:
            break;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FeedContentHandler::characters(const WCHAR* text, int length) {
    if (length <= 0 || text == nullptr) {
        return S_OK;
    }
    char* field = nullptr;
    size_t capacity = 0;
    const char* traceFormat = nullptr;
    switch (state) {
        case RSS_CHANNEL_TITLE:
            field = record.channelTitle;
            capacity = sizeof record.channelTitle;
            traceFormat = "Channel:%s(%d, %d)\n";
            break;
        case RSS_IMAGE_URL:
            field = record.imageUrl;
            capacity = sizeof record.imageUrl;
            traceFormat = "ImageUrl:%s(%d, %d)\n";
            break;
        case RSS_GDATE:
            field = record.channelDate;
            capacity = sizeof record.channelDate;
            traceFormat = "GDate:%s(%d, %d)\n";
            break;
        case RSS_ITEM_TITLE:
            field = record.title;
            capacity = sizeof record.title;
            traceFormat = "Title:%s(%d, %d)\n";
            break;
        case RSS_ITEM_DESCRIPTION:
            field = record.description;
            capacity = sizeof record.description;
            break;
        case RSS_ITEM_LINK:
            field = record.link;
            capacity = sizeof record.link;
            break;
        case RSS_ITEM_AUTHOR:
            if (!authorNameSeen) {
                field = record.author;
                capacity = sizeof record.author;
            }
            break;
        case RSS_ITEM_AUTHOR_NAME:
            field = record.author;
            capacity = sizeof record.author;
            break;
        case RSS_ITEM_DATE:
            field = record.date;
            capacity = sizeof record.date;
            break;
        default:
            break;
    }
    if (field == nullptr) {
        return S_OK;
    }
    // The scratch is terminated whatever the conversion did, so what it holds can be appended
    // even when the conversion had to cut and answered 0.
    char* const scratch = conversion;
    int converted = ConvertFeedText(text, length, scratch, sizeof conversion);
    // What does not fit the field is dropped: the field keeps its first capacity - 1 bytes.
    // Text inside markup kept in a description is markup's text, escaped as such.
    if (field == record.description && descriptionDepth > 0) {
        static_cast<void>(AppendEscapedToDescription(scratch));
    } else if (field == record.description) {
        // The conversion answers the length of what it wrote, unless it had to cut.
        const size_t size = converted > 0 ? static_cast<size_t>(converted) : strlen(scratch);
        static_cast<void>(AppendToDescription(scratch, size));
    } else {
        static_cast<void>(AppendText(field, capacity, scratch));
    }
    if (traceFormat != nullptr) {
        Trace(traceFormat, field, converted, length);
    }
    return S_OK;
}
