#include "compose/html_sanitizer.h"

#include <cstring>

#include "base/capacities.h"
#include "base/text.h"
#include "base/url.h"

namespace {

// How an element of the feed's HTML is treated.
enum class Treatment {
    kDropTag,          // not on the list: the tag goes, its text stays
    kKeep,             // written anew, closed at the end if left open
    kKeepVoid,         // written anew, has no content and no end tag
    kDropWithContent,  // the tag and everything up to its matching end tag go
    kDropVoid,         // the tag goes; it has no content
};

struct ElementRule {
    const char* name;
    Treatment treatment;
};

const ElementRule kElementRules[] = {
    {"a", Treatment::kKeep},
    {"abbr", Treatment::kKeep},
    {"acronym", Treatment::kKeep},
    {"address", Treatment::kKeep},
    {"b", Treatment::kKeep},
    {"big", Treatment::kKeep},
    {"blockquote", Treatment::kKeep},
    {"caption", Treatment::kKeep},
    {"center", Treatment::kKeep},
    {"cite", Treatment::kKeep},
    {"code", Treatment::kKeep},
    {"colgroup", Treatment::kKeep},
    {"dd", Treatment::kKeep},
    {"del", Treatment::kKeep},
    {"dfn", Treatment::kKeep},
    {"div", Treatment::kKeep},
    {"dl", Treatment::kKeep},
    {"dt", Treatment::kKeep},
    {"em", Treatment::kKeep},
    {"figcaption", Treatment::kKeep},
    {"figure", Treatment::kKeep},
    {"h1", Treatment::kKeep},
    {"h2", Treatment::kKeep},
    {"h3", Treatment::kKeep},
    {"h4", Treatment::kKeep},
    {"h5", Treatment::kKeep},
    {"h6", Treatment::kKeep},
    {"i", Treatment::kKeep},
    {"ins", Treatment::kKeep},
    {"kbd", Treatment::kKeep},
    {"li", Treatment::kKeep},
    {"ol", Treatment::kKeep},
    {"p", Treatment::kKeep},
    {"pre", Treatment::kKeep},
    {"q", Treatment::kKeep},
    {"s", Treatment::kKeep},
    {"samp", Treatment::kKeep},
    {"small", Treatment::kKeep},
    {"span", Treatment::kKeep},
    {"strike", Treatment::kKeep},
    {"strong", Treatment::kKeep},
    {"sub", Treatment::kKeep},
    {"sup", Treatment::kKeep},
    {"table", Treatment::kKeep},
    {"tbody", Treatment::kKeep},
    {"td", Treatment::kKeep},
    {"tfoot", Treatment::kKeep},
    {"th", Treatment::kKeep},
    {"thead", Treatment::kKeep},
    {"tr", Treatment::kKeep},
    {"tt", Treatment::kKeep},
    {"u", Treatment::kKeep},
    {"ul", Treatment::kKeep},
    {"var", Treatment::kKeep},
    {"br", Treatment::kKeepVoid},
    {"col", Treatment::kKeepVoid},
    {"hr", Treatment::kKeepVoid},
    {"img", Treatment::kKeepVoid},
    {"wbr", Treatment::kKeepVoid},
    {"applet", Treatment::kDropWithContent},
    {"form", Treatment::kDropWithContent},
    {"iframe", Treatment::kDropWithContent},
    {"object", Treatment::kDropWithContent},
    {"script", Treatment::kDropWithContent},
    {"style", Treatment::kDropWithContent},
    {"xml", Treatment::kDropWithContent},
    {"base", Treatment::kDropVoid},
    {"embed", Treatment::kDropVoid},
    {"link", Treatment::kDropVoid},
    {"meta", Treatment::kDropVoid},
};

const char* const kKeptAttributes[] = {"href",  "src",    "alt",     "title",
                                       "width", "height", "colspan", "rowspan"};

// Elements open at once; deeper ones are dropped (their text stays).
constexpr int kMaxOpen = 64;
// Room kept back for closing what is open: "</" + the longest name + ">".
constexpr size_t kCloserReserve = kMaxOpen * 13;
// The most attributes one kept tag carries.
constexpr int kMaxAttributes = 8;

const ElementRule* FindRule(const char* name, size_t length) {
    for (const ElementRule& rule : kElementRules) {
        if (SameAsciiWord(name, length, rule.name)) {
            return &rule;
        }
    }
    return nullptr;
}

const char* FindKeptAttribute(const char* name, size_t length) {
    for (const char* kept : kKeptAttributes) {
        if (SameAsciiWord(name, length, kept)) {
            return kept;
        }
    }
    return nullptr;
}

// The bytes of the UTF-8 character at `p`, so that a cut never falls inside one. Its bytes
// beyond the first are never ASCII, so no quote or "<" can hide in them.
size_t CharacterAt(const char* p, size_t length) {
    const unsigned char c = static_cast<unsigned char>(p[0]);
    const size_t size = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    size_t whole = 1;
    while (whole < size && whole < length &&
           (static_cast<unsigned char>(p[whole]) & 0xC0) == 0x80) {
        ++whole;
    }
    return whole;
}

// The longest character reference read, and more than any character's bytes.
constexpr size_t kReferenceLookahead = 40;

// Length of a character reference at `p` ("&amp;", "&#38;", "&#x26;"), 0 when there is none.
size_t ReferenceLength(const char* p, size_t length) {
    const size_t kMax = 32;
    if (length < 3 || p[0] != '&') {
        return 0;
    }
    size_t i = 1;
    if (p[1] == '#') {
        i = 2;
        bool hex = i < length && (p[i] == 'x' || p[i] == 'X');
        if (hex) {
            ++i;
        }
        size_t digits = 0;
        while (i < length && i < kMax && (hex ? HexDigitValue(p[i]) >= 0 : IsAsciiDigit(p[i]))) {
            ++i;
            ++digits;
        }
        if (digits == 0) {
            return 0;
        }
    } else {
        while (i < length && i < kMax && (IsAsciiLetter(p[i]) || IsAsciiDigit(p[i]))) {
            ++i;
        }
        if (i == 1) {
            return 0;
        }
    }
    return (i < length && p[i] == ';') ? i + 1 : 0;
}

// Escapes text. With `keepReferences`, character references already in it stay as they are
// (text from HTML); otherwise every "&" is escaped (a plain value).
void PutEscaped(TextWriter* w, const char* text, size_t length, bool keepReferences) {
    size_t start = 0;
    for (size_t at = 0; keepReferences && at < length && !w->cut();) {
        const void* amp = memchr(text + at, '&', length - at);
        if (amp == nullptr) {
            break;
        }
        at = static_cast<size_t>(static_cast<const char*>(amp) - text);
        const size_t reference = ReferenceLength(text + at, length - at);
        if (reference == 0) {
            ++at;  // a bare "&", escaped with the run it stands in
            continue;
        }
        static_cast<void>(w->PutEscapedHtml(text + start, at - start) &&
                          w->Put(text + at, reference));
        at += reference;
        start = at;
    }
    static_cast<void>(w->PutEscapedHtml(text + start, length - start));
}

// Decodes the character references a browser would decode in an attribute value, as far as they
// can hide a scheme: numeric ones below 0x80 (with or without ";") and a few named ones. Returns
// false when the value does not fit.
bool DecodeReferences(const char* value, char* out, size_t capacity) {
    static const struct {
        const char* name;
        char value;
    } kNamed[] = {{"colon;", ':'}, {"tab;", '\t'}, {"newline;", '\n'}, {"amp;", '&'},
                  {"lt;", '<'},    {"gt;", '>'},   {"quot;", '"'},     {"apos;", '\''},
                  {"sol;", '/'},   {"num;", '#'},  {"quest;", '?'},    {"bsol;", '\\'}};
    size_t used = 0;
    for (const char* p = value; *p != '\0';) {
        if (used + 1 >= capacity) {
            return false;
        }
        char c = *p++;
        if (c == '&' && *p == '#') {
            const char* q = p + 1;
            bool hex = *q == 'x' || *q == 'X';
            if (hex) {
                ++q;
            }
            unsigned long code = 0;
            const char* digits = q;
            for (; hex ? HexDigitValue(*q) >= 0 : IsAsciiDigit(*q); ++q) {
                const unsigned long digit = static_cast<unsigned long>(HexDigitValue(*q));
                code = code > 0x10FFFF ? code : code * (hex ? 16 : 10) + digit;
            }
            // References beyond ASCII stay as written: no scheme character hides there.
            if (q != digits && code < 0x80) {
                c = static_cast<char>(code);
                p = *q == ';' ? q + 1 : q;
            }
        } else if (c == '&') {
            for (const auto& named : kNamed) {
                const size_t length = strlen(named.name);
                if (SameAsciiWord(p, length, named.name)) {
                    c = named.value;
                    p += length;
                    break;
                }
            }
        }
        out[used++] = c;
    }
    out[used] = '\0';
    return true;
}

bool SchemeAllowed(const char* scheme, size_t length) {
    return SameAsciiWord(scheme, length, "http") || SameAsciiWord(scheme, length, "https") ||
           SameAsciiWord(scheme, length, "mailto");
}

// The check itself, on a URL whose references are decoded (or that is no markup at all).
bool DecodedUrlAllowed(const char* decoded, bool fromMarkup) {
    // Browsers skip blanks and control characters in a scheme ("java\tscript:").
    char squeezed[kUrlCheckCapacity];
    size_t length = 0;
    for (const char* p = decoded; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (length + 1 >= sizeof squeezed) {
            return false;
        }
        if (c > 0x20 && c != 0x7F) {
            squeezed[length++] = *p;
        }
    }
    squeezed[length] = '\0';
    // A backslash at the start names a network share, which the engine would open; so does a
    // protocol-relative "//host" in a message shown from a file.
    if (squeezed[0] == '\\' ||
        (squeezed[0] == '/' && (squeezed[1] == '\\' || squeezed[1] == '/'))) {
        return false;
    }
    const size_t scheme = UrlSchemeLength(squeezed, length);
    if (scheme > 0) {
        return SchemeAllowed(squeezed, scheme);
    }
    // Without a scheme, the first segment of a path holds no colon (":x" is no reference a
    // browser reads the same way), and a reference this code does not know could still stand
    // for a ":" there.
    const size_t segment = strcspn(squeezed, "/?#");
    return memchr(squeezed, ':', segment) == nullptr &&
           (!fromMarkup || memchr(squeezed, '&', segment) == nullptr);
}

// Decodes an attribute value's references into `decoded` and checks the URL there.
bool DecodeMarkupUrl(const char* value, size_t length, char* decoded, size_t capacity) {
    char raw[kUrlCheckCapacity];
    if (length >= sizeof raw) {
        return false;
    }
    memcpy(raw, value, length);
    raw[length] = '\0';
    return DecodeReferences(raw, decoded, capacity) && DecodedUrlAllowed(decoded, true);
}

// One attribute kept from a tag: its name from the list and its value as written.
struct Attribute {
    const char* name;
    const char* value;
    size_t length;
};

// A tag as read from the input.
struct Tag {
    bool end = false;
    const char* name = nullptr;
    size_t nameLength = 0;
    Attribute attributes[kMaxAttributes];
    int attributeCount = 0;
    const char* next = nullptr;  // the input right after the tag
};

// Reads the tag that starts at `p` (at "<" followed by a letter, or "</" and a letter). False
// when the input ends inside it; then the "<" is text.
bool ReadTag(const char* p, Tag* tag) {
    ++p;
    if (*p == '/') {
        tag->end = true;
        ++p;
    }
    tag->name = p;
    while (*p != '\0' && !IsAsciiSpace(*p) && *p != '/' && *p != '>') {
        ++p;
    }
    tag->nameLength = static_cast<size_t>(p - tag->name);
    for (;;) {
        while (IsAsciiSpace(*p) || *p == '/') {
            ++p;
        }
        if (*p == '\0') {
            return false;
        }
        if (*p == '>') {
            tag->next = p + 1;
            return true;
        }
        const char* name = p;
        ++p;  // a name may begin with "="
        while (*p != '\0' && !IsAsciiSpace(*p) && *p != '/' && *p != '>' && *p != '=') {
            ++p;
        }
        const size_t nameLength = static_cast<size_t>(p - name);
        const char* value = "";
        size_t valueLength = 0;
        while (IsAsciiSpace(*p)) {
            ++p;
        }
        if (*p == '=') {
            ++p;
            while (IsAsciiSpace(*p)) {
                ++p;
            }
            if (*p == '"' || *p == '\'') {
                const char* close = strchr(p + 1, *p);
                if (close == nullptr) {
                    return false;
                }
                value = p + 1;
                valueLength = static_cast<size_t>(close - value);
                p = close + 1;
            } else {
                value = p;
                while (*p != '\0' && !IsAsciiSpace(*p) && *p != '>') {
                    ++p;
                }
                valueLength = static_cast<size_t>(p - value);
            }
        }
        const char* kept = tag->end ? nullptr : FindKeptAttribute(name, nameLength);
        if (kept != nullptr && tag->attributeCount < kMaxAttributes) {
            tag->attributes[tag->attributeCount++] = {kept, value, valueLength};
        }
    }
}

bool IsUrlAttribute(const char* name) {
    return strcmp(name, "href") == 0 || strcmp(name, "src") == 0;
}

// The length of a URL once written with PutEscaped.
size_t EscapedLength(const char* url) {
    size_t length = 0;
    for (const char* p = url; *p != '\0'; ++p) {
        length += *p == '&' ? 5 : *p == '"' ? 6 : (*p == '<' || *p == '>') ? 4 : 1;
    }
    return length;
}

// The URL an href or src is written with: its references decoded, resolved against `base` when
// there is one (a feed's links are relative to the feed), and allowed. A URL too long to be
// checked again once escaped is dropped, so that sanitizing the result changes nothing.
bool KeptUrl(const Attribute& attribute, const char* base, char* url, size_t capacity) {
    char decoded[kUrlCheckCapacity];
    if (attribute.length >= kUrlCheckCapacity) {
        return false;
    }
    char raw[kUrlCheckCapacity];
    memcpy(raw, attribute.value, attribute.length);
    raw[attribute.length] = '\0';
    if (!DecodeReferences(raw, decoded, sizeof decoded)) {
        return false;
    }
    char resolved[kUrlCheckCapacity];
    if (base != nullptr && base[0] != '\0') {
        if (!ResolveReference(base, decoded, resolved, sizeof resolved, UrlFragment::kKeep)) {
            return false;
        }
    } else if (!CopyText(resolved, sizeof resolved, decoded)) {
        return false;
    }
    // A host or path in another script reaches the browser as the wire carries it, and without
    // the parameters that only tell who followed the link.
    char ascii[kUrlCheckCapacity];
    return AsciiUrl(resolved, ascii, sizeof ascii) &&
           StripTrackingParameters(ascii, url, capacity) && DecodedUrlAllowed(url, true) &&
           EscapedLength(url) < kUrlCheckCapacity;
}

const Attribute* FindTagAttribute(const Tag& tag, const char* name) {
    for (int i = 0; i < tag.attributeCount; ++i) {
        if (strcmp(tag.attributes[i].name, name) == 0) {
            return &tag.attributes[i];
        }
    }
    return nullptr;
}

// Whether a width or height is 0 or 1 pixel ("1", " 0px "): the size of a web beacon.
bool IsBeaconSize(const Attribute* size) {
    if (size == nullptr) {
        return false;
    }
    const char* p = size->value;
    const char* end = p + size->length;
    while (p < end && IsAsciiSpace(*p)) {
        ++p;
    }
    while (end > p && IsAsciiSpace(end[-1])) {
        --end;
    }
    if (end - p >= 2 && SameAsciiWord(end - 2, 2, "px")) {
        end -= 2;
    }
    return end - p == 1 && (*p == '0' || *p == '1');
}

// An image of 1 by 1 pixel (or none) shows nothing: it is there to tell its server the message
// was read.
bool IsBeacon(const Tag& tag) {
    return IsBeaconSize(FindTagAttribute(tag, "width")) &&
           IsBeaconSize(FindTagAttribute(tag, "height"));
}

// Writes a start tag anew; a tag that does not fit whole is taken back, so the result never ends
// inside one.
void PutStartTag(TextWriter* w, const char* name, const Tag& tag, const char* base) {
    const size_t start = w->length();
    w->Put("<");
    w->Put(name);
    for (int i = 0; i < tag.attributeCount; ++i) {
        const Attribute& attribute = tag.attributes[i];
        char url[kUrlCheckCapacity];
        const bool isUrl = IsUrlAttribute(attribute.name);
        if (isUrl && !KeptUrl(attribute, base, url, sizeof url)) {
            continue;
        }
        w->Put(" ");
        w->Put(attribute.name);
        w->Put("=\"");
        if (isUrl) {
            // The URL is written as it was checked, with every "&" escaped, so that what the
            // browser decodes is exactly what passed the check.
            PutEscaped(w, url, strlen(url), false);
        } else {
            PutEscaped(w, attribute.value, attribute.length, true);
        }
        w->Put("\"");
    }
    w->Put(">");
    if (w->cut()) {
        w->TakeBack(start);
    }
}

// Writes an end tag whole or not at all, so that the result never ends inside one.
bool PutEndTag(TextWriter* w, const char* name) {
    const size_t start = w->length();
    if (w->Put("</") && w->Put(name) && w->Put(">")) {
        return true;
    }
    w->TakeBack(start);
    return false;
}

// An embedded player is never run, but the reader is shown where its video is: a link to the
// video's page (its watch page for the players known, else the player's own address), with the
// item's picture when it has one and this is the first. Written whole or not at all, as markup
// the sanitizer keeps unchanged.
void PutEmbedLink(TextWriter* w, const Tag& tag, const char* base, const char** thumbnail) {
    const Attribute* src = FindTagAttribute(tag, "src");
    char player[kUrlCheckCapacity];
    if (src == nullptr || !KeptUrl(*src, base, player, sizeof player)) {
        return;
    }
    char page[kUrlCheckCapacity];
    const bool video = VideoPageUrl(player, page, sizeof page);
    const char* href = video ? page : player;
    const size_t start = w->length();
    w->Put("<a href=\"");
    PutEscaped(w, href, strlen(href), false);
    w->Put("\">");
    if (*thumbnail != nullptr) {
        w->Put("<img src=\"");
        PutEscaped(w, *thumbnail, strlen(*thumbnail), false);
        w->Put("\" alt=\"Video\"><br>");
    }
    w->Put(video ? "Watch the video" : "See what was embedded here");
    w->Put("</a>");
    if (w->cut()) {
        w->TakeBack(start);
        return;
    }
    *thumbnail = nullptr;
}

// Skips what follows a dropped element's start tag up to and with its matching end tag; the
// whole rest of the input when there is none. Nested elements of the same name count.
const char* SkipContent(const char* p, const char* name) {
    int depth = 1;
    while (*p != '\0') {
        const char* open = strchr(p, '<');
        if (open == nullptr) {
            break;
        }
        const bool end = open[1] == '/';
        const char* tagName = open + (end ? 2 : 1);
        const size_t length = strlen(name);
        if (SameAsciiWord(tagName, length, name) &&
            (tagName[length] == '\0' || IsAsciiSpace(tagName[length]) || tagName[length] == '/' ||
             tagName[length] == '>')) {
            depth += end ? -1 : 1;
            if (depth == 0) {
                const char* close = strchr(tagName, '>');
                return close ? close + 1 : tagName + strlen(tagName);
            }
        }
        p = open + 1;
    }
    return p + strlen(p);
}

}  // namespace

