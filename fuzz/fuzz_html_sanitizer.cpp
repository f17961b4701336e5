// SanitizeHtml on arbitrary markup: the result fits the documented bound, is made only of text
// and the tags and attributes on the allow-list with quoted, escaped values and harmless URLs,
// and comes out unchanged when sanitized again.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "compose/html_sanitizer.h"

namespace {

const char* const kElements[] = {
    "a",    "abbr",       "acronym",  "address", "b",      "big", "blockquote", "caption", "center",
    "cite", "code",       "colgroup", "dd",      "del",    "dfn", "div",        "dl",      "dt",
    "em",   "figcaption", "figure",   "h1",      "h2",     "h3",  "h4",         "h5",      "h6",
    "i",    "ins",        "kbd",      "li",      "ol",     "p",   "pre",        "q",       "s",
    "samp", "small",      "span",     "strike",  "strong", "sub", "sup",        "table",   "tbody",
    "td",   "tfoot",      "th",       "thead",   "tr",     "tt",  "u",          "ul",      "var",
    "br",   "col",        "hr",       "img",     "wbr"};
const char* const kAttributes[] = {"href",  "src",    "alt",     "title",
                                   "width", "height", "colspan", "rowspan"};

bool Listed(const std::string& name, const char* const* list, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (name == list[i]) {
            return true;
        }
    }
    return false;
}

// Checks one tag of the result starting at `at` ("<"); returns the position after it.
size_t CheckTag(const std::string& html, size_t at) {
    size_t p = at + 1;
    const bool end = p < html.size() && html[p] == '/';
    p += end ? 1 : 0;
    size_t nameEnd = html.find_first_of(" >", p);
    if (nameEnd == std::string::npos) {
        abort();
    }
    if (!Listed(html.substr(p, nameEnd - p), kElements, sizeof kElements / sizeof *kElements)) {
        abort();
    }
    p = nameEnd;
    while (html[p] == ' ') {
        if (end) {
            abort();
        }
        const size_t eq = html.find("=\"", p + 1);
        if (eq == std::string::npos) {
            abort();
        }
        const std::string name = html.substr(p + 1, eq - p - 1);
        if (!Listed(name, kAttributes, sizeof kAttributes / sizeof *kAttributes)) {
            abort();
        }
        const size_t close = html.find('"', eq + 2);
        if (close == std::string::npos) {
            abort();
        }
        const std::string value = html.substr(eq + 2, close - eq - 2);
        if (value.find_first_of("<>") != std::string::npos) {
            abort();
        }
        if ((name == "href" || name == "src") && !IsAllowedUrl(value.c_str(), true)) {
            abort();
        }
        p = close + 1;
    }
    if (html[p] != '>') {
        abort();
    }
    return p + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t length = strlen(input.c_str());
    std::string out(kHtmlGrowth * length + kHtmlSlack, '\0');
    if (!SanitizeHtml(input.c_str(), &out[0], out.size())) {
        abort();
    }
    const std::string result = out.c_str();
    for (size_t at = 0; at < result.size();) {
        const char c = result[at];
        if (c == '>' || c == '"') {
            abort();
        }
        at = c == '<' ? CheckTag(result, at) : at + 1;
    }
    std::string again(kHtmlGrowth * result.size() + kHtmlSlack, '\0');
    if (!SanitizeHtml(result.c_str(), &again[0], again.size()) || result != again.c_str()) {
        abort();
    }
    return 0;
}
