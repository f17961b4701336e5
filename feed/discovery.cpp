#include "feed/discovery.h"

#include <cstring>

#include "base/text.h"
#include "base/url.h"
#include "feed/parse_feed.h"

namespace {

// The elements a page's head may hold; any other starts its body.
const char* const kHeadElements[] = {"html",  "head",   "title",    "base",     "link",   "meta",
                                     "style", "script", "noscript", "template", "object", "param"};
// Those whose content is text up to their end tag, not markup.
const char* const kTextElements[] = {"title", "style", "script", "template"};

bool IsOneOf(const char* name, size_t length, const char* const* names, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (SameAsciiWord(name, length, names[i])) {
            return true;
        }
    }
    return false;
}

// Finds `needle` (ASCII, in small letters) in `length` bytes of `text` without regard to case.
const char* FindWord(const char* text, size_t length, const char* needle) {
    const size_t size = strlen(needle);
    for (size_t at = 0; at + size <= length; ++at) {
        if (SameAsciiWord(text + at, size, needle)) {
            return text + at;
        }
    }
    return nullptr;
}

// One attribute of a tag: its name and its value as written (without quotes).
struct TagAttribute {
    const char* name;
    size_t nameLength;
    const char* value;
    size_t valueLength;
};

constexpr size_t kMostTagAttributes = 16;

// A tag read from `p` (at "<" and a letter, or "</"): its name, its first attributes, and where it
// ends. False when the text ends inside it.
struct PageTag {
    bool end = false;
    const char* name = nullptr;
    size_t nameLength = 0;
    TagAttribute attributes[kMostTagAttributes];
    size_t count = 0;
    const char* next = nullptr;
};

bool IsTagSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '/';
}

bool ReadPageTag(const char* p, const char* end, PageTag* tag) {
    ++p;
    if (p < end && *p == '/') {
        tag->end = true;
        ++p;
    }
    tag->name = p;
    while (p < end && !IsTagSpace(*p) && *p != '>') {
        ++p;
    }
    tag->nameLength = static_cast<size_t>(p - tag->name);
    for (;;) {
        while (p < end && IsTagSpace(*p)) {
            ++p;
        }
        if (p >= end) {
            return false;
        }
        if (*p == '>') {
            tag->next = p + 1;
            return true;
        }
        TagAttribute attribute = {p, 0, "", 0};
        while (p < end && !IsTagSpace(*p) && *p != '>' && *p != '=') {
            ++p;
        }
        attribute.nameLength = static_cast<size_t>(p - attribute.name);
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) {
            ++p;
        }
        if (p < end && *p == '=') {
            ++p;
            while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) {
                ++p;
            }
            if (p < end && (*p == '"' || *p == '\'')) {
                const char quote = *p++;
                attribute.value = p;
                while (p < end && *p != quote) {
                    ++p;
                }
                if (p >= end) {
                    return false;
                }
                attribute.valueLength = static_cast<size_t>(p - attribute.value);
                ++p;
            } else {
                // Unquoted, a value runs to a blank or the tag's end: a "/" is its own.
                attribute.value = p;
                while (p < end && !IsAsciiSpace(*p) && *p != '>') {
                    ++p;
                }
                attribute.valueLength = static_cast<size_t>(p - attribute.value);
            }
        }
        if (tag->count < kMostTagAttributes && attribute.nameLength > 0) {
            tag->attributes[tag->count++] = attribute;
        }
    }
}

const TagAttribute* FindTagAttribute(const PageTag& tag, const char* name) {
    for (size_t i = 0; i < tag.count; ++i) {
        if (SameAsciiWord(tag.attributes[i].name, tag.attributes[i].nameLength, name)) {
            return &tag.attributes[i];
        }
    }
    return nullptr;
}