bool EscapeHtmlText(const char* text, char* out, size_t capacity) {
    TextWriter w(out, capacity);
    return text == nullptr ? !w.cut() : w.PutEscapedHtml(text, strlen(text));
}

bool IsAllowedUrl(const char* url, bool fromMarkup) {
    if (url == nullptr) {
        return false;
    }
    char decoded[kUrlCheckCapacity];
    if (fromMarkup) {
        return DecodeMarkupUrl(url, strlen(url), decoded, sizeof decoded);
    }
    return DecodedUrlAllowed(url, false);
}

bool MessageUrl(const char* url, char* out, size_t capacity) {
    char ascii[kUrlCheckCapacity];
    return IsAllowedUrl(url, false) && AsciiUrl(url, ascii, sizeof ascii) &&
           StripTrackingParameters(ascii, out, capacity);
}

bool SanitizeHtml(const char* html, char* out, size_t capacity, const char* baseUrl,
                  const char* thumbnailUrl) {
    if (capacity <= kCloserReserve) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return html == nullptr || *html == '\0';
    }
    // Room is kept back at the end for closing what is left open, whatever cut the text.
    TextWriter w(out, capacity - kCloserReserve);
    const char* open[kMaxOpen];
    int openCount = 0;
    const char* p = html ? html : "";
    // The item's picture, for the link that stands for an embedded player.
    char thumbnailKept[kUrlCheckCapacity];
    const char* thumbnail = nullptr;
    if (thumbnailUrl != nullptr && MessageUrl(thumbnailUrl, thumbnailKept, sizeof thumbnailKept) &&
        EscapedLength(thumbnailKept) < kUrlCheckCapacity) {
        thumbnail = thumbnailKept;
    }
    while (*p != '\0' && !w.cut()) {
        const char* lt = strchr(p, '<');
        const size_t textLength = lt ? static_cast<size_t>(lt - p) : strlen(p);
        PutEscaped(&w, p, textLength, true);
        p += textLength;
        if (*p == '\0' || w.cut()) {
            break;
        }
        // At "<".
        if (strncmp(p, "<!--", 4) == 0) {
            const char* close = strstr(p + 4, "-->");
            p = close ? close + 3 : p + strlen(p);
            continue;
        }
        if (p[1] == '!' || p[1] == '?') {
            const char* close = strchr(p, '>');
            p = close ? close + 1 : p + strlen(p);
            continue;
        }
        const bool looksLikeTag = IsAsciiLetter(p[1]) || (p[1] == '/' && IsAsciiLetter(p[2]));
        if (!looksLikeTag) {
            w.Put("&lt;");
            ++p;
            continue;
        }
        Tag tag;
        if (!ReadTag(p, &tag)) {
            // The input ends inside the tag, as it would for a browser, which takes all the rest
            // for part of it. Here the rest is text; reading every later "<" as the start of a
            // tag again would cost time in the square of the input's length.
            PutEscaped(&w, p, strlen(p), true);
            break;
        }
        p = tag.next;
        const ElementRule* rule = FindRule(tag.name, tag.nameLength);
        const Treatment treatment = rule ? rule->treatment : Treatment::kDropTag;
        if (tag.end) {
            if (treatment != Treatment::kKeep) {
                continue;
            }
            // Closes the element and whatever was left open inside it; an end tag without a
            // start is dropped.
            int at = openCount - 1;
            while (at >= 0 && open[at] != rule->name) {
                --at;
            }
            // An element is taken off the list only once its end tag is written; what the cut
            // leaves open is closed from the reserve below.
            while (at >= 0 && openCount > at && PutEndTag(&w, open[openCount - 1])) {
                --openCount;
            }
            continue;
        }
        switch (treatment) {
            case Treatment::kKeep:
                if (openCount < kMaxOpen) {
                    const size_t before = w.length();
                    PutStartTag(&w, rule->name, tag, baseUrl);
                    if (w.length() != before) {
                        open[openCount++] = rule->name;
                    }
                }
                break;
            case Treatment::kKeepVoid:
                if (!(strcmp(rule->name, "img") == 0 && IsBeacon(tag))) {
                    PutStartTag(&w, rule->name, tag, baseUrl);
                }
                break;
            case Treatment::kDropWithContent:
                if (strcmp(rule->name, "iframe") == 0) {
                    PutEmbedLink(&w, tag, baseUrl, &thumbnail);
                }
                p = SkipContent(p, rule->name);
                break;
            case Treatment::kDropTag:
            case Treatment::kDropVoid:
                break;
        }
    }
    TextWriter closers(out, capacity, w.length());
    while (openCount > 0) {
        PutEndTag(&closers, open[--openCount]);
    }
    return !w.cut();
}

