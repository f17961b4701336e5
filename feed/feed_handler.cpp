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

// Appends `length` bytes of `text` at `*used`, the length of the text in `field`, with &, <, >
// and " written as entities, each whole or not at all, and other text cut between characters;
// moves `*used` on.
bool AppendEscapedAt(char* field, size_t capacity, size_t* used, const char* text, size_t length) {
    if (*used >= capacity) {
        return false;
    }
    const char* const end = text + length;
    for (const char* at = text; at < end;) {
        // A run of characters that stay as they are, as much of it as fits.
        const char* special = at;
        while (special < end && *special != '&' && *special != '<' && *special != '>' &&
               *special != '"') {
            ++special;
        }
        if (!AppendUtf8(field, capacity, used, at, static_cast<size_t>(special - at))) {
            return false;
        }
        if (special == end) {
            break;
        }
        // An entity goes in whole or not at all, so the field never ends inside one.
        const char* escaped = *special == '&'   ? "&amp;"
                              : *special == '<' ? "&lt;"
                              : *special == '>' ? "&gt;"
                                                : "&quot;";
        const size_t size = strlen(escaped);
        if (*used + size >= capacity) {
            return false;
        }
        memcpy(field + *used, escaped, size + 1);
        *used += size;
        at = special + 1;
    }
    return true;
}

}  // namespace

bool AppendEscaped(char* field, size_t capacity, const char* text, size_t length) {
    size_t used = strnlen(field, capacity);
    return AppendEscapedAt(field, capacity, &used, text, length);
}