// An attribute's value with the character references a page writes in addresses and titles
// decoded ("&amp;", "&#38;"), cut between characters to fit.
void DecodedValue(const TagAttribute* attribute, char* out, size_t capacity) {
    TextWriter w(out, capacity);
    if (attribute == nullptr) {
        return;
    }
    static const struct {
        const char* name;
        char value;
    } kNamed[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    const char* p = attribute->value;
    const char* end = p + attribute->valueLength;
    while (p < end && !w.cut()) {
        const char* amp = static_cast<const char*>(memchr(p, '&', static_cast<size_t>(end - p)));
        const char* stop = amp != nullptr ? amp : end;
        w.PutUtf8(p, static_cast<size_t>(stop - p));
        p = stop;
        if (p == end) {
            break;
        }
        bool decoded = false;
        for (const auto& named : kNamed) {
            const size_t size = strlen(named.name);
            if (static_cast<size_t>(end - p) >= size && SameAsciiWord(p, size, named.name)) {
                w.Put(&named.value, 1);
                p += size;
                decoded = true;
                break;
            }
        }
        if (!decoded && end - p >= 3 && p[1] == '#') {
            const bool hex = p[2] == 'x' || p[2] == 'X';
            const char* digit = p + (hex ? 3 : 2);
            unsigned long code = 0;
            while (digit < end && (hex ? HexDigitValue(*digit) >= 0 : IsAsciiDigit(*digit)) &&
                   code < 0x80) {
                code = code * (hex ? 16 : 10) + static_cast<unsigned long>(HexDigitValue(*digit));
                ++digit;
            }
            // Only references to ASCII characters: nothing in an address needs more.
            if (digit < end && *digit == ';' && code > 0 && code < 0x80) {
                const char c = static_cast<char>(code);
                w.Put(&c, 1);
                p = digit + 1;
                decoded = true;
            }
        }
        if (!decoded) {
            w.Put("&");
            ++p;
        }
    }
}

// Whether a link's rel names an alternate form of the page ("alternate", among its words).
bool IsAlternate(const char* rel, size_t length) {
    size_t at = 0;
    while (at < length) {
        while (at < length && IsAsciiSpace(rel[at])) {
            ++at;
        }
        size_t word = at;
        while (word < length && !IsAsciiSpace(rel[word])) {
            ++word;
        }
        if (SameAsciiWord(rel + at, word - at, "alternate")) {
            return true;
        }
        at = word;
    }
    return false;
}

// Whether a link of `type` to `url` titled `title` is a feed. JSON is a feed's only when it says
// it is one ("application/feed+json"), or its file or title says so: pages name other JSON
// alternates too (their own data).
bool IsFeedType(const char* type, const char* url, const char* title) {
    const size_t length = strcspn(type, "; \t");
    if (SameAsciiWord(type, length, "application/rss+xml") ||
        SameAsciiWord(type, length, "application/atom+xml") ||
        SameAsciiWord(type, length, "application/rdf+xml") ||
        SameAsciiWord(type, length, "application/feed+json")) {
        return true;
    }
    if (!SameAsciiWord(type, length, "application/json")) {
        return false;
    }
    const size_t path = strcspn(url, "?#");
    return (path >= 5 && SameAsciiWord(url + path - 5, 5, ".json")) ||
           FindWord(title, strlen(title), "feed") != nullptr;
}

// Adds a feed, resolved against `base`, unless it is named already or there is no room.
void AddFeed(const char* base, const char* href, const char* type, const char* title,
             FoundFeeds* found) {
    if (found->count == kMostFoundFeeds || href[0] == '\0') {
        return;
    }
    FoundFeed& feed = found->feeds[found->count];
    if (!ResolveReference(base, href, feed.url, sizeof feed.url, UrlFragment::kDrop)) {
        return;
    }
    for (size_t i = 0; i < found->count; ++i) {
        if (strcmp(found->feeds[i].url, feed.url) == 0) {
            return;
        }
    }
    static_cast<void>(CopyText(feed.type, sizeof feed.type, type));
    static_cast<void>(CopyText(feed.title, sizeof feed.title, title));
    ++found->count;
}

// Skips a comment, a declaration or a processing instruction at `p`; null when it does not end
// before `end`.
const char* SkipMarkup(const char* p, const char* end) {
    if (end - p >= 4 && memcmp(p, "<!--", 4) == 0) {
        for (const char* at = p + 4; at + 3 <= end; ++at) {
            if (memcmp(at, "-->", 3) == 0) {
                return at + 3;
            }
        }
        return nullptr;
    }
    const void* close = memchr(p, '>', static_cast<size_t>(end - p));
    return close != nullptr ? static_cast<const char*>(close) + 1 : nullptr;
}

// Walks a page's head from its start: calls `onTag` for every start tag of the head, and says
// where the head ends (true) or that the text ends inside it (false).
template <typename OnTag>
bool WalkHead(const char* html, size_t length, size_t* headEnd, OnTag onTag) {
    const char* p = html;
    const char* const end = html + length;
    if (length >= 3 && memcmp(p, "\xEF\xBB\xBF", 3) == 0) {
        p += 3;
    }
    while (p < end) {
        if (IsAsciiSpace(*p)) {
            ++p;
            continue;
        }
        if (*p != '<') {
            *headEnd = static_cast<size_t>(p - html);  // text: the body has begun
            return true;
        }
        if (end - p < 2) {
            return false;
        }
        if (p[1] == '!' || p[1] == '?') {
            const char* after = SkipMarkup(p, end);
            if (after == nullptr) {
                return false;
            }
            p = after;
            continue;
        }
        if (!IsAsciiLetter(p[1]) && !(p[1] == '/' && end - p > 2 && IsAsciiLetter(p[2]))) {
            *headEnd = static_cast<size_t>(p - html);  // a "<" of text
            return true;
        }
        PageTag tag;
        if (!ReadPageTag(p, end, &tag)) {
            return false;
        }
        const bool known = IsOneOf(tag.name, tag.nameLength, kHeadElements,
                                   sizeof kHeadElements / sizeof kHeadElements[0]);
        if ((tag.end && SameAsciiWord(tag.name, tag.nameLength, "head")) || !known) {
            *headEnd = static_cast<size_t>(p - html);
            return true;
        }
        p = tag.next;
        if (tag.end) {
            continue;
        }
        onTag(tag);
        if (IsOneOf(tag.name, tag.nameLength, kTextElements,
                    sizeof kTextElements / sizeof kTextElements[0])) {
            // Its text runs to its end tag, whatever it holds.
            char closing[16] = "</";
            if (tag.nameLength + 3 > sizeof closing) {
                return false;
            }
            for (size_t i = 0; i < tag.nameLength; ++i) {
                closing[2 + i] = AsciiLower(tag.name[i]);
            }
            closing[2 + tag.nameLength] = '\0';
            const char* close = FindWord(p, static_cast<size_t>(end - p), closing);
            if (close == nullptr) {
                return false;
            }
            p = close;
        }
    }
    return false;
}

// The first characters that mean something: after a byte order mark, blanks, comments, an XML
// declaration and a document type.
const char* FirstMarkup(const char* start, size_t length, bool* doctypeHtml) {
    const char* p = start;
    const char* const end = start + length;
    *doctypeHtml = false;
    if (length >= 3 && memcmp(p, "\xEF\xBB\xBF", 3) == 0) {
        p += 3;
    }
    while (p < end) {
        if (IsAsciiSpace(*p)) {
            ++p;
        } else if (*p == '<' && end - p > 1 && (p[1] == '!' || p[1] == '?')) {
            if (end - p > 9 && SameAsciiWord(p, 9, "<!doctype") &&
                FindWord(p, static_cast<size_t>(end - p) < 64 ? static_cast<size_t>(end - p) : 64,
                         "html") != nullptr) {
                *doctypeHtml = true;
            }
            const char* after = SkipMarkup(p, end);
            if (after == nullptr) {
                break;
            }
            p = after;
        } else {
            break;
        }
    }
    return p;
}

}  // namespace

