#include "feed/feed_handler.h"

#include <cstring>
#include <memory>
#include <new>

#include "base/status.h"
#include "base/text.h"
#include "base/url.h"

namespace {

// Whether an element of `rank` fills a field that one of rank `*held` filled so far (0: none):
// a higher rank replaces a lower one, of equal ranks the first stays. When it does, it holds it.
bool Outranks(int rank, int* held) {
    if (rank <= *held) {
        return false;
    }
    *held = rank;
    return true;
}

bool SameUri(const char* uri, size_t length, const char* known) {
    return strlen(known) == length && memcmp(uri, known, length) == 0;
}

const char kAtom10[] = "http://www.w3.org/2005/Atom";
const char kAtom03[] = "http://purl.org/atom/ns#";
const char kXmlNamespace[] = "http://www.w3.org/XML/1998/namespace";

bool IsAtomUri(const char* uri, size_t length) {
    return SameUri(uri, length, kAtom10) || SameUri(uri, length, kAtom03);
}

// One row of the table of feed elements: in this namespace, with this local name, standing here,
// the element fills this; of elements that fill the same field, the higher rank wins.
struct ElementRow {
    FeedNamespace space;
    const char* local;
    FeedPlace place;
    FeedRole role;
    int rank;
};

// Elements of other namespaces (Dublin Core, media RSS, iTunes) rank below the core ones, so that
// they fill a field only when the core element is missing: a photo's media:title is no article's
// title, an episode's itunes:title lacks its number.
const ElementRow kElementRows[] = {
    {FeedNamespace::kCore, "rss", FeedPlace::kDocument, FeedRole::kDocument, 0},
    {FeedNamespace::kRdf, "RDF", FeedPlace::kDocument, FeedRole::kDocument, 0},
    {FeedNamespace::kCore, "channel", FeedPlace::kDocument, FeedRole::kChannel, 0},
    {FeedNamespace::kCore, "feed", FeedPlace::kDocument, FeedRole::kChannel, 0},
    // RSS 1.0 puts its items and image beside the channel; a bare Atom entry is a document.
    {FeedNamespace::kCore, "item", FeedPlace::kDocument, FeedRole::kItem, 0},
    {FeedNamespace::kCore, "entry", FeedPlace::kDocument, FeedRole::kItem, 0},
    {FeedNamespace::kCore, "image", FeedPlace::kDocument, FeedRole::kImage, 0},

    {FeedNamespace::kCore, "title", FeedPlace::kChannel, FeedRole::kChannelTitle, 2},
    {FeedNamespace::kDublinCore, "title", FeedPlace::kChannel, FeedRole::kChannelTitle, 1},
    {FeedNamespace::kCore, "lastBuildDate", FeedPlace::kChannel, FeedRole::kChannelDate, 3},
    {FeedNamespace::kCore, "pubDate", FeedPlace::kChannel, FeedRole::kChannelDate, 3},
    {FeedNamespace::kCore, "updated", FeedPlace::kChannel, FeedRole::kChannelDate, 3},
    {FeedNamespace::kCore, "modified", FeedPlace::kChannel, FeedRole::kChannelDate, 3},
    {FeedNamespace::kDublinCore, "date", FeedPlace::kChannel, FeedRole::kChannelDate, 2},
    {FeedNamespace::kDcTerms, "modified", FeedPlace::kChannel, FeedRole::kChannelDate, 2},
    {FeedNamespace::kCore, "image", FeedPlace::kChannel, FeedRole::kImage, 0},
    {FeedNamespace::kCore, "logo", FeedPlace::kChannel, FeedRole::kImageUrl, 2},
    {FeedNamespace::kCore, "icon", FeedPlace::kChannel, FeedRole::kImageUrl, 1},
    {FeedNamespace::kCore, "item", FeedPlace::kChannel, FeedRole::kItem, 0},
    {FeedNamespace::kCore, "entry", FeedPlace::kChannel, FeedRole::kItem, 0},

    {FeedNamespace::kCore, "url", FeedPlace::kImage, FeedRole::kImageUrl, 2},

    {FeedNamespace::kCore, "title", FeedPlace::kItem, FeedRole::kTitle, 3},
    {FeedNamespace::kDublinCore, "title", FeedPlace::kItem, FeedRole::kTitle, 2},
    // The fullest text first: the whole article, then its summary, then what other vocabularies
    // say about it.
    {FeedNamespace::kContent, "encoded", FeedPlace::kItem, FeedRole::kText, 3},
    {FeedNamespace::kCore, "content", FeedPlace::kItem, FeedRole::kText, 3},
    {FeedNamespace::kXhtml, "body", FeedPlace::kItem, FeedRole::kText, 3},
    {FeedNamespace::kCore, "body", FeedPlace::kItem, FeedRole::kText, 3},
    {FeedNamespace::kCore, "description", FeedPlace::kItem, FeedRole::kText, 2},
    {FeedNamespace::kCore, "summary", FeedPlace::kItem, FeedRole::kText, 2},
    {FeedNamespace::kDublinCore, "description", FeedPlace::kItem, FeedRole::kText, 1},
    {FeedNamespace::kItunes, "summary", FeedPlace::kItem, FeedRole::kText, 1},
    {FeedNamespace::kMedia, "description", FeedPlace::kItem, FeedRole::kText, 1},
    {FeedNamespace::kCore, "link", FeedPlace::kItem, FeedRole::kLink, 0},
    {FeedNamespace::kCore, "guid", FeedPlace::kItem, FeedRole::kGuid, 0},
    {FeedNamespace::kCore, "id", FeedPlace::kItem, FeedRole::kGuid, 0},
    // When it was published, else when it was changed.
    {FeedNamespace::kCore, "pubDate", FeedPlace::kItem, FeedRole::kDate, 4},
    {FeedNamespace::kCore, "published", FeedPlace::kItem, FeedRole::kDate, 4},
    {FeedNamespace::kCore, "issued", FeedPlace::kItem, FeedRole::kDate, 4},
    {FeedNamespace::kCore, "created", FeedPlace::kItem, FeedRole::kDate, 4},
    {FeedNamespace::kDublinCore, "date", FeedPlace::kItem, FeedRole::kDate, 3},
    {FeedNamespace::kDcTerms, "created", FeedPlace::kItem, FeedRole::kDate, 3},
    {FeedNamespace::kDcTerms, "issued", FeedPlace::kItem, FeedRole::kDate, 3},
    {FeedNamespace::kCore, "updated", FeedPlace::kItem, FeedRole::kDate, 2},
    {FeedNamespace::kCore, "modified", FeedPlace::kItem, FeedRole::kDate, 2},
    {FeedNamespace::kDcTerms, "modified", FeedPlace::kItem, FeedRole::kDate, 1},
    {FeedNamespace::kCore, "author", FeedPlace::kItem, FeedRole::kAuthor, 3},
    {FeedNamespace::kDublinCore, "creator", FeedPlace::kItem, FeedRole::kAuthor, 2},
    {FeedNamespace::kItunes, "author", FeedPlace::kItem, FeedRole::kAuthor, 1},
    {FeedNamespace::kCore, "enclosure", FeedPlace::kItem, FeedRole::kEnclosure, 0},
    {FeedNamespace::kMedia, "content", FeedPlace::kItem, FeedRole::kEnclosure, 0},
    {FeedNamespace::kMedia, "group", FeedPlace::kItem, FeedRole::kMediaGroup, 0},
    {FeedNamespace::kMedia, "thumbnail", FeedPlace::kItem, FeedRole::kThumbnail, 0},
    {FeedNamespace::kItunes, "duration", FeedPlace::kItem, FeedRole::kDuration, 0},

    // When the publisher would have the feed asked for again.
    {FeedNamespace::kCore, "ttl", FeedPlace::kChannel, FeedRole::kTtl, 0},
    {FeedNamespace::kSyndication, "updatePeriod", FeedPlace::kChannel, FeedRole::kUpdatePeriod, 0},
    {FeedNamespace::kSyndication, "updateFrequency", FeedPlace::kChannel,
     FeedRole::kUpdateFrequency, 0},
    {FeedNamespace::kCore, "skipHours", FeedPlace::kChannel, FeedRole::kSkipHours, 0},
    {FeedNamespace::kCore, "hour", FeedPlace::kSkipHours, FeedRole::kSkipHour, 0},
    {FeedNamespace::kCore, "skipDays", FeedPlace::kChannel, FeedRole::kSkipDays, 0},
    {FeedNamespace::kCore, "day", FeedPlace::kSkipDays, FeedRole::kSkipDay, 0},

    {FeedNamespace::kCore, "name", FeedPlace::kAuthor, FeedRole::kAuthorName, 0},
    {FeedNamespace::kCore, "email", FeedPlace::kAuthor, FeedRole::kAuthorEmail, 0},
    {FeedNamespace::kThread, "in-reply-to", FeedPlace::kItem, FeedRole::kInReplyTo, 0},
    {FeedNamespace::kMedia, "player", FeedPlace::kItem, FeedRole::kPlayer, 0},
    {FeedNamespace::kMedia, "player", FeedPlace::kMediaGroup, FeedRole::kPlayer, 0},

    {FeedNamespace::kMedia, "content", FeedPlace::kMediaGroup, FeedRole::kEnclosure, 0},
    {FeedNamespace::kMedia, "thumbnail", FeedPlace::kMediaGroup, FeedRole::kThumbnail, 0},
    {FeedNamespace::kMedia, "description", FeedPlace::kMediaGroup, FeedRole::kText, 1},
};

const ElementRow* FindRow(FeedNamespace space, const XmlName& name, FeedPlace place) {
    for (const ElementRow& row : kElementRows) {
        if (row.space == space && row.place == place &&
            SameAsciiWord(name.local, name.localLength, row.local)) {
            return &row;
        }
    }
    return nullptr;
}

// Where the children of an element of this role stand.
FeedPlace ChildrenPlace(FeedRole role) {
    switch (role) {
        case FeedRole::kDocument:
            return FeedPlace::kDocument;
        case FeedRole::kChannel:
            return FeedPlace::kChannel;
        case FeedRole::kItem:
            return FeedPlace::kItem;
        case FeedRole::kImage:
            return FeedPlace::kImage;
        case FeedRole::kAuthor:
            return FeedPlace::kAuthor;
        case FeedRole::kMediaGroup:
            return FeedPlace::kMediaGroup;
        case FeedRole::kSkipHours:
            return FeedPlace::kSkipHours;
        case FeedRole::kSkipDays:
            return FeedPlace::kSkipDays;
        default:
            return FeedPlace::kNone;
    }
}

// The first attribute with this local name (ASCII letters without regard to case), in no
// namespace or any; null when there is none.
const XmlAttribute* FindAttribute(const XmlAttribute* attributes, size_t count, const char* local) {
    for (size_t i = 0; i < count; ++i) {
        if (SameAsciiWord(attributes[i].name.local, attributes[i].name.localLength, local)) {
            return &attributes[i];
        }
    }
    return nullptr;
}

// Copies an attribute's value into a field, cut between characters; empties the field when the
// attribute is missing.
void CopyAttribute(const XmlAttribute* attribute, char* field, size_t capacity) {
    field[0] = '\0';
    if (attribute != nullptr) {
        size_t used = 0;
        static_cast<void>(
            AppendUtf8(field, capacity, &used, attribute->value, attribute->valueLength));
    }
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

// Decodes base64 text in place (the bytes never outgrow the text), skipping white space and
// ending at padding or any other character; returns the decoded length.
size_t DecodeBase64InPlace(char* text, size_t length) {
    size_t out = 0;
    unsigned int bits = 0;
    int count = 0;
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            continue;
        }
        const int value = Base64Value(c);
        if (value < 0) {
            break;
        }
        bits = (bits << 6) | static_cast<unsigned int>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            text[out++] = static_cast<char>((bits >> count) & 0xFF);
        }
    }
    text[out] = '\0';
    return out;
}

