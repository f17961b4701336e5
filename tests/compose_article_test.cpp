// The article of a page: found by the text it holds, or by the folder's selector, without the
// page's menus, sidebars, footers and comments, in bounded memory whatever the page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compose/article.h"

namespace {

// A paragraph of the article: long enough that the article outweighs the rest of the page.
std::string Paragraph(const std::string& mark) {
    return "<p>" + mark +
           ": the ferry left at dawn and crossed the bay in the fog, with the gulls behind it and "
           "the pier lights still burning on the far side of the water.</p>";
}

const std::string kBlog =
    "<!DOCTYPE html><html><head><title>Post</title><script>var x = '<p>" + std::string(400, 's') +
    "</p>';</script></head><body>"
    "<header><nav><a href=\"/\">Home</a> <a href=\"/about\">About</a></nav></header>"
    "<div id=\"wrap\"><div class=\"post\"><h1>The harbour at dawn</h1>" +
    Paragraph("P1") + Paragraph("P2") + Paragraph("P3") +
    "</div><aside class=\"widget\"><h3>Archives</h3><p>SIDEBAR words, many of them, " +
    std::string(120, 'x') + "</p></aside><section id=\"comments\"><p>COMMENT: great post, " +
    std::string(150, 'c') +
    "</p></section></div>"
    "<footer><p>COPYRIGHT 2026</p></footer></body></html>";

const std::string kNews =
    "<html><body><div class=\"page\"><ul class=\"main-menu\"><li><a href=\"/a\">World news and "
    "more</a></li><li><a href=\"/b\">Sports and the weather</a></li></ul>"
    "<article><h1>Harbour reopens</h1>" +
    Paragraph("N1") + Paragraph("N2") +
    "<div class=\"related-stories\"><a href=\"/c\">RELATED one</a></div></article>"
    "<div class=\"more\"><ul><li><a href=\"/d\">" +
    std::string(300, 'l') + "</a></li></ul></div></div></body></html>";

const std::string kSplit = "<html><body><div id=\"content\"><div class=\"part\">" +
                           Paragraph("S1") + Paragraph("S2") + "</div><div class=\"part\">" +
                           Paragraph("S3") + Paragraph("S4") +
                           "</div></div><div class=\"links\"><a href=\"/x\">" +
                           std::string(200, 'k') + "</a></div></body></html>";

const std::string kBase =
    "<html><head><base href=\"https://cdn.example/story/\"></head><body><div>" + Paragraph("B1") +
    "<img src=\"pics/1.jpg\">" + Paragraph("B2") + "</div></body></html>";

const std::string kSelected =
    "<html><body><div class=\"teaser\">" + Paragraph("T1") + Paragraph("T2") + Paragraph("T3") +
    "</div><div id=\"main\"><div class=\"entry body\"><p>SELECTED text</p><p>and more</p></div>"
    "</div></body></html>";

struct ArticleCase {
    const char* name;
    const std::string* page;
    const char* selector;
    ArticleFound found;
    std::vector<std::string> kept;
    std::vector<std::string> left;
};

TEST(ComposeArticle, TheArticleIsFoundWithoutTheRestOfThePage) {
    const std::string broken =
        "<body><div><p>" + std::string(300, 'u') + "</span></div></div><p>UNCLOSED <b>bold<i>both";
    const std::string menusOnly =
        "<html><body><nav><a href=\"/\">Home</a></nav><p>Copyright</p></body></html>";
    const ArticleCase cases[] = {
        {"a blog post with a sidebar and comments",
         &kBlog,
         "",
         ArticleFound::kFound,
         {"P1:", "P2:", "P3:", "The harbour at dawn"},
         {"SIDEBAR", "COMMENT", "Home", "COPYRIGHT", "sss"}},
        {"a news page with navigation and related links",
         &kNews,
         nullptr,
         ArticleFound::kFound,
         {"N1:", "N2:", "Harbour reopens"},
         {"World news", "RELATED", "llll"}},
        {"a text split across several divs",
         &kSplit,
         "",
         ArticleFound::kFound,
         {"S1:", "S2:", "S3:", "S4:"},
         {"kkkk"}},
        {"a relative image under a base",
         &kBase,
         "",
         ArticleFound::kFound,
         {"B1:", "<img src=\"pics/1.jpg\">", "B2:"},
         {}},
        {"the selector names the article",
         &kSelected,
         "div.entry",
         ArticleFound::kFound,
         {"SELECTED text", "and more"},
         {"T1:"}},
        {"a compound of classes",
         &kSelected,
         ".entry.body",
         ArticleFound::kFound,
         {"SELECTED text"},
         {"T1:"}},
        {"descendants, the first named",
         &kSelected,
         "#main p",
         ArticleFound::kFound,
         {"SELECTED text"},
         {"and more", "T1:"}},
        {"a selector that names nothing", &kSelected, "article", ArticleFound::kNone, {}, {}},
        {"a selector of another form", &kSelected, "div > p", ArticleFound::kBadSelector, {}, {}},
        {"a selector of another form", &kSelected, "div[id]", ArticleFound::kBadSelector, {}, {}},
        {"a page of menus only", &menusOnly, "", ArticleFound::kNone, {}, {}},
        {"broken markup", &broken, "", ArticleFound::kFound, {"<p>uuuu"}, {}},
    };
    for (const ArticleCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out(64 * 1024, '\0');
        ArticleFacts facts;
        EXPECT_EQ(
            FindArticle(c.page->data(), c.page->size(), c.selector, &out[0], out.size(), &facts),
            c.found);
        const std::string article = out.c_str();
        for (const std::string& kept : c.kept) {
            EXPECT_NE(article.find(kept), std::string::npos) << kept << " in " << article;
        }
        for (const std::string& left : c.left) {
            EXPECT_EQ(article.find(left), std::string::npos) << left << " in " << article;
        }
        EXPECT_FALSE(facts.cut);
        if (c.page == &kBase) {
            EXPECT_STREQ(facts.base, "https://cdn.example/story/");
        }
    }
}

// However large or strange the page, the reading ends, the article fits its room, cut between
// elements, and the cut is said.
TEST(ComposeArticle, AnyPageEndsWithinItsBounds) {
    std::string many = "<html><body><div>";
    for (int i = 0; i < 100000; ++i) {
        many += "<span>word </span>";
    }
    many += "</div></body></html>";
    std::string out(16 * 1024, '\0');
    ArticleFacts facts;
    EXPECT_EQ(FindArticle(many.data(), many.size(), "", &out[0], out.size(), &facts),
              ArticleFound::kFound);
    EXPECT_TRUE(facts.cut);
    const std::string article = out.c_str();
    EXPECT_LT(article.size(), out.size());
    EXPECT_EQ(article.back(), '>') << "cut between elements";

    for (const std::string& strange :
         {std::string("<"), std::string("<!--"), std::string("<p class=\"open"),
          std::string("<script>never closed <p>"), std::string(1, '\0') + "<p>x",
          std::string("</p></p></div>")}) {
        ArticleFacts none;
        EXPECT_EQ(FindArticle(strange.data(), strange.size(), "", &out[0], out.size(), &none),
                  ArticleFound::kNone)
            << strange;
    }
}

}  // namespace