namespace {

// Elements that mark up words within running text: their tags join the words around them; any
// other tag (a paragraph, a line break) parts them.
bool IsTextLevel(const char* name, size_t length) {
    static const char* const kTextLevel[] = {
        "a",    "abbr",   "acronym", "b",   "big", "cite", "code", "del",  "dfn",
        "em",   "font",   "i",       "ins", "kbd", "q",    "s",    "samp", "small",
        "span", "strike", "strong",  "sub", "sup", "tt",   "u",    "var"};
    for (const char* known : kTextLevel) {
        if (SameAsciiWord(name, length, known) && known[length] == '\0') {
            return true;
        }
    }
    return false;
}

// Writes a code point as UTF-8; false when it is none a text may hold.
size_t EncodeUtf8(unsigned long code, char* out) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    if (code < 0x80) {
        out[0] = static_cast<char>(code);
        return 1;
    }
    if (code < 0x800) {
        out[0] = static_cast<char>(0xC0 | (code >> 6));
        out[1] = static_cast<char>(0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (code >> 12));
        out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (code & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (code >> 18));
    out[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (code & 0x3F));
    return 4;
}

// The character a reference of `length` bytes at `p` stands for, as UTF-8 in `out`; 0 when it
// is none this decoder knows, and the "&" is then text.
size_t DecodeReference(const char* p, size_t length, char* out) {
    if (p[1] == '#') {
        const bool hex = p[2] == 'x' || p[2] == 'X';
        unsigned long code = 0;
        for (size_t i = hex ? 3 : 2; i + 1 < length; ++i) {
            const unsigned long digit = static_cast<unsigned long>(HexDigitValue(p[i]));
            code = code > 0x10FFFF ? code : code * (hex ? 16 : 10) + digit;
        }
        return EncodeUtf8(code, out);
    }
    static const struct {
        const char* name;
        unsigned long code;
    } kNamed[] = {{"amp", '&'},       {"lt", '<'},       {"gt", '>'},       {"quot", '"'},
                  {"apos", '\''},     {"nbsp", ' '},     {"ndash", 0x2013}, {"mdash", 0x2014},
                  {"hellip", 0x2026}, {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"ldquo", 0x201C},
                  {"rdquo", 0x201D},  {"laquo", 0xAB},   {"raquo", 0xBB},   {"copy", 0xA9},
                  {"reg", 0xAE},      {"trade", 0x2122}, {"euro", 0x20AC},  {"pound", 0xA3},
                  {"yen", 0xA5},      {"cent", 0xA2},    {"deg", 0xB0},     {"middot", 0xB7},
                  {"bull", 0x2022},   {"times", 0xD7}};
    for (const auto& named : kNamed) {
        // Named references are case-sensitive in HTML.
        if (strlen(named.name) == length - 2 && strncmp(p + 1, named.name, length - 2) == 0) {
            return EncodeUtf8(named.code, out);
        }
    }
    return 0;
}

}  // namespace