// The length of the longest start of `text` that is well-formed UTF-8 without NUL: decoded bytes
// must be text before anything reads them as text.
size_t ValidUtf8Length(const char* text, size_t length) {
    size_t at = 0;
    while (at < length) {
        const unsigned char lead = static_cast<unsigned char>(text[at]);
        const size_t size = lead < 0x80                   ? 1
                            : lead >= 0xC2 && lead < 0xE0 ? 2
                            : lead >= 0xE0 && lead < 0xF0 ? 3
                            : lead >= 0xF0 && lead < 0xF5 ? 4
                                                          : 0;
        if (lead == 0 || size == 0 || at + size > length) {
            break;
        }
        bool whole = true;
        for (size_t i = 1; i < size && whole; ++i) {
            whole = (static_cast<unsigned char>(text[at + i]) & 0xC0) == 0x80;
        }
        if (!whole) {
            break;
        }
        at += size;
    }
    return at;
}

}  // namespace

FeedNamespace FeedNamespaceOf(const char* uri, size_t length) {
    static const struct {
        const char* uri;
        FeedNamespace space;
    } kKnown[] = {
        {"", FeedNamespace::kCore},
        {"http://purl.org/rss/1.0/", FeedNamespace::kCore},
        {"http://my.netscape.com/rdf/simple/0.9/", FeedNamespace::kCore},
        {"http://backend.userland.com/rss2", FeedNamespace::kCore},
        {"http://blogs.law.harvard.edu/tech/rss", FeedNamespace::kCore},
        {kAtom10, FeedNamespace::kCore},
        {kAtom03, FeedNamespace::kCore},
        {"http://www.w3.org/1999/02/22-rdf-syntax-ns#", FeedNamespace::kRdf},
        {"http://purl.org/rss/1.0/modules/content/", FeedNamespace::kContent},
        {"http://purl.org/dc/elements/1.1/", FeedNamespace::kDublinCore},
        {"http://purl.org/dc/terms/", FeedNamespace::kDcTerms},
        {"http://search.yahoo.com/mrss/", FeedNamespace::kMedia},
        {"http://search.yahoo.com/mrss", FeedNamespace::kMedia},
        {"http://www.itunes.com/dtds/podcast-1.0.dtd", FeedNamespace::kItunes},
        {"http://www.w3.org/1999/xhtml", FeedNamespace::kXhtml},
        {"http://purl.org/rss/1.0/modules/syndication/", FeedNamespace::kSyndication},
        {"http://purl.org/syndication/thread/1.0", FeedNamespace::kThread},
    };
    for (const auto& known : kKnown) {
        if (SameUri(uri, length, known.uri)) {
            return known.space;
        }
    }
    return FeedNamespace::kOther;
}