DocumentKind KindOfDocument(const char* start, size_t length, const char* contentType) {
    bool doctypeHtml = false;
    const char* first = FirstMarkup(start, length, &doctypeHtml);
    const size_t rest = static_cast<size_t>(start + length - first);
    const char* type = contentType != nullptr ? contentType : "";
    const size_t typeLength = strcspn(type, "; \t");
    if ((first < start + length && *first == '{') ||
        SameAsciiWord(type, typeLength, "application/feed+json")) {
        return DocumentKind::kJson;
    }
    // A page first: an HTML page may mention "<rss" in its text.
    if (doctypeHtml || (rest >= 5 && SameAsciiWord(first, 5, "<html") &&
                        (rest == 5 || IsTagSpace(first[5]) || first[5] == '>'))) {
        return DocumentKind::kPage;
    }
    if (FindDocumentStart(start) != nullptr) {
        return DocumentKind::kXml;
    }
    if (SameAsciiWord(type, typeLength, "text/html") ||
        SameAsciiWord(type, typeLength, "application/xhtml+xml")) {
        return DocumentKind::kPage;
    }
    if (SameAsciiWord(type, typeLength, "application/json")) {
        return DocumentKind::kJson;
    }
    return DocumentKind::kNone;
}

bool FindPageHeadEnd(const char* html, size_t length, size_t* end) {
    return WalkHead(html, length, end, [](const PageTag&) {});
}