bool HtmlToText(const char* html, char* out, size_t capacity, TextBlocks blocks) {
    if (capacity == 0) {
        return false;
    }
    out[0] = '\0';
    size_t used = 0;
    bool blank = true;  // no blank at the start
    bool whole = true;
    // Appends a piece of text, a run of white space as one blank (or one line break, when the run
    // holds a block's end); false once the text is full.
    auto put = [&](const char* piece, size_t length) {
        if (length == 1 && static_cast<unsigned char>(piece[0]) <= ' ') {
            const bool lineBreak = piece[0] == '\n' && blocks == TextBlocks::kLineBreak;
            if (lineBreak && used > 0 && out[used - 1] == ' ') {
                out[used - 1] = '\n';
            } else if (!blank && used + 1 < capacity) {
                out[used++] = lineBreak ? '\n' : ' ';
                out[used] = '\0';
            }
            blank = true;
            return true;
        }
        if (!AppendUtf8(out, capacity, &used, piece, length)) {
            whole = false;
            return false;
        }
        blank = false;
        return true;
    };
    for (const char* p = html != nullptr ? html : ""; *p != '\0' && whole;) {
        if (*p == '<' && strncmp(p, "<!--", 4) == 0) {
            const char* close = strstr(p + 4, "-->");
            p = close != nullptr ? close + 3 : p + strlen(p);
            continue;
        }
        if (*p == '<' && (p[1] == '!' || p[1] == '?')) {
            const char* close = strchr(p, '>');
            p = close != nullptr ? close + 1 : p + strlen(p);
            continue;
        }
        Tag tag;
        if (*p == '<' && (IsAsciiLetter(p[1]) || (p[1] == '/' && IsAsciiLetter(p[2]))) &&
            ReadTag(p, &tag)) {
            p = tag.next;
            const ElementRule* rule = FindRule(tag.name, tag.nameLength);
            if (!tag.end && rule != nullptr && rule->treatment == Treatment::kDropWithContent) {
                p = SkipContent(p, rule->name);
            }
            if (!IsTextLevel(tag.name, tag.nameLength)) {
                put("\n", 1);
            }
            continue;
        }
        // A reference or a character is a few bytes at most: the rest of the text is not
        // measured at every character.
        const size_t reference =
            *p == '&' ? ReferenceLength(p, strnlen(p, kReferenceLookahead)) : 0;
        char decoded[4];
        const size_t decodedLength = reference != 0 ? DecodeReference(p, reference, decoded) : 0;
        if (decodedLength != 0) {
            put(decoded, decodedLength);
            p += reference;
            continue;
        }
        const size_t size = CharacterAt(p, strnlen(p, kReferenceLookahead));
        if (static_cast<unsigned char>(*p) < ' ' || *p == 0x7F) {
            put(" ", 1);
        } else {
            put(p, size);
        }
        p += size;
    }
    while (used > 0 && (out[used - 1] == ' ' || out[used - 1] == '\n')) {
        out[--used] = '\0';
    }
    return whole;
}