bool IsAlternateRel(const char* rel, size_t length) {
    static const char kIanaPrefix[] = "http://www.iana.org/assignments/relation/";
    if (length >= sizeof kIanaPrefix - 1 &&
        strncmp(rel, kIanaPrefix, sizeof kIanaPrefix - 1) == 0) {
        rel += sizeof kIanaPrefix - 1;
        length -= sizeof kIanaPrefix - 1;
    }
    return SameAsciiWord(rel, length, "alternate");
}

namespace {

// Whether a text holds nothing but white space.
bool IsBlank(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (!IsAsciiSpace(text[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

FeedContentHandler::FeedContentHandler(FeedItemCallback callback, void* context,
                                       const char* documentUrl)
    : itemCallback_(callback), context_(context), documentUrl_(documentUrl) {
    memset(&record, 0, sizeof record);
    rootUri_[0] = '\0';
    linkText_[0] = '\0';
    heldBase_[0] = '\0';
    heldTitle_[0] = '\0';
    hintText_[0] = '\0';
}

void FeedContentHandler::HoldText(int rank) {
    heldTextRank_ = rank;
    holdingText_ = !IsBlank(record.description, textLength_);
    if (!holdingText_) {
        return;
    }
    if (heldText_ == nullptr) {
        heldText_.reset(new (std::nothrow) char[kItemDescriptionCapacity]);
    }
    if (heldText_ == nullptr) {
        holdingText_ = false;  // without room to keep it, the outranking text has its way
        return;
    }
    memcpy(heldText_.get(), record.description, textLength_ + 1);
    heldTextLength_ = textLength_;
    heldTextCut_ = record.descriptionCut;
    memcpy(heldBase_, record.baseUrl, sizeof heldBase_);
}

void FeedContentHandler::HoldTitle(int rank) {
    heldTitleRank_ = rank;
    memcpy(heldTitle_, record.title, sizeof heldTitle_);
    heldTitleIsHtml_ = record.titleIsHtml;
}

void FeedContentHandler::EndTitle() {
    if (IsBlank(record.title, strlen(record.title))) {
        memcpy(record.title, heldTitle_, sizeof heldTitle_);
        record.titleIsHtml = heldTitleIsHtml_;
        titleRank_ = heldTitleRank_;
    }
}

void FeedContentHandler::EmptyItemFields() {
    record.title[0] = '\0';
    record.description[0] = '\0';
    record.link[0] = '\0';
    record.date[0] = '\0';
    record.author[0] = '\0';
    record.authorEmail[0] = '\0';
    record.inReplyTo[0] = '\0';
    record.guid[0] = '\0';
    record.baseUrl[0] = '\0';
    record.titleIsHtml = false;
    record.descriptionCut = false;
    record.enclosureCount = 0;
    record.thumbnail[0] = '\0';
    record.duration[0] = '\0';
    textLength_ = 0;
    titleRank_ = textRank_ = dateRank_ = linkRank_ = 0;
    personRank_ = nameRank_ = emailRank_ = 0;
    personNameRead_ = false;
    playerUrl_[0] = '\0';
    guidFromAbout_ = false;
    guidIsPermaLink_ = false;
    guidPermaLinkSaid_ = false;
    guidFromAtom_ = false;
    textBase64_ = false;
    holdingText_ = false;
}

const char* FeedContentHandler::CurrentBase() const {
    if (baseCount_ > 0) {
        return bases_[baseCount_ - 1];
    }
    return documentUrl_ != nullptr ? documentUrl_ : "";
}

size_t FeedContentHandler::EnterBase(const XmlAttribute* attributes, size_t count) {
    const size_t outer = baseCount_;
    for (size_t i = 0; i < count; ++i) {
        const XmlName& name = attributes[i].name;
        if (!SameUri(name.uri, name.uriLength, kXmlNamespace) ||
            !SameAsciiWord(name.local, name.localLength, "base")) {
            continue;
        }
        if (baseCount_ == kXmlBaseDepth) {
            break;  // deeper bases than any feed writes: the outer one serves
        }
        char reference[kItemLinkCapacity];
        CopyAttribute(&attributes[i], reference, sizeof reference);
        if (ResolveReference(CurrentBase(), reference, bases_[baseCount_], kItemLinkCapacity,
                             UrlFragment::kDrop)) {
            ++baseCount_;
        }
        break;
    }
    return outer;
}

void FeedContentHandler::ResolveInto(const char* reference, size_t length, char* field,
                                     size_t capacity) {
    char written[kItemLinkCapacity];
    size_t used = 0;
    written[0] = '\0';
    static_cast<void>(AppendUtf8(written, sizeof written, &used, reference, length));
    // Links are written with the white space of the markup around them.
    const char* start = written + strspn(written, " \t\r\n");
    size_t end = strlen(start);
    while (end > 0 && strchr(" \t\r\n", start[end - 1]) != nullptr) {
        --end;
    }
    char trimmed[kItemLinkCapacity];
    memcpy(trimmed, start, end);
    trimmed[end] = '\0';
    // Without an address to resolve against, a relative reference stays as the feed wrote it.
    if (trimmed[0] == '\0' || CurrentBase()[0] == '\0' ||
        !ResolveReference(CurrentBase(), trimmed, field, capacity, UrlFragment::kKeep)) {
        static_cast<void>(CopyText(field, capacity, trimmed));
    }
}

void FeedContentHandler::AppendToText(const char* text, size_t length) {
    if (record.descriptionCut) {
        return;
    }
    if (AppendUtf8(record.description, sizeof record.description, &textLength_, text, length)) {
        return;
    }
    MarkTextCut();
}

void FeedContentHandler::MarkTextCut() {
    // Full: the text ends before any tag or reference the cut fell into, so that what stays
    // is whole markup.
    record.descriptionCut = true;
    char* const text = record.description;
    char* const lastOpen = strrchr(text, '<');
    if (lastOpen != nullptr && strchr(lastOpen, '>') == nullptr) {
        *lastOpen = '\0';
    }
    char* const lastAmp = strrchr(text, '&');
    if (lastAmp != nullptr && strchr(lastAmp, ';') == nullptr) {
        *lastAmp = '\0';
    }
    textLength_ = strlen(text);
}

void FeedContentHandler::AppendEscapedToText(const char* text, size_t length) {
    if (record.descriptionCut) {
        return;
    }
    TextWriter writer(record.description, sizeof record.description, textLength_);
    const bool whole = writer.PutEscapedHtml(text, length);
    textLength_ = writer.length();
    if (!whole) {
        MarkTextCut();
    }
}

void FeedContentHandler::AppendStartTag(const XmlName& name, const XmlAttribute* attributes,
                                        size_t count) {
    AppendToText("<", 1);
    AppendToText(name.local, name.localLength);
    for (size_t i = 0; i < count; ++i) {
        const XmlAttribute& attribute = attributes[i];
        // xml:base and xml:lang say things about the XML, not the HTML it holds.
        if (SameUri(attribute.name.uri, attribute.name.uriLength, kXmlNamespace)) {
            continue;
        }
        AppendToText(" ", 1);
        AppendToText(attribute.name.local, attribute.name.localLength);
        AppendToText("=\"", 2);
        AppendEscapedToText(attribute.value, attribute.valueLength);
        AppendToText("\"", 1);
    }
    AppendToText(">", 1);
}

void FeedContentHandler::AppendEndTag(const XmlName& name) {
    AppendToText("</", 2);
    AppendToText(name.local, name.localLength);
    AppendToText(">", 1);
}

void FeedContentHandler::StartText(FeedNamespace space, const XmlAttribute* attributes,
                                   size_t count) {
    const bool atom = space == FeedNamespace::kCore && atomElement_;
    record.description[0] = '\0';
    record.descriptionCut = false;
    textLength_ = 0;
    textBase64_ = false;
    // How the text is written: Atom says so in type (and Atom 0.3 in mode), plain text unless it
    // says otherwise; the other vocabularies write HTML, XHTML's body is markup.
    textKind_ = space == FeedNamespace::kXhtml           ? TextKind::kXhtml
                : atom || space == FeedNamespace::kMedia ? TextKind::kPlain
                                                         : TextKind::kHtml;
    const XmlAttribute* type = FindAttribute(attributes, count, "type");
    if (type != nullptr) {
        const char* value = type->value;
        const size_t length = type->valueLength;
        if (SameAsciiWord(value, length, "text") || SameAsciiWord(value, length, "text/plain")) {
            textKind_ = TextKind::kPlain;
        } else if (SameAsciiWord(value, length, "html") ||
                   SameAsciiWord(value, length, "text/html")) {
            textKind_ = TextKind::kHtml;
        } else if (SameAsciiWord(value, length, "xhtml") ||
                   SameAsciiWord(value, length, "application/xhtml+xml")) {
            textKind_ = TextKind::kXhtml;
        }
    }
    textParagraphs_ = space == FeedNamespace::kMedia && textKind_ == TextKind::kPlain;
    const XmlAttribute* mode = atom ? FindAttribute(attributes, count, "mode") : nullptr;
    if (mode != nullptr && SameAsciiWord(mode->value, mode->valueLength, "base64")) {
        textBase64_ = true;
    } else if (mode != nullptr && SameAsciiWord(mode->value, mode->valueLength, "escaped")) {
        textKind_ = textKind_ == TextKind::kPlain && type == nullptr ? TextKind::kHtml : textKind_;
    }
    static_cast<void>(CopyText(record.baseUrl, sizeof record.baseUrl, CurrentBase()));
}

void FeedContentHandler::FinishText() {
    DecodeText();
    if (textParagraphs_ && !IsBlank(record.description, textLength_)) {
        ParagraphsOfPlainText();
    }
    if (IsBlank(record.description, textLength_)) {
        // It counts as no text at all: the one it replaced, if any, is the item's again, and a
        // text of any rank may still come.
        textRank_ = heldTextRank_;
        if (holdingText_) {
            memcpy(record.description, heldText_.get(), heldTextLength_ + 1);
            textLength_ = heldTextLength_;
            record.descriptionCut = heldTextCut_;
            memcpy(record.baseUrl, heldBase_, sizeof heldBase_);
        } else {
            record.description[0] = '\0';
            textLength_ = 0;
            record.descriptionCut = false;
        }
    }
    holdingText_ = false;
}

void FeedContentHandler::DecodeText() {
    if (!textBase64_) {
        return;
    }
    textBase64_ = false;
    size_t length = DecodeBase64InPlace(record.description, textLength_);
    length = ValidUtf8Length(record.description, length);
    record.description[length] = '\0';
    textLength_ = length;
    if (textKind_ != TextKind::kPlain || length == 0) {
        return;
    }
    // Decoded plain text is escaped like any other.
    std::unique_ptr<char[]> decoded(new (std::nothrow) char[length + 1]);
    if (decoded == nullptr) {
        record.description[0] = '\0';
        textLength_ = 0;
        return;
    }
    memcpy(decoded.get(), record.description, length + 1);
    record.description[0] = '\0';
    textLength_ = 0;
    AppendEscapedToText(decoded.get(), length);
}

bool FeedContentHandler::StartLink(const XmlAttribute* attributes, size_t count) {
    const XmlAttribute* href = FindAttribute(attributes, count, "href");
    if (href == nullptr) {
        // RSS: the link is the element's text, read at its end.
        if (linkRank_ >= 2) {
            return false;
        }
        linkText_[0] = '\0';
        linkTextLength_ = 0;
        return true;
    }
    // Atom: the first link to the entry's own page (rel "alternate", or none) is the item's link;
    // the others (self, edit, replies, ...) only when it has none; enclosures are files.
    const XmlAttribute* relation = FindAttribute(attributes, count, "rel");
    if (relation != nullptr && SameAsciiWord(relation->value, relation->valueLength, "enclosure")) {
        AddEnclosure(attributes, count, false);
        return false;
    }
    const int rank =
        relation == nullptr || IsAlternateRel(relation->value, relation->valueLength) ? 2 : 1;
    if (rank > linkRank_) {
        ResolveInto(href->value, href->valueLength, record.link, sizeof record.link);
        linkRank_ = rank;
    }
    return false;
}

void FeedContentHandler::AddEnclosure(const XmlAttribute* attributes, size_t count,
                                      bool fromMedia) {
    const XmlAttribute* url = FindAttribute(attributes, count, fromMedia ? "url" : "href");
    if (url == nullptr) {
        url = FindAttribute(attributes, count, "url");
    }
    if (url == nullptr || url->valueLength == 0) {
        return;
    }
    const XmlAttribute* type = FindAttribute(attributes, count, "type");
    // A Flash player (YouTube's feeds name one for each video) is no file to reach: it names
    // the video's page.
    if (fromMedia && type != nullptr &&
        SameAsciiWord(type->value, type->valueLength, "application/x-shockwave-flash")) {
        if (playerUrl_[0] == '\0') {
            ResolveInto(url->value, url->valueLength, playerUrl_, sizeof playerUrl_);
        }
        return;
    }
    if (fromMedia) {
        // Media RSS lists every rendition of a picture as well as the episode: only audio and
        // video are files to reach; an image stands for the item.
        const XmlAttribute* medium = FindAttribute(attributes, count, "medium");
        const bool image =
            (type != nullptr && StartsWithAsciiWord(type->value, type->valueLength, "image/")) ||
            (medium != nullptr && SameAsciiWord(medium->value, medium->valueLength, "image"));
        const bool playable =
            (type != nullptr && (StartsWithAsciiWord(type->value, type->valueLength, "audio/") ||
                                 StartsWithAsciiWord(type->value, type->valueLength, "video/"))) ||
            (medium != nullptr && (SameAsciiWord(medium->value, medium->valueLength, "audio") ||
                                   SameAsciiWord(medium->value, medium->valueLength, "video")));
        if (image && record.thumbnail[0] == '\0') {
            ResolveInto(url->value, url->valueLength, record.thumbnail, sizeof record.thumbnail);
        }
        if (!playable) {
            return;
        }
    }
    char resolved[kItemLinkCapacity];
    ResolveInto(url->value, url->valueLength, resolved, sizeof resolved);
    for (size_t i = 0; i < record.enclosureCount; ++i) {
        if (strcmp(record.enclosures[i].url, resolved) == 0) {
            return;  // the same file named twice (an enclosure and its media content)
        }
    }
    if (record.enclosureCount == kEnclosureCount) {
        return;
    }
    FeedEnclosure& enclosure = record.enclosures[record.enclosureCount++];
    memcpy(enclosure.url, resolved, sizeof enclosure.url);
    CopyAttribute(type, enclosure.type, sizeof enclosure.type);
    const XmlAttribute* length = FindAttribute(attributes, count, "length");
    CopyAttribute(length != nullptr ? length : FindAttribute(attributes, count, "fileSize"),
                  enclosure.length, sizeof enclosure.length);
    CopyAttribute(FindAttribute(attributes, count, "duration"), enclosure.duration,
                  sizeof enclosure.duration);
}

bool FeedContentHandler::StartRole(FeedRole role, int rank, FeedNamespace space,
                                   const XmlAttribute* attributes, size_t count) {
    switch (role) {
        case FeedRole::kItem: {
            EmptyItemFields();
            // An RSS 1.0 item names itself in rdf:about.
            CopyAttribute(FindAttribute(attributes, count, "about"), record.guid,
                          sizeof record.guid);
            guidFromAbout_ = record.guid[0] != '\0';
            return false;
        }
        case FeedRole::kImage: {
            const XmlAttribute* resource = FindAttribute(attributes, count, "resource");
            if (resource != nullptr && imageRank_ < 2) {
                ResolveInto(resource->value, resource->valueLength, record.imageUrl,
                            sizeof record.imageUrl);
                imageRank_ = 2;
            }
            return false;
        }
        case FeedRole::kImageUrl:
            if (rank <= imageRank_) {
                return false;
            }
            pendingRank_ = rank;
            linkText_[0] = '\0';
            linkTextLength_ = 0;
            return true;
        case FeedRole::kChannelTitle:
            if (!Outranks(rank, &channelTitleRank_)) {
                return false;
            }
            record.channelTitle[0] = '\0';
            return true;
        case FeedRole::kChannelDate:
            if (!Outranks(rank, &channelDateRank_)) {
                return false;
            }
            record.channelDate[0] = '\0';
            return true;
        case FeedRole::kTitle: {
            const int before = titleRank_;
            if (!Outranks(rank, &titleRank_)) {
                return false;
            }
            HoldTitle(before);
            record.title[0] = '\0';
            // A title of type html (Atom), or any RSS title, is HTML whose text is shown; an
            // XHTML title's text arrives as text.
            const XmlAttribute* type = FindAttribute(attributes, count, "type");
            const XmlAttribute* mode = FindAttribute(attributes, count, "mode");
            if (space != FeedNamespace::kCore) {
                record.titleIsHtml = false;
            } else if (type != nullptr) {
                record.titleIsHtml = SameAsciiWord(type->value, type->valueLength, "html") ||
                                     SameAsciiWord(type->value, type->valueLength, "text/html");
            } else {
                record.titleIsHtml =
                    !atomElement_ ||
                    (mode != nullptr && SameAsciiWord(mode->value, mode->valueLength, "escaped"));
            }
            return true;
        }
        case FeedRole::kText: {
            const int before = textRank_;
            if (!Outranks(rank, &textRank_)) {
                return false;
            }
            HoldText(before);
            StartText(space, attributes, count);
            return true;
        }
        case FeedRole::kLink:
            return StartLink(attributes, count);
        case FeedRole::kGuid: {
            if (record.guid[0] != '\0' && !guidFromAbout_) {
                return false;
            }
            record.guid[0] = '\0';
            guidFromAbout_ = false;
            // An RSS guid is the item's page when it says so, or when it does not say and looks
            // like an address; an Atom id never is.
            const XmlAttribute* permaLink = FindAttribute(attributes, count, "isPermaLink");
            guidIsPermaLink_ =
                !atomElement_ && (permaLink == nullptr ||
                                  SameAsciiWord(permaLink->value, permaLink->valueLength, "true"));
            guidPermaLinkSaid_ = permaLink != nullptr;
            guidFromAtom_ = atomElement_;
            return true;
        }
        case FeedRole::kDate:
            if (!Outranks(rank, &dateRank_)) {
                return false;
            }
            record.date[0] = '\0';
            return true;
        case FeedRole::kAuthor:
            // Every person is read; its end decides what of it the item keeps.
            personRank_ = rank;
            personText_[0] = personName_[0] = personEmail_[0] = '\0';
            personTextLength_ = personNameLength_ = personEmailLength_ = 0;
            personNameRead_ = false;
            return true;
        case FeedRole::kAuthorName:
        case FeedRole::kAuthorEmail: {
            // Only the person's own name and address, the first of each.
            if (frameCount_ < 2 || !frames_[frameCount_ - 2].collecting) {
                return false;
            }
            const bool name = role == FeedRole::kAuthorName;
            if (name ? personNameRead_ : personEmail_[0] != '\0') {
                return false;
            }
            personNameRead_ = personNameRead_ || name;
            return true;
        }
        case FeedRole::kInReplyTo:
            if (record.inReplyTo[0] == '\0') {
                CopyAttribute(FindAttribute(attributes, count, "ref"), record.inReplyTo,
                              sizeof record.inReplyTo);
            }
            return false;
        case FeedRole::kPlayer: {
            const XmlAttribute* url = FindAttribute(attributes, count, "url");
            if (url != nullptr && playerUrl_[0] == '\0') {
                ResolveInto(url->value, url->valueLength, playerUrl_, sizeof playerUrl_);
            }
            return false;
        }
        case FeedRole::kEnclosure:
            AddEnclosure(attributes, count, space == FeedNamespace::kMedia);
            return false;
        case FeedRole::kThumbnail: {
            const XmlAttribute* url = FindAttribute(attributes, count, "url");
            if (url != nullptr && record.thumbnail[0] == '\0') {
                ResolveInto(url->value, url->valueLength, record.thumbnail,
                            sizeof record.thumbnail);
            }
            return false;
        }
        case FeedRole::kDuration:
            return record.duration[0] == '\0';
        case FeedRole::kTtl:
        case FeedRole::kUpdatePeriod:
        case FeedRole::kUpdateFrequency:
        case FeedRole::kSkipHour:
        case FeedRole::kSkipDay:
            hintText_[0] = '\0';
            hintTextLength_ = 0;
            return true;
        default:
            return false;
    }
}

void FeedContentHandler::DeliverItem() {
    // A permalink guid is the item's page when the item names none, and so is an Atom id that
    // is a web address.
    if (record.link[0] == '\0' && record.guid[0] != '\0') {
        const bool looksLikeAddress =
            StartsWithAsciiWord(record.guid, strlen(record.guid), "http://") ||
            StartsWithAsciiWord(record.guid, strlen(record.guid), "https://");
        if ((guidIsPermaLink_ && (guidPermaLinkSaid_ || looksLikeAddress)) ||
            (guidFromAtom_ && looksLikeAddress)) {
            ResolveInto(record.guid, strlen(record.guid), record.link, sizeof record.link);
        }
    }
    // A video's player names its page when the item names none.
    if (record.link[0] == '\0' && playerUrl_[0] != '\0' &&
        !VideoPageUrl(playerUrl_, record.link, sizeof record.link)) {
        static_cast<void>(CopyText(record.link, sizeof record.link, playerUrl_));
    }
    if (record.baseUrl[0] == '\0') {
        static_cast<void>(CopyText(record.baseUrl, sizeof record.baseUrl, CurrentBase()));
    }
    if (itemCallback_ != nullptr) {
        itemCallback_(&record, context_);
    }
}

namespace {

// A text without the white space of its markup around it.
void Trim(char* text) {
    const size_t start = strspn(text, " \t\r\n");
    size_t end = strlen(text);
    while (end > start && IsAsciiSpace(text[end - 1])) {
        --end;
    }
    memmove(text, text + start, end - start);
    text[end - start] = '\0';
}

// Whether a text is a mail address as feeds write one: something, "@", something, no blank.
bool LooksLikeAddress(const char* text, size_t length) {
    const char* at = static_cast<const char*>(memchr(text, '@', length));
    if (at == nullptr || at == text || at + 1 == text + length) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (IsAsciiSpace(text[i]) || strchr("<>()\",", text[i]) != nullptr) {
            return false;
        }
    }
    return true;
}

}  // namespace

// A person written in one text, as RSS and Dublin Core write them: "jane@example.com (Jane Doe)",
// "Jane Doe <jane@example.com>", an address alone or a name alone.
void SplitPerson(const char* text, char* name, size_t nameCapacity, char* email,
                 size_t emailCapacity) {
    name[0] = email[0] = '\0';
    char person[kItemAuthorCapacity];
    static_cast<void>(CopyText(person, sizeof person, text));
    Trim(person);
    size_t length = strlen(person);
    if (StartsWithAsciiWord(person, length, "mailto:")) {
        memmove(person, person + 7, length - 6);
        length -= 7;
    }
    const char* open = strrchr(person, '<');
    const char* close = strrchr(person, '>');
    if (open != nullptr && close == person + length - 1 && open < close &&
        LooksLikeAddress(open + 1, static_cast<size_t>(close - open - 1))) {
        TextWriter address(email, emailCapacity);
        address.Put(open + 1, static_cast<size_t>(close - open - 1));
        TextWriter named(name, nameCapacity);
        named.PutUtf8(person, static_cast<size_t>(open - person));
        Trim(name);
        // A quoted name ("\"Doe, Jane\" <jane@example.com>") without its quotes.
        const size_t nameLength = strlen(name);
        if (nameLength >= 2 && name[0] == '"' && name[nameLength - 1] == '"') {
            memmove(name, name + 1, nameLength - 2);
            name[nameLength - 2] = '\0';
        }
        return;
    }
    const char* blank = strpbrk(person, " \t");
    const size_t first = blank != nullptr ? static_cast<size_t>(blank - person) : length;
    if (LooksLikeAddress(person, first)) {
        TextWriter address(email, emailCapacity);
        address.Put(person, first);
        // "(Jane Doe)" after the address is the name.
        const char* rest = person + first;
        rest += strspn(rest, " \t");
        const size_t restLength = strlen(rest);
        if (restLength >= 2 && rest[0] == '(' && rest[restLength - 1] == ')') {
            TextWriter named(name, nameCapacity);
            named.PutUtf8(rest + 1, restLength - 2);
            Trim(name);
        }
        return;
    }
    static_cast<void>(CopyText(name, nameCapacity, person));
}

void FeedContentHandler::EndPerson() {
    char name[kItemAuthorCapacity];
    char email[kItemAuthorCapacity];
    static_cast<void>(CopyText(name, sizeof name, personName_));
    static_cast<void>(CopyText(email, sizeof email, personEmail_));
    Trim(name);
    Trim(email);
    if (!personNameRead_ && email[0] == '\0') {
        SplitPerson(personText_, name, sizeof name, email, sizeof email);
    }
    if (StartsWithAsciiWord(email, strlen(email), "mailto:")) {
        memmove(email, email + 7, strlen(email) - 6);
    }
    if (name[0] != '\0' && personRank_ > nameRank_) {
        static_cast<void>(CopyText(record.author, sizeof record.author, name));
        nameRank_ = personRank_;
    }
    if (email[0] != '\0' && LooksLikeAddress(email, strlen(email)) && personRank_ > emailRank_) {
        static_cast<void>(CopyText(record.authorEmail, sizeof record.authorEmail, email));
        emailRank_ = personRank_;
    }
}

// Media RSS's plain text parts its paragraphs with line breaks (a video's description): each
// line, escaped already, becomes a paragraph of its own.
void FeedContentHandler::ParagraphsOfPlainText() {
    std::unique_ptr<char[]> lines(new (std::nothrow) char[textLength_ + 1]);
    if (lines == nullptr) {
        return;  // the text stays one paragraph
    }
    memcpy(lines.get(), record.description, textLength_ + 1);
    TextWriter out(record.description, sizeof record.description);
    for (const char* at = lines.get(); *at != '\0';) {
        const size_t length = strcspn(at, "\r\n");
        const char* line = at;
        at += length;
        at += strspn(at, "\r\n");
        if (IsBlank(line, length)) {
            continue;
        }
        const size_t before = out.length();
        if (!(out.Put("<p>") && out.Put(line, length) && out.Put("</p>"))) {
            out.TakeBack(before);
            record.descriptionCut = true;
            break;
        }
    }
    textLength_ = out.length();
}

void FeedContentHandler::EndRole(FeedRole role) {
    switch (role) {
        case FeedRole::kItem:
            DeliverItem();
            break;
        case FeedRole::kImageUrl:
        case FeedRole::kLink: {
            // An element without text names nothing, and takes away nothing named before it.
            char resolved[kItemLinkCapacity];
            ResolveInto(linkText_, linkTextLength_, resolved, sizeof resolved);
            if (resolved[0] == '\0') {
                break;
            }
            const bool image = role == FeedRole::kImageUrl;
            static_cast<void>(image ? CopyText(record.imageUrl, sizeof record.imageUrl, resolved)
                                    : CopyText(record.link, sizeof record.link, resolved));
            (image ? imageRank_ : linkRank_) = image ? pendingRank_ : 2;
            break;
        }
        case FeedRole::kText:
            FinishText();
            break;
        case FeedRole::kTitle:
            EndTitle();
            break;
        case FeedRole::kAuthor:
            EndPerson();
            break;
        case FeedRole::kTtl:
        case FeedRole::kUpdatePeriod:
        case FeedRole::kUpdateFrequency:
        case FeedRole::kSkipHour:
        case FeedRole::kSkipDay:
            TakeHint(role);
            break;
        default:
            break;
    }
}

void FeedContentHandler::TakeHint(FeedRole role) {
    // The word or number the element holds, without the white space of its markup.
    const char* text = hintText_;
    size_t length = hintTextLength_;
    while (length > 0 && IsAsciiSpace(*text)) {
        ++text;
        --length;
    }
    while (length > 0 && IsAsciiSpace(text[length - 1])) {
        --length;
    }
    long long number = -1;
    if (length > 0 && length < 10) {
        number = 0;
        for (size_t i = 0; i < length && number >= 0; ++i) {
            number = IsAsciiDigit(text[i]) ? number * 10 + (text[i] - '0') : -1;
        }
    }
    static const struct {
        const char* name;
        long long seconds;
    } kPeriods[] = {{"hourly", 3600},
                    {"daily", 24 * 3600},
                    {"weekly", 7 * 24 * 3600},
                    {"monthly", 30 * 24 * 3600},
                    {"yearly", 365 * 24 * 3600}};
    static const char* const kDays[] = {"sunday",   "monday", "tuesday", "wednesday",
                                        "thursday", "friday", "saturday"};
    switch (role) {
        case FeedRole::kTtl:
            hints.ttlMinutes = number > 0 ? number : 0;
            return;
        case FeedRole::kUpdatePeriod:
            for (const auto& period : kPeriods) {
                if (SameAsciiWord(text, length, period.name)) {
                    updatePeriod_ = period.seconds;
                }
            }
            break;
        case FeedRole::kUpdateFrequency:
            updateFrequency_ = number > 0 ? number : 1;
            break;
        case FeedRole::kSkipHour:
            // Hours 0 to 23; some feeds write midnight as 24.
            if (number >= 0 && number <= 24) {
                hints.skipHours |= 1ul << (number % 24);
            }
            return;
        case FeedRole::kSkipDay:
            for (unsigned day = 0; day < 7; ++day) {
                if (SameAsciiWord(text, length, kDays[day])) {
                    hints.skipDays |= 1u << day;
                }
            }
            return;
        default:
            return;
    }
    // The syndication module's period, taken as often as its frequency says; without a period
    // the module means daily.
    hints.updatePeriodSeconds = (updatePeriod_ > 0 ? updatePeriod_ : 24 * 3600) / updateFrequency_;
}

void FeedContentHandler::StartElement(const XmlName& name, const XmlAttribute* attributes,
                                      size_t count) {
    if (skippedDepth_ > 0) {
        ++skippedDepth_;
        return;
    }
    const Frame* top = frameCount_ > 0 ? &frames_[frameCount_ - 1] : nullptr;
    if (top != nullptr && top->collecting && top->children == FeedPlace::kNone) {
        // Markup inside a text: kept as markup in the item's text, for the sanitizer to judge
        // like any other; elsewhere (a title of XHTML) only its text counts.
        if (top->role == FeedRole::kText && !textBase64_) {
            AppendStartTag(name, attributes, count);
        }
        ++nestedDepth_;
        return;
    }
    if (!rootSeen_) {
        rootSeen_ = true;
        // A feed whose own elements are in a namespace of its own: its root says which.
        if (FeedNamespaceOf(name.uri, name.uriLength) == FeedNamespace::kOther &&
            name.uriLength < sizeof rootUri_) {
            memcpy(rootUri_, name.uri, name.uriLength);
            rootUri_[name.uriLength] = '\0';
        }
        atomDocument_ = IsAtomUri(name.uri, name.uriLength) ||
                        SameAsciiWord(name.local, name.localLength, "feed");
    }
    const FeedPlace place = top != nullptr ? top->children : FeedPlace::kDocument;
    FeedNamespace space = FeedNamespaceOf(name.uri, name.uriLength);
    if (space == FeedNamespace::kOther && rootUri_[0] != '\0' &&
        SameUri(name.uri, name.uriLength, rootUri_)) {
        space = FeedNamespace::kCore;
    }
    const ElementRow* row = place != FeedPlace::kNone && frameCount_ < kFrameCapacity
                                ? FindRow(space, name, place)
                                : nullptr;
    if (row == nullptr) {
        // Not the table's where it stands: neither it nor anything inside it fills the record.
        skippedDepth_ = 1;
        return;
    }
    atomElement_ = IsAtomUri(name.uri, name.uriLength) || (name.uriLength == 0 && atomDocument_);
    const size_t outerBase = EnterBase(attributes, count);
    Frame& frame = frames_[frameCount_++];
    frame.role = row->role;
    frame.children = ChildrenPlace(row->role);
    frame.outerBase = outerBase;
    frame.collecting = false;
    frame.collecting = StartRole(row->role, row->rank, space, attributes, count);
}

void FeedContentHandler::EndElement(const XmlName& name) {
    if (skippedDepth_ > 0) {
        --skippedDepth_;
        return;
    }
    if (nestedDepth_ > 0) {
        --nestedDepth_;
        const Frame& top = frames_[frameCount_ - 1];
        if (top.role == FeedRole::kText && !textBase64_) {
            AppendEndTag(name);
        }
        return;
    }
    if (frameCount_ == 0) {
        return;
    }
    const Frame frame = frames_[--frameCount_];
    if (frame.collecting || frame.role == FeedRole::kItem || frame.role == FeedRole::kChannel) {
        EndRole(frame.role);
    }
    baseCount_ = frame.outerBase;
}

void FeedContentHandler::Text(const char* text, size_t length) {
    if (length == 0 || text == nullptr || skippedDepth_ > 0 || frameCount_ == 0) {
        return;
    }
    const Frame& top = frames_[frameCount_ - 1];
    if (!top.collecting) {
        return;
    }
    char* field = nullptr;
    size_t capacity = 0;
    switch (top.role) {
        case FeedRole::kText:
            // Plain text, and the text inside markup, is escaped as markup's; HTML and base64
            // go in as written.
            if (!textBase64_ && (textKind_ != TextKind::kHtml || nestedDepth_ > 0)) {
                AppendEscapedToText(text, length);
            } else {
                AppendToText(text, length);
            }
            return;
        case FeedRole::kLink:
        case FeedRole::kImageUrl:
            static_cast<void>(
                AppendUtf8(linkText_, sizeof linkText_, &linkTextLength_, text, length));
            return;
        case FeedRole::kTtl:
        case FeedRole::kUpdatePeriod:
        case FeedRole::kUpdateFrequency:
        case FeedRole::kSkipHour:
        case FeedRole::kSkipDay:
            // A longer text is no number or name of these.
            static_cast<void>(
                AppendUtf8(hintText_, sizeof hintText_, &hintTextLength_, text, length));
            return;
        case FeedRole::kAuthor:
            static_cast<void>(
                AppendUtf8(personText_, sizeof personText_, &personTextLength_, text, length));
            return;
        case FeedRole::kAuthorName:
            static_cast<void>(
                AppendUtf8(personName_, sizeof personName_, &personNameLength_, text, length));
            return;
        case FeedRole::kAuthorEmail:
            static_cast<void>(
                AppendUtf8(personEmail_, sizeof personEmail_, &personEmailLength_, text, length));
            return;
        case FeedRole::kTitle:
            field = record.title;
            capacity = sizeof record.title;
            break;
        case FeedRole::kGuid:
            field = record.guid;
            capacity = sizeof record.guid;
            break;
        case FeedRole::kDate:
            field = record.date;
            capacity = sizeof record.date;
            break;
        case FeedRole::kChannelTitle:
            field = record.channelTitle;
            capacity = sizeof record.channelTitle;
            break;
        case FeedRole::kChannelDate:
            field = record.channelDate;
            capacity = sizeof record.channelDate;
            break;
        case FeedRole::kDuration:
            field = record.duration;
            capacity = sizeof record.duration;
            break;
        default:
            return;
    }
    // What does not fit the field is dropped, cut between characters.
    size_t used = strnlen(field, capacity);
    static_cast<void>(AppendUtf8(field, capacity, &used, text, length));
}