void FindHeadFeeds(const char* head, size_t length, const char* pageUrl, FoundFeeds* found) {
    char base[kUrlCapacity];
    static_cast<void>(CopyText(base, sizeof base, pageUrl));
    size_t end = 0;
    WalkHead(head, length, &end, [&](const PageTag& tag) {
        if (SameAsciiWord(tag.name, tag.nameLength, "base")) {
            // The page's own base, resolved against its address.
            char href[kUrlCapacity];
            char resolved[kUrlCapacity];
            DecodedValue(FindTagAttribute(tag, "href"), href, sizeof href);
            if (href[0] != '\0' && ResolveReference(pageUrl, href, resolved, sizeof resolved)) {
                static_cast<void>(CopyText(base, sizeof base, resolved));
            }
            return;
        }
        if (!SameAsciiWord(tag.name, tag.nameLength, "link")) {
            return;
        }
        const TagAttribute* rel = FindTagAttribute(tag, "rel");
        if (rel == nullptr || !IsAlternate(rel->value, rel->valueLength)) {
            return;
        }
        char type[kFoundTypeCapacity];
        char href[kUrlCapacity];
        char title[kFoundTitleCapacity];
        DecodedValue(FindTagAttribute(tag, "type"), type, sizeof type);
        DecodedValue(FindTagAttribute(tag, "href"), href, sizeof href);
        DecodedValue(FindTagAttribute(tag, "title"), title, sizeof title);
        if (IsFeedType(type, href, title)) {
            AddFeed(base, href, type, title, found);
        }
    });
}

void FindLinkHeaderFeeds(const char* links, const char* pageUrl, FoundFeeds* found) {
    // <address>; rel="alternate"; type="application/rss+xml"; title="...", <address>; ...
    const char* p = links;
    while (*p != '\0') {
        while (*p == ' ' || *p == '\t' || *p == ',') {
            ++p;
        }
        if (*p != '<') {
            const char* comma = strchr(p, ',');
            p = comma != nullptr ? comma : p + strlen(p);
            continue;
        }
        const char* close = strchr(p, '>');
        if (close == nullptr) {
            return;
        }
        char href[kUrlCapacity];
        TextWriter(href, sizeof href).Put(p + 1, static_cast<size_t>(close - p - 1));
        p = close + 1;
        char rel[kFoundTitleCapacity] = "";
        char type[kFoundTypeCapacity] = "";
        char title[kFoundTitleCapacity] = "";
        // The parameters, up to the comma that ends the link (none inside quotes).
        for (;;) {
            while (*p == ' ' || *p == '\t') {
                ++p;
            }
            if (*p != ';') {
                break;
            }
            ++p;
            while (*p == ' ' || *p == '\t') {
                ++p;
            }
            const char* name = p;
            while (*p != '\0' && *p != '=' && *p != ';' && *p != ',') {
                ++p;
            }
            size_t nameLength = static_cast<size_t>(p - name);
            while (nameLength > 0 && IsAsciiSpace(name[nameLength - 1])) {
                --nameLength;
            }
            const char* value = "";
            size_t valueLength = 0;
            if (*p == '=') {
                ++p;
                while (*p == ' ' || *p == '\t') {
                    ++p;
                }
                if (*p == '"') {
                    value = ++p;
                    while (*p != '\0' && *p != '"') {
                        ++p;
                    }
                    valueLength = static_cast<size_t>(p - value);
                    p += *p == '"' ? 1 : 0;
                } else {
                    value = p;
                    while (*p != '\0' && *p != ';' && *p != ',' && !IsAsciiSpace(*p)) {
                        ++p;
                    }
                    valueLength = static_cast<size_t>(p - value);
                }
            }
            char* field = SameAsciiWord(name, nameLength, "rel")     ? rel
                          : SameAsciiWord(name, nameLength, "type")  ? type
                          : SameAsciiWord(name, nameLength, "title") ? title
                                                                     : nullptr;
            if (field != nullptr) {
                const size_t capacity = field == type ? sizeof type : sizeof rel;
                TextWriter(field, capacity).PutUtf8(value, valueLength);
            }
        }
        if (IsAlternate(rel, strlen(rel)) && IsFeedType(type, href, title)) {
            AddFeed(pageUrl, href, type, title, found);
        }
    }
}
