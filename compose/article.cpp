#include "compose/article.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <vector>

#include "base/text.h"

namespace {

// The text an article must hold at the least: a page of menus and a copyright line is none.
constexpr long long kLeastArticleText = 200;
// The greatest number of compounds in a selector.
constexpr size_t kSelectorCompounds = 8;
// The most classes one compound names.
constexpr size_t kCompoundClasses = 4;

struct Element {
    uint32_t start = 0;         // at its "<"
    uint32_t contentStart = 0;  // after its start tag
    uint32_t contentEnd = 0;    // at its end tag's "<", or where it was closed
    uint32_t end = 0;           // after its end tag
    int32_t parent = -1;
    uint32_t idAt = 0;
    uint32_t classAt = 0;
    uint16_t idLength = 0;
    uint16_t classLength = 0;
    uint16_t depth = 0;
    char name[12] = {};   // in small letters, cut
    bool skip = false;    // navigation, a footer, comments: no part of an article
    bool hidden = false;  // it or an element around it is skipped
    long long text = 0;   // characters of text outside links within it, skipped parts left out
    long long links = 0;  // characters of link text within it
};

bool IsTag(const Element& element, const char* name) {
    return strcmp(element.name, name) == 0;
}

bool IsOneOf(const char* name, std::initializer_list<const char*> names) {
    for (const char* one : names) {
        if (strcmp(name, one) == 0) {
            return true;
        }
    }
    return false;
}

bool IsVoid(const char* name) {
    return IsOneOf(name, {"area", "base", "br", "col", "embed", "hr", "img", "input", "link",
                          "meta", "param", "source", "track", "wbr"});
}

// Elements whose content is no markup: skipped to their end tag.
bool IsRawText(const char* name) {
    return IsOneOf(name, {"script", "style", "textarea", "title", "noscript", "template"});
}

// Whether a word of an id or class names a part of a page that is no article.
bool IsBoilerplateWord(const char* word, size_t length) {
    for (const char* boilerplate :
         {"comment",    "comments",    "sidebar",    "related",    "share",   "sharing",
          "social",     "footer",      "nav",        "navigation", "navbar",  "menu",
          "breadcrumb", "breadcrumbs", "newsletter", "promo",      "advert",  "ad",
          "ads",        "cookie",      "cookies",    "subscribe",  "masthead"}) {
        if (SameAsciiWord(word, length, boilerplate)) {
            return true;
        }
    }
    return false;
}

// Whether an id or class value holds such a word; words are apart by blanks, "-" and "_".
bool NamesBoilerplate(const char* value, size_t length) {
    size_t start = 0;
    for (size_t i = 0; i <= length; ++i) {
        if (i == length || IsAsciiSpace(value[i]) || value[i] == '-' || value[i] == '_') {
            if (i > start && IsBoilerplateWord(value + start, i - start)) {
                return true;
            }
            start = i + 1;
        }
    }
    return false;
}

// Characters of text in a run: a run of white space counts as one, a UTF-8 character as one.
long long TextLength(const char* text, size_t length) {
    long long count = 0;
    bool blank = true;
    for (size_t i = 0; i < length; ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (IsAsciiSpace(text[i])) {
            count += blank ? 0 : 1;
            blank = true;
        } else if ((byte & 0xC0) != 0x80) {
            ++count;
            blank = false;
        }
    }
    return count;
}

// One compound of a selector: a tag name, an id and classes, each optional.
struct Compound {
    const char* tag = nullptr;
    size_t tagLength = 0;
    const char* id = nullptr;
    size_t idLength = 0;
    const char* classes[kCompoundClasses] = {};
    size_t classLengths[kCompoundClasses] = {};
    size_t classCount = 0;
};

bool IsNameCharacter(char c) {
    return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '-' || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// Reads a selector into compounds; false for one of another form.
bool ReadSelector(const char* selector, Compound* compounds, size_t* count) {
    *count = 0;
    const char* p = selector;
    while (*p != '\0') {
        while (IsAsciiSpace(*p)) {
            ++p;
        }
        if (*p == '\0') {
            break;
        }
        if (*count == kSelectorCompounds) {
            return false;
        }
        Compound& compound = compounds[(*count)++];
        const char* start = p;
        while (IsNameCharacter(*p)) {
            ++p;
        }
        if (p > start) {
            compound.tag = start;
            compound.tagLength = static_cast<size_t>(p - start);
        }
        while (*p == '#' || *p == '.') {
            const char kind = *p++;
            const char* name = p;
            while (IsNameCharacter(*p)) {
                ++p;
            }
            const size_t length = static_cast<size_t>(p - name);
            if (length == 0 || (kind == '#' && compound.id != nullptr) ||
                (kind == '.' && compound.classCount == kCompoundClasses)) {
                return false;
            }
            if (kind == '#') {
                compound.id = name;
                compound.idLength = length;
            } else {
                compound.classes[compound.classCount] = name;
                compound.classLengths[compound.classCount++] = length;
            }
        }
        if (*p != '\0' && !IsAsciiSpace(*p)) {
            return false;
        }
    }
    return *count > 0;
}

bool HasClass(const char* page, const Element& element, const char* name, size_t length) {
    const char* value = page + element.classAt;
    size_t start = 0;
    for (size_t i = 0; i <= element.classLength; ++i) {
        if (i == element.classLength || IsAsciiSpace(value[i])) {
            if (i - start == length && memcmp(value + start, name, length) == 0) {
                return true;
            }
            start = i + 1;
        }
    }
    return false;
}

bool Matches(const char* page, const Element& element, const Compound& compound) {
    if (compound.tag != nullptr && !SameAsciiWord(compound.tag, compound.tagLength, element.name)) {
        return false;
    }
    if (compound.id != nullptr &&
        (element.idLength != compound.idLength ||
         memcmp(page + element.idAt, compound.id, compound.idLength) != 0)) {
        return false;
    }
    for (size_t i = 0; i < compound.classCount; ++i) {
        if (!HasClass(page, element, compound.classes[i], compound.classLengths[i])) {
            return false;
        }
    }
    return true;
}

// The page read into its elements, in the order they start.
class PageReader {
public:
    PageReader(const char* page, size_t length, ArticleFacts* facts)
        : page_(page), length_(length), facts_(facts) {}

    bool Read();
    const std::vector<Element>& elements() const { return elements_; }

private:
    void AddText(size_t from, size_t to);
    void StartTag(size_t at);
    void EndTag(size_t at);
    void Close(size_t contentEnd, size_t end);
    size_t TagEnd(size_t at) const;

    const char* page_;
    size_t length_;
    ArticleFacts* facts_;
    std::vector<Element> elements_;
    std::vector<int32_t> open_;
    int linkDepth_ = 0;
    size_t at_ = 0;
};

// The offset after the ">" that ends the tag at `at`, quotes heeded; the page's end when none does.
size_t PageReader::TagEnd(size_t at) const {
    char quote = 0;
    for (size_t i = at + 1; i < length_; ++i) {
        const char c = page_[i];
        if (quote != 0) {
            quote = c == quote ? 0 : quote;
        } else if (c == '"' || c == '\'') {
            // A quote counts only as an attribute's value starts (after "=").
            size_t before = i;
            while (before > at && IsAsciiSpace(page_[before - 1])) {
                --before;
            }
            quote = page_[before - 1] == '=' ? c : 0;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return length_;
}

void PageReader::AddText(size_t from, size_t to) {
    if (open_.empty() || from >= to) {
        return;
    }
    Element& element = elements_[static_cast<size_t>(open_.back())];
    if (element.hidden) {
        return;
    }
    const long long count = TextLength(page_ + from, to - from);
    (linkDepth_ > 0 ? element.links : element.text) += count;
}

// Closes the innermost open element; what it held counts for the one around it.
void PageReader::Close(size_t contentEnd, size_t end) {
    Element& element = elements_[static_cast<size_t>(open_.back())];
    open_.pop_back();
    element.contentEnd = static_cast<uint32_t>(contentEnd);
    element.end = static_cast<uint32_t>(end);
    if (IsTag(element, "a")) {
        --linkDepth_;
    }
    if (!open_.empty() && !element.hidden) {
        Element& parent = elements_[static_cast<size_t>(open_.back())];
        parent.text += element.text;
        parent.links += element.links;
    }
}

void PageReader::StartTag(size_t at) {
    const size_t end = TagEnd(at);
    size_t p = at + 1;
    char name[sizeof Element::name] = {};
    size_t nameLength = 0;
    while (p < end && IsNameCharacter(page_[p])) {
        if (nameLength + 1 < sizeof name) {
            name[nameLength++] = AsciiLower(page_[p]);
        }
        ++p;
    }
    Element element;
    memcpy(element.name, name, sizeof name);
    element.start = static_cast<uint32_t>(at);
    element.contentStart = static_cast<uint32_t>(end);
    // The attributes the reading needs: id, class, and a base's href.
    while (p < end) {
        while (p < end && (IsAsciiSpace(page_[p]) || page_[p] == '/')) {
            ++p;
        }
        const size_t attribute = p;
        while (p < end && page_[p] != '=' && page_[p] != '>' && !IsAsciiSpace(page_[p])) {
            ++p;
        }
        const size_t attributeLength = p - attribute;
        while (p < end && IsAsciiSpace(page_[p])) {
            ++p;
        }
        size_t value = p;
        size_t valueLength = 0;
        if (p < end && page_[p] == '=') {
            ++p;
            while (p < end && IsAsciiSpace(page_[p])) {
                ++p;
            }
            if (p < end && (page_[p] == '"' || page_[p] == '\'')) {
                const char quote = page_[p++];
                value = p;
                while (p < end && page_[p] != quote) {
                    ++p;
                }
                valueLength = p - value;
                ++p;
            } else {
                value = p;
                while (p < end && page_[p] != '>' && !IsAsciiSpace(page_[p])) {
                    ++p;
                }
                valueLength = p - value;
            }
        }
        if (attributeLength == 0) {
            ++p;
            continue;
        }
        const size_t kept = valueLength < UINT16_MAX ? valueLength : UINT16_MAX;
        if (SameAsciiWord(page_ + attribute, attributeLength, "id")) {
            element.idAt = static_cast<uint32_t>(value);
            element.idLength = static_cast<uint16_t>(kept);
        } else if (SameAsciiWord(page_ + attribute, attributeLength, "class")) {
            element.classAt = static_cast<uint32_t>(value);
            element.classLength = static_cast<uint16_t>(kept);
        } else if (strcmp(name, "base") == 0 &&
                   SameAsciiWord(page_ + attribute, attributeLength, "href") &&
                   facts_->base[0] == '\0') {
            TextWriter base(facts_->base, sizeof facts_->base);
            if (!base.Put(page_ + value, valueLength)) {
                facts_->base[0] = '\0';  // a base cut would name another page
            }
        }
    }
    at_ = end;
    if (IsRawText(name)) {
        // Up to its end tag, unread: a script's "<" is no tag.
        const size_t length = strlen(name);
        size_t close = end;
        while (close < length_) {
            const char* lt = static_cast<const char*>(memchr(page_ + close, '<', length_ - close));
            if (lt == nullptr) {
                close = length_;
                break;
            }
            close = static_cast<size_t>(lt - page_);
            if (close + 2 + length <= length_ && page_[close + 1] == '/' &&
                SameAsciiWord(page_ + close + 2, length, name)) {
                break;
            }
            ++close;
        }
        at_ = close < length_ ? TagEnd(close) : length_;
        return;
    }
    if (IsVoid(name) || (end >= 2 && page_[end - 2] == '/')) {
        return;
    }
    // A paragraph or list item left open ends where the next one starts.
    if (!open_.empty() && (strcmp(name, "p") == 0 || strcmp(name, "li") == 0) &&
        IsTag(elements_[static_cast<size_t>(open_.back())], name)) {
        Close(at, at);
    }
    if (elements_.size() >= kArticleElementCapacity) {
        facts_->cut = true;  // its text counts for the element around it
        return;
    }
    const Element* parent = open_.empty() ? nullptr : &elements_[static_cast<size_t>(open_.back())];
    element.parent = open_.empty() ? -1 : open_.back();
    element.depth = static_cast<uint16_t>(open_.size() < UINT16_MAX ? open_.size() : UINT16_MAX);
    element.skip = IsOneOf(name, {"nav", "header", "footer", "aside", "form", "iframe", "svg",
                                  "button", "select", "menu", "dialog"}) ||
                   NamesBoilerplate(page_ + element.idAt, element.idLength) ||
                   NamesBoilerplate(page_ + element.classAt, element.classLength);
    element.hidden = element.skip || (parent != nullptr && parent->hidden);
    if (strcmp(name, "a") == 0) {
        ++linkDepth_;
    }
    open_.push_back(static_cast<int32_t>(elements_.size()));
    elements_.push_back(element);
}

void PageReader::EndTag(size_t at) {
    const size_t end = TagEnd(at);
    char name[sizeof Element::name] = {};
    size_t nameLength = 0;
    for (size_t p = at + 2; p < end && IsNameCharacter(page_[p]); ++p) {
        if (nameLength + 1 < sizeof name) {
            name[nameLength++] = AsciiLower(page_[p]);
        }
    }
    at_ = end;
    // Closes the element it names and whatever was left open inside it; an end tag of nothing
    // open is ignored.
    size_t depth = open_.size();
    while (depth > 0 && !IsTag(elements_[static_cast<size_t>(open_[depth - 1])], name)) {
        --depth;
    }
    if (depth == 0) {
        return;
    }
    while (open_.size() > depth) {
        Close(at, at);
    }
    Close(at, end);
}

bool PageReader::Read() {
    elements_.reserve(1024);
    open_.reserve(64);
    while (at_ < length_) {
        const char* lt = static_cast<const char*>(memchr(page_ + at_, '<', length_ - at_));
        const size_t tag = lt != nullptr ? static_cast<size_t>(lt - page_) : length_;
        AddText(at_, tag);
        at_ = tag;
        if (tag >= length_) {
            break;
        }
        const char next = tag + 1 < length_ ? page_[tag + 1] : '\0';
        if (next == '!' && tag + 3 < length_ && page_[tag + 2] == '-' && page_[tag + 3] == '-') {
            const char* close = nullptr;
            for (size_t i = tag + 4; i + 2 < length_ && close == nullptr; ++i) {
                close = page_[i] == '-' && page_[i + 1] == '-' && page_[i + 2] == '>' ? page_ + i
                                                                                      : nullptr;
            }
            at_ = close != nullptr ? static_cast<size_t>(close - page_) + 3 : length_;
        } else if (next == '!' || next == '?') {
            at_ = TagEnd(tag);
        } else if (next == '/' && tag + 2 < length_ && IsAsciiLetter(page_[tag + 2])) {
            EndTag(tag);
        } else if (IsAsciiLetter(next)) {
            StartTag(tag);
        } else {
            AddText(tag, tag + 1);
            at_ = tag + 1;
        }
    }
    while (!open_.empty()) {
        Close(length_, length_);
    }
    return true;
}

}  // namespace

bool PutMarkupBetweenElements(TextWriter* out, size_t capacity, const char* markup, size_t length) {
    const size_t room = capacity - out->length() - 1;
    if (length <= room) {
        return out->Put(markup, length);
    }
    size_t cut = room;
    while (cut > 0 && markup[cut] != '<') {
        --cut;
    }
    static_cast<void>(out->Put(markup, cut));
    return false;
}

ArticleFound FindArticle(const char* page, size_t length, const char* selector, char* out,
                         size_t capacity, ArticleFacts* facts) {
    *facts = ArticleFacts();
    if (capacity > 0) {
        out[0] = '\0';
    }
    Compound compounds[kSelectorCompounds];
    size_t compoundCount = 0;
    const bool selected = selector != nullptr && selector[0] != '\0';
    if (selected && !ReadSelector(selector, compounds, &compoundCount)) {
        return ArticleFound::kBadSelector;
    }
    // Offsets are kept in 32 bits: a page is at most a few megabytes.
    if (length >= UINT32_MAX || capacity == 0) {
        return ArticleFound::kNone;
    }
    std::unique_ptr<PageReader> reader(new (std::nothrow) PageReader(page, length, facts));
    if (reader == nullptr) {
        return ArticleFound::kNone;
    }
    reader->Read();
    const std::vector<Element>& elements = reader->elements();

    long chosen = -1;
    if (selected) {
        // The first element the last compound names whose ancestors the others name, in order.
        for (size_t i = 0; i < elements.size() && chosen < 0; ++i) {
            if (!Matches(page, elements[i], compounds[compoundCount - 1])) {
                continue;
            }
            size_t wanted = compoundCount - 1;
            for (int32_t up = elements[i].parent; up >= 0 && wanted > 0;
                 up = elements[static_cast<size_t>(up)].parent) {
                if (Matches(page, elements[static_cast<size_t>(up)], compounds[wanted - 1])) {
                    --wanted;
                }
            }
            chosen = wanted == 0 ? static_cast<long>(i) : -1;
        }
    } else {
        long long most = 0;
        for (const Element& element : elements) {
            if (!element.hidden &&
                IsOneOf(element.name, {"body", "article", "main", "section", "div", "td"})) {
                most = element.text - element.links > most ? element.text - element.links : most;
            }
        }
        if (most < kLeastArticleText) {
            return ArticleFound::kNone;
        }
        // An article or main element that holds half of it is the article as its page says; else
        // the deepest block that holds nearly all of the most.
        long long bestMarked = 0;
        int deepest = -1;
        for (size_t i = 0; i < elements.size(); ++i) {
            const Element& element = elements[i];
            const long long score = element.text - element.links;
            if (element.hidden ||
                !IsOneOf(element.name, {"body", "article", "main", "section", "div", "td"})) {
                continue;
            }
            if ((IsTag(element, "article") || IsTag(element, "main")) && 2 * score >= most &&
                score > bestMarked) {
                bestMarked = score;
                chosen = static_cast<long>(i);
            }
            if (bestMarked == 0 && 10 * score >= 9 * most && element.depth > deepest) {
                deepest = element.depth;
                chosen = static_cast<long>(i);
            }
        }
    }
    if (chosen < 0) {
        return ArticleFound::kNone;
    }

    // The article's content, without the parts of the page inside it that are no article.
    const Element& article = elements[static_cast<size_t>(chosen)];
    TextWriter w(out, capacity);
    size_t cursor = article.contentStart;
    bool whole = true;
    for (size_t i = static_cast<size_t>(chosen) + 1;
         whole && i < elements.size() && elements[i].start < article.contentEnd; ++i) {
        const Element& inner = elements[i];
        if (selected || !inner.skip || inner.start < cursor) {
            continue;
        }
        whole = PutMarkupBetweenElements(&w, capacity, page + cursor, inner.start - cursor);
        cursor = inner.end > cursor ? inner.end : cursor;
    }
    if (whole && article.contentEnd > cursor) {
        whole = PutMarkupBetweenElements(&w, capacity, page + cursor, article.contentEnd - cursor);
    }
    facts->cut = facts->cut || !whole;
    return ArticleFound::kFound;
}