bool FeedNameMatches(const char* name, size_t length, const char* keyword, size_t count,
                     bool exact) {
    if (name == nullptr || length < count || (exact && length != count)) {
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        unsigned int c = static_cast<unsigned char>(name[i]);
        // Only ASCII letters fold; any other character, ASCII or not, must be the keyword's own.
        if (c > 0x7F || FoldAscii(c) != FoldAscii(static_cast<unsigned char>(keyword[i]))) {
            return false;
        }
    }
    return true;
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

void FeedContentHandler::EmptyDescription() {
    record.description[0] = '\0';
    descriptionLength = 0;
}

bool FeedContentHandler::AppendToDescription(const char* text, size_t length) {
    return AppendUtf8(record.description, sizeof record.description, &descriptionLength, text,
                      length);
}

bool FeedContentHandler::AppendEscapedToDescription(const char* text, size_t length) {
    return AppendEscapedAt(record.description, sizeof record.description, &descriptionLength, text,
                           length);
}

void FeedContentHandler::EmptyItemFields() {
    record.title[0] = '\0';
    EmptyDescription();
    record.link[0] = '\0';
    record.date[0] = '\0';
    record.author[0] = '\0';
    record.guid[0] = '\0';
    itemPublishedSeen = false;
    itemContentSeen = false;
    itemLinkRank = kNoLink;
}

const XmlAttribute* FeedContentHandler::FindAttribute(const XmlAttribute* attributes, size_t count,
                                                      const char* keyword, size_t length,
                                                      bool exact) {
    for (size_t i = 0; i < count; ++i) {
        const XmlName& name = attributes[i].name;
        if (FeedNameMatches(name.local, name.localLength, keyword, length, exact)) {
            return &attributes[i];
        }
    }
    return nullptr;
}

bool FeedContentHandler::StartItemLink(const XmlAttribute* attributes, size_t count) {
    const XmlAttribute* href = FindAttribute(attributes, count, "href", 4, false);
    if (href == nullptr) {
        // A link without href (RSS) is read as it always was: its text, replacing any before.
        record.link[0] = '\0';
        itemLinkRank = kPageLink;
        return true;
    }
    // Of an Atom entry's links, the first to the entry's own page (rel "alternate", or none) is
    // the item's link; the others (self, edit, replies, enclosure, ...) only when it has none.
    char rel[kAttributeValueCapacity] = "";
    const XmlAttribute* relation = FindAttribute(attributes, count, "rel", 3, true);
    if (relation != nullptr) {
        size_t used = 0;
        // Only compared with a short word: a longer one cut is no match either.
        static_cast<void>(
            AppendUtf8(rel, sizeof rel, &used, relation->value, relation->valueLength));
    }
    const int rank = relation == nullptr || IsAlternateRel(rel) ? kPageLink : kOtherLink;
    if (rank <= itemLinkRank) {
        return false;
    }
    size_t used = 0;
    record.link[0] = '\0';
    // A link longer than its field is kept cut, as the text of a link element always was.
    static_cast<void>(
        AppendUtf8(record.link, sizeof record.link, &used, href->value, href->valueLength));
    itemLinkRank = rank;
    QF_TRACE_DETAIL("Get Link(in attr): %s", record.link);
    return true;
}

void FeedContentHandler::TakeAbout(const XmlAttribute* attributes, size_t count) {
    // An RSS 1.0 item names itself in rdf:about.
    const XmlAttribute* about = FindAttribute(attributes, count, "about", 5, true);
    if (about != nullptr) {
        size_t used = 0;
        static_cast<void>(
            AppendUtf8(record.guid, sizeof record.guid, &used, about->value, about->valueLength));
    }
}

void FeedContentHandler::AppendStartTag(const XmlName& name, const XmlAttribute* attributes,
                                        size_t count) {
    static_cast<void>(AppendToDescription("<", 1) &&
                      AppendToDescription(name.local, name.localLength));
    for (size_t i = 0; i < count; ++i) {
        const XmlAttribute& attribute = attributes[i];
        static_cast<void>(AppendToDescription(" ", 1) &&
                          AppendToDescription(attribute.name.local, attribute.name.localLength) &&
                          AppendToDescription("=\"", 2) &&
                          AppendEscapedToDescription(attribute.value, attribute.valueLength) &&
                          AppendToDescription("\"", 1));
    }
    static_cast<void>(AppendToDescription(">", 1));
}

void FeedContentHandler::AppendEndTag(const XmlName& name) {
    static_cast<void>(AppendToDescription("</", 2) &&
                      AppendToDescription(name.local, name.localLength) &&
                      AppendToDescription(">", 1));
}

bool FeedContentHandler::SearchAttribute(const XmlAttribute* attributes, size_t count,
                                         const char* keyword, size_t length, char* field,
                                         size_t capacity) {
    const XmlAttribute* found = FindAttribute(attributes, count, keyword, length, false);
    if (found == nullptr) {
        return false;
    }
    field[0] = '\0';
    size_t used = 0;
    static_cast<void>(AppendUtf8(field, capacity, &used, found->value, found->valueLength));
    return true;
}

void FeedContentHandler::StartDocument() {
    authorNameSeen = false;
    itemsListSeen = false;
    state = RSS_ROOT;
}

void FeedContentHandler::StartElement(const XmlName& name, const XmlAttribute* attributes,
                                      size_t count) {
    auto is = [&](const char* keyword, size_t length) {
        return FeedNameMatches(name.local, name.localLength, keyword, length);
    };
    auto isExactly = [&](const char* keyword, size_t length) {
        return FeedNameMatches(name.local, name.localLength, keyword, length, true);
    };
    switch (state) {
        case RSS_ROOT:
            if (is("channel", 5) || is("feed", 4)) {
                QF_TRACE_DETAIL("RSS_ROOT ==> RSS_CHANNEL");
                state = RSS_CHANNEL;
            } else if (isExactly("item", 4) || isExactly("entry", 5)) {
                EmptyItemFields();
                TakeAbout(attributes, count);
                QF_TRACE_DETAIL("RSS_ROOT ==> RSS_ITEM");
                state = RSS_ITEM;
            }
            break;
        case RSS_CHANNEL:
            if (is("title", 5)) {
                record.channelTitle[0] = '\0';
                QF_TRACE_DETAIL("RSS_CHANNEL ==> RSS_CHANNEL_TITLE");
                state = RSS_CHANNEL_TITLE;
            } else if (is("date", 4) || is("pubdate", 7) || is("modified", 8) ||
                       is("lastbuilddate", 13) || is("updated", 7)) {
                record.channelDate[0] = '\0';
                QF_TRACE_DETAIL("RSS_CHANNEL ==> RSS_GDATE");
                state = RSS_GDATE;
            } else if (isExactly("items", 5)) {
                itemsListSeen = true;
                QF_TRACE_DETAIL("RSS_CHANNEL ==> RSS_ITEMS");
                state = RSS_ITEMS;
            } else if (is("image", 5)) {
                if (SearchAttribute(attributes, count, "resource", 8, record.imageUrl,
                                    sizeof record.imageUrl)) {
                    QF_TRACE_DETAIL("Get image(in attr): %s", record.imageUrl);
                }
                QF_TRACE_DETAIL("RSS_CHANNEL ==> RSS_IMAGE");
                state = RSS_IMAGE;
            } else if (isExactly("item", 4) || isExactly("entry", 5)) {
                EmptyItemFields();
                TakeAbout(attributes, count);
                QF_TRACE_DETAIL("RSS_CHANNEL ==> RSS_ITEM");
                state = RSS_ITEM;
            } else {
                state = RSS_CHANNEL_OTHER;
            }
            break;
        case RSS_IMAGE:
            if (is("url", 3)) {
                QF_TRACE_DETAIL("RSS_IMAGE==> RSS_IMAGE_URL");
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
                state = StartItemLink(attributes, count) ? RSS_ITEM_LINK : RSS_ITEM_OTHER;
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
            } else if (isExactly("guid", 4) || isExactly("id", 2)) {
                record.guid[0] = '\0';
                state = RSS_ITEM_GUID;
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
            AppendStartTag(name, attributes, count);
            ++descriptionDepth;
            break;
        default:
            // Elements nested in the remaining states neither move the machine nor stop the
            // collection of text.
            break;
    }
}

void FeedContentHandler::EndElement(const XmlName& name) {
    auto is = [&](const char* keyword, size_t length) {
        return FeedNameMatches(name.local, name.localLength, keyword, length);
    };
    auto isExactly = [&](const char* keyword, size_t length) {
        return FeedNameMatches(name.local, name.localLength, keyword, length, true);
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
            QF_TRACE_DETAIL("to RSS_CHANNEL");
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
                AppendEndTag(name);
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
            QF_TRACE_DETAIL("to RSS_ITEM from RSS_ITEM_OTHER");
            state = RSS_ITEM;
            break;
        case RSS_ITEM_GUID:
            if (isExactly("guid", 4) || isExactly("id", 2)) {
                state = RSS_ITEM;
            }
            break;
        case RSS_IDLE:
            state = RSS_ROOT;
            break;
        default:
            break;
    }
}

void FeedContentHandler::Text(const char* text, size_t length) {
    if (length == 0 || text == nullptr) {
        return;
    }
    char* field = nullptr;
    size_t capacity = 0;
    const char* traceFormat = nullptr;
    switch (state) {
        case RSS_CHANNEL_TITLE:
            field = record.channelTitle;
            capacity = sizeof record.channelTitle;
            traceFormat = "Channel:%s(%d)\n";
            break;
        case RSS_IMAGE_URL:
            field = record.imageUrl;
            capacity = sizeof record.imageUrl;
            traceFormat = "ImageUrl:%s(%d)\n";
            break;
        case RSS_GDATE:
            field = record.channelDate;
            capacity = sizeof record.channelDate;
            traceFormat = "GDate:%s(%d)\n";
            break;
        case RSS_ITEM_TITLE:
            field = record.title;
            capacity = sizeof record.title;
            traceFormat = "Title:%s(%d)\n";
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
        case RSS_ITEM_GUID:
            field = record.guid;
            capacity = sizeof record.guid;
            break;
        default:
            break;
    }
    if (field == nullptr) {
        return;
    }
    // What does not fit the field is dropped, cut between characters. Text inside markup kept in
    // a description is markup's text, escaped as such.
    if (field == record.description && descriptionDepth > 0) {
        static_cast<void>(AppendEscapedToDescription(text, length));
    } else if (field == record.description) {
        static_cast<void>(AppendToDescription(text, length));
    } else {
        size_t used = strnlen(field, capacity);
        static_cast<void>(AppendUtf8(field, capacity, &used, text, length));
    }
    if (traceFormat != nullptr) {
        QF_TRACE_DETAIL(traceFormat, field, static_cast<int>(length));
    }
}
