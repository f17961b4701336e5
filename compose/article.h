// The article of a web page: the part of a page fetched for an item that holds the item's whole
// text, without the page's menus, headers, footers, sidebars, forms and comments. Found by a CSS
// selector the folder gives, else by the text it holds: the block with the most text outside
// links. Read from the page's bytes in one pass, in bounded memory; nothing of the page runs.
#pragma once

#include <cstddef>

// The most elements of a page that are told apart; the rest of a larger page is read as text of
// the last element open.
constexpr size_t kArticleElementCapacity = 64 * 1024;
// The longest selector a folder may give.
constexpr size_t kSelectorCapacity = 256;

class TextWriter;

// Writes the `length` bytes of markup at `markup` whole into `out`, a writer of `capacity` bytes
// that has not been cut, else as much as fits up to the last tag's start, so that markup is cut
// between elements. False when it was cut.
bool PutMarkupBetweenElements(TextWriter* out, size_t capacity, const char* markup, size_t length);

enum class ArticleFound {
    kFound,        // the article is in `out`
    kNone,         // the page holds no text worth taking, or nothing the selector names
    kBadSelector,  // the selector is none this reader knows (see FindArticle)
};

// What FindArticle took from a page besides the article.
struct ArticleFacts {
    // The page's own base: its <base href>, as written ("" when it has none).
    char base[1024] = {};
    // The article was cut to fit `capacity` (between elements), or the page had more elements
    // than are told apart.
    bool cut = false;
};

// Finds the article in the `length` bytes of HTML at `page` and writes its markup into `out` (of
// `capacity` bytes), unsanitized: the caller sanitizes it as feed text is. `selector` (null or
// "": none) names the article's element as CSS does, in compounds of a tag name, "#id" and
// ".class" (any of them, in that order) apart by blanks for descendants ("article .body",
// "div#main p" takes the first such p); the first element it names in the page is the article,
// all of it. Without one, the element of body, article, main, section, div or td whose text
// outside links, minus the text of its links, is the greatest is taken (a smaller one within it
// when it holds nearly all of it), and the navigation, headers, footers, asides, forms, scripts
// and comment sections inside it are left out.
ArticleFound FindArticle(const char* page, size_t length, const char* selector, char* out,
                         size_t capacity, ArticleFacts* facts);
