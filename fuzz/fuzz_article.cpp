// The article of random pages, checked against a plain reading of the rule: the reading always
// ends, the article is terminated within its room, it is made of the page's own bytes (never of
// anything else), nothing is written when nothing is found, and the element a selector names is
// taken whole, as a piece of the page.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "compose/article.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string page(reinterpret_cast<const char*>(data), size);
    // The first line, when short, is the selector; the rest the page.
    const size_t line = page.find('\n');
    const std::string selector = line != std::string::npos && line < 40 ? page.substr(0, line) : "";
    const std::string body = line != std::string::npos && line < 40 ? page.substr(line + 1) : page;
    static char out[4096];
    memset(out, 0x5A, sizeof out);
    ArticleFacts facts;
    const ArticleFound found =
        FindArticle(body.data(), body.size(), selector.c_str(), out, sizeof out, &facts);
    if (memchr(out, '\0', sizeof out) == nullptr ||
        memchr(facts.base, '\0', sizeof facts.base) == nullptr) {
        abort();
    }
    const size_t length = strlen(out);
    if (found != ArticleFound::kFound && length != 0) {
        abort();
    }
    // Every byte of the article is a byte of the page: with nothing left out, a piece of it.
    if (length > 0 && memchr(body.data(), out[0], body.size()) == nullptr) {
        abort();
    }
    for (size_t i = 0; i < length; ++i) {
        if (body.find(out[i]) == std::string::npos) {
            abort();
        }
    }
    // An element a selector names is taken whole: a piece of the page as it is.
    if (found == ArticleFound::kFound && !selector.empty() && !facts.cut &&
        body.find(std::string(out, length)) == std::string::npos) {
        abort();
    }
    return 0;
}
