// The description's HTML: formatting survives, nothing active does, broken markup stays inert.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "compose/html_sanitizer.h"
#include "tests/compose_support.h"

namespace {

struct HtmlCase {
    const char* input;
    const char* output;
};

std::string Sanitize(const std::string& html) {
    std::string out(kHtmlGrowth * html.size() + kHtmlSlack, '\0');
    EXPECT_TRUE(SanitizeHtml(html.c_str(), &out[0], out.size())) << html;
    return out.c_str();
}

TEST(ComposeSanitizer, FormattingSurvives) {
    const HtmlCase cases[] = {
        {"plain text", "plain text"},
        {"<p>Hi <b>there</b><br/>x</p>", "<p>Hi <b>there</b><br>x</p>"},
        {"<P CLASS=x ID=y>Hi</P>", "<p>Hi</p>"},
        {"<ul><li>one<li>two</ul>", "<ul><li>one<li>two</li></li></ul>"},
        {"<blockquote><q>q</q></blockquote><pre><code>c</code></pre>",
         "<blockquote><q>q</q></blockquote><pre><code>c</code></pre>"},
        {"<table><tr><td colspan=2 rowspan='3'>c</td></tr></table>",
         "<table><tr><td colspan=\"2\" rowspan=\"3\">c</td></tr></table>"},
        {"<h3>t</h3><hr><sub>1</sub><sup>2</sup><figure>f</figure>",
         "<h3>t</h3><hr><sub>1</sub><sup>2</sup><figure>f</figure>"},
        {"<a href=\"http://e.com/a?b=1&amp;c=2\" title='T'>L</a>",
         "<a href=\"http://e.com/a?b=1&amp;c=2\" title=\"T\">L</a>"},
        {"<a href=\"HTTPS://e.com\">s</a><a href=mailto:a@b.c>m</a><a href=\"../rel#x\">r</a>",
         "<a href=\"HTTPS://e.com\">s</a><a href=\"mailto:a@b.c\">m</a><a href=\"../rel#x\">r</a>"},
        {"<img src=pic.png width=10 height=20 alt=\"a &quot;b&quot;\">",
         "<img src=\"pic.png\" width=\"10\" height=\"20\" alt=\"a &quot;b&quot;\">"},
        {"<img src='x.png' alt='say \"hi\"'>", "<img src=\"x.png\" alt=\"say &quot;hi&quot;\">"},
        {"&amp; &#169; &#xA9; &nbsp; &bogus", "&amp; &#169; &#xA9; &nbsp; &amp;bogus"},
        {"a < b > c", "a &lt; b &gt; c"},
        {"<font color=red>red</font> <span>s</span>", "red <span>s</span>"},
    };
    for (const HtmlCase& c : cases) {
        EXPECT_EQ(Sanitize(c.input), c.output) << c.input;
    }
}

TEST(ComposeSanitizer, NothingActiveSurvives) {
    const HtmlCase cases[] = {
        {"<script>alert(1)</script>after", "after"},
        {"<SCRIPT type=x>alert(1)</SCRIPT >after", "after"},
        {"<script>document.write('<b>')</script>b", "b"},
        {"<style>body{width:expression(alert(1))}</style>t", "t"},
        // A player never runs; a link to where it pointed stays.
        {"<iframe src=x>inner</iframe>t", "<a href=\"x\">See what was embedded here</a>t"},
        {"<iframe src=\"javascript:alert(1)\"></iframe>t", "t"},
        {"<object><object></object>in</object>t", "t"},
        {"<applet code=x>a</applet><form action=x><input name=a>f</form>t", "t"},
        {"<meta http-equiv=refresh content=0><link rel=stylesheet href=x><base href=x>"
         "<embed src=x>t",
         "t"},
        {"<xml id=x><x>data</x></xml>t", "t"},
        {"<svg><script>x</script>y</svg>", "y"},
        {"<div style=\"width:expression(alert(1))\" onmouseover=x class=y>d</div>", "<div>d</div>"},
        {"<img src=x onerror=alert(1)>", "<img src=\"x\">"},
        {"<body onload=alert(1)>b</body>", "b"},
        {"<a href=\"javascript:alert(1)\">L</a>", "<a>L</a>"},
        {"<a href=\" JaVa\tScRiPt:alert(1)\">L</a>", "<a>L</a>"},
        {"<a href=\"java&#x09;script:alert(1)\">L</a>", "<a>L</a>"},
        {"<a href=\"javascript&#58;alert(1)\">L</a>", "<a>L</a>"},
        {"<a href=\"javascript&#0000058alert(1)\">L</a>", "<a>L</a>"},
        {"<a href=\"javascript&colon;alert(1)\">L</a>", "<a>L</a>"},
        {"<a href=\"javascript&Colon;alert(1)\">L</a>", "<a>L</a>"},
        {"<img src=\"vbscript:x\" alt=a>", "<img alt=\"a\">"},
        {"<img src=\"data:image/png;base64,xx\">", "<img>"},
        {"<img src=`javascript:alert(1)`>", "<img>"},
        {"<a href=\"\\\\evil\\share\">x</a>", "<a>x</a>"},
        {"<!-- <script>alert(1)</script> -->t", "t"},
        {"<!--[if IE]><script>x</script><![endif]-->t", "t"},
        {"<!DOCTYPE html><?xml version='1.0'?>t", "t"},
        {"<scr<script>ipt>alert(1)</script>", "ipt&gt;alert(1)"},
    };
    for (const HtmlCase& c : cases) {
        EXPECT_EQ(Sanitize(c.input), c.output) << c.input;
    }
}

TEST(ComposeSanitizer, BrokenMarkupStaysInert) {
    const HtmlCase cases[] = {
        {"<b>unclosed", "<b>unclosed</b>"},
        {"<b><i>x</b>y</i>", "<b><i>x</i></b>y"},
        {"</div></div>breakout", "breakout"},
        {"<img src=x onerror=alert(1)", "&lt;img src=x onerror=alert(1)"},
        {"<a href='x>y", "&lt;a href='x&gt;y"},
        {"<a href=\"http://x\" title=\"unterminated>t",
         "&lt;a href=&quot;http://x&quot; title=&quot;unterminated&gt;t"},
        {"x<", "x&lt;"},
        {"<!-- never closed <script>x</script>", ""},
        {"<script>never closed", ""},
        {"< script>alert(1)", "&lt; script&gt;alert(1)"},
        // A tag the input ends in takes the rest with it, as in a browser; here as text.
        {"<a href='x>y <b>z</b>", "&lt;a href='x&gt;y &lt;b&gt;z&lt;/b&gt;"},
        {"<i>a</i><a \"<a \"<a \"", "<i>a</i>&lt;a &quot;&lt;a &quot;&lt;a &quot;"},
    };
    for (const HtmlCase& c : cases) {
        EXPECT_EQ(Sanitize(c.input), c.output) << c.input;
    }
}

TEST(ComposeSanitizer, Utf8CharactersStayWholeEvenWhereTheTextIsCut) {
    EXPECT_EQ(Sanitize("<p title=\"\xE6\x97\xA5\">\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80</p>"),
              "<p title=\"\xE6\x97\xA5\">\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80</p>");
    // A plain value cut to fit ends between two characters, never inside one.
    char out[8];
    EXPECT_FALSE(EscapeHtmlText("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", out, sizeof out));
    EXPECT_STREQ(out, "\xE6\x97\xA5\xE6\x9C\xAC");
}

TEST(ComposeSanitizer, CutResultIsStillClosed) {
    const std::string html = "<div><b>" + std::string(5000, 'x') + "</b></div>";
    char out[2000];
    EXPECT_FALSE(SanitizeHtml(html.c_str(), out, sizeof out));
    const std::string result = out;
    EXPECT_LT(result.size(), sizeof out);
    EXPECT_EQ(result.substr(0, 8), "<div><b>");
    EXPECT_EQ(result.substr(result.size() - 10), "</b></div>");

    // A cut that falls on an end tag leaves no piece of it and closes what is open: the text
    // fills the room up to two bytes short of "</b>", whichever way the tags come.
    const size_t room = sizeof out - 1 - 64 * 13;
    for (size_t shortBy : {1, 2, 3}) {
        SCOPED_TRACE(shortBy);
        const std::string cutAtEnd =
            "<div><b>" + std::string(room - 8 - shortBy, 'y') + "</b>more</div>";
        EXPECT_FALSE(SanitizeHtml(cutAtEnd.c_str(), out, sizeof out));
        const std::string closed = out;
        EXPECT_EQ(closed.substr(closed.size() - 10), "</b></div>")
            << closed.substr(closed.size() - 20);
        EXPECT_EQ(closed.find("</<"), std::string::npos);
    }
}

TEST(ComposeSanitizer, EscapesPlainValues) {
    char out[64];
    EXPECT_TRUE(EscapeHtmlText("a&b<c>d\"e&amp;", out, sizeof out));
    EXPECT_STREQ(out, "a&amp;b&lt;c&gt;d&quot;e&amp;amp;");
    char small[8];
    EXPECT_FALSE(EscapeHtmlText("&&&", small, sizeof small));
    EXPECT_STREQ(small, "&amp;");
}

TEST(ComposeSanitizer, AllowedUrls) {
    const struct {
        const char* url;
        bool allowed;
    } cases[] = {
        {"http://x", true},
        {"HTTPS://x", true},
        {"mailto:a@b", true},
        {"rel/path?q=1&r=2", true},
        {"//host/x", false},
        {" / /host/x", false},
        {"#top", true},
        {"", true},
        {"javascript:x", false},
        {"vbscript:x", false},
        {"data:text/html,x", false},
        {"file:///c:/x", false},
        {"java\nscript:x", false},
        {":x", false},
        {"\\\\host\\share", false},
        {"/\\host", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsAllowedUrl(c.url, false), c.allowed) << c.url;
    }
    EXPECT_FALSE(IsAllowedUrl("javascript&#58;x", true));
    EXPECT_TRUE(IsAllowedUrl("javascript&#58;x", false));  // a relative URL when not markup
    EXPECT_FALSE(IsAllowedUrl(nullptr, false));
}

}  // namespace

namespace {

// Links and images of a feed are relative to the feed (or its xml:base): each is resolved before
// the scheme is judged, and the result is a fixed point.
TEST(ComposeSanitizer, UrlsResolveAgainstTheBaseBeforeTheyAreJudged) {
    const char* base = "https://blog.example/2025/08/post.html";
    const HtmlCase cases[] = {
        {"<a href=\"/2025/08/26/qemu-10-1-0/\">q</a>",
         "<a href=\"https://blog.example/2025/08/26/qemu-10-1-0/\">q</a>"},
        {"<img src=\"pic.png\">", "<img src=\"https://blog.example/2025/08/pic.png\">"},
        {"<img src=\"//cdn.example/i.png\">", "<img src=\"https://cdn.example/i.png\">"},
        {"<a href=\"../a?x=1&amp;y=2#c\">a</a>",
         "<a href=\"https://blog.example/2025/a?x=1&amp;y=2#c\">a</a>"},
        {"<a href=\"#top\">t</a>", "<a href=\"https://blog.example/2025/08/post.html#top\">t</a>"},
        {"<a href=\"mailto:a@b.c\">m</a>", "<a href=\"mailto:a@b.c\">m</a>"},
        {"<a href=\"javascript:x\">j</a>", "<a>j</a>"},
        {"<a href=\"java&#115;cript:x\">j</a>", "<a>j</a>"},
    };
    for (const HtmlCase& c : cases) {
        std::string out(kHtmlGrowth * strlen(c.input) + kHtmlSlack, '\0');
        EXPECT_TRUE(SanitizeHtml(c.input, &out[0], out.size(), base)) << c.input;
        EXPECT_STREQ(out.c_str(), c.output) << c.input;
        const std::string once = out.c_str();
        for (const char* again : {base, static_cast<const char*>(nullptr)}) {
            std::string twice(kHtmlGrowth * once.size() + kHtmlSlack, '\0');
            EXPECT_TRUE(SanitizeHtml(once.c_str(), &twice[0], twice.size(), again));
            EXPECT_EQ(once, twice.c_str()) << c.input;
        }
    }
    // A URL whose escaped "&"s would outgrow what the sanitizer reads is dropped rather than
    // kept in a form that a second pass would drop.
    const std::string longUrl = "<a href=\"http://e.com/?" + std::string(1000, '&') + "\">x</a>";
    EXPECT_EQ(Sanitize(longUrl), "<a>x</a>");
}

// What only tracks the reader goes: beacons and tracking parameters. A player becomes a link to
// its video's page, around the item's picture. The result is a fixed point still.
TEST(ComposeSanitizer, TrackersGoAndPlayersLeaveALink) {
    const char* base = "https://blog.example/post.html";
    const char* thumbnail = "https://i.example/thumb.jpg?utm_source=feed";
    const HtmlCase cases[] = {
        // Beacons in each size form; an image of 1 by 2, or of one given size, is a picture.
        {"a<img src=\"https://t.example/p.gif\" width=\"1\" height=\"1\">b", "ab"},
        {"a<img src=b.gif width=0 height=0>b", "ab"},
        {"a<img src=b.gif width=\"1px\" height=\" 1PX \">b", "ab"},
        {"a<img src=b.gif width=1 height=0 alt=x>b", "ab"},
        {"<img src=b.gif width=1 height=2>",
         "<img src=\"https://blog.example/b.gif\" width=\"1\" height=\"2\">"},
        {"<img src=b.gif width=1>", "<img src=\"https://blog.example/b.gif\" width=\"1\">"},
        {"<img src=b.gif width=10 height=1px0>",
         "<img src=\"https://blog.example/b.gif\" width=\"10\" height=\"1px0\">"},
        // Every tracking parameter, in any case, wherever it stands; the rest as it was.
        {"<a href=\"https://s.example/a?utm_source=x&amp;id=7&amp;UTM_Medium=y#top\">l</a>",
         "<a href=\"https://s.example/a?id=7#top\">l</a>"},
        {"<a href=\"https://s.example/a?fbclid=1&amp;gclid=2&amp;dclid=3&amp;gbraid=4&amp;"
         "wbraid=5&amp;msclkid=6&amp;mc_cid=7&amp;mc_eid=8&amp;yclid=9&amp;igshid=10&amp;"
         "twclid=11&amp;ttclid=12&amp;_hsenc=13&amp;_hsmi=14&amp;mkt_tok=15&amp;"
         "oly_anon_id=16&amp;oly_enc_id=17\">l</a>",
         "<a href=\"https://s.example/a\">l</a>"},
        {"<a href=\"https://s.example/a?utm_campaign=z\">l</a>",
         "<a href=\"https://s.example/a\">l</a>"},
        {"<img src=\"https://s.example/i.png?w=300&amp;mc_eid=abc\">",
         "<img src=\"https://s.example/i.png?w=300\">"},
        // Names that only look alike, and a URL without one, stay as they are.
        {"<a href=\"https://s.example/a?utm=1&amp;xfbclid=2&amp;&amp;q=utm_source\">l</a>",
         "<a href=\"https://s.example/a?utm=1&amp;xfbclid=2&amp;&amp;q=utm_source\">l</a>"},
        // Each player's embed form.
        {"<iframe src=\"https://www.youtube.com/embed/dQw4w9WgXcQ?rel=0\"></iframe>",
         "<a href=\"https://www.youtube.com/watch?v=dQw4w9WgXcQ\"><img "
         "src=\"https://i.example/thumb.jpg\" alt=\"Video\"><br>Watch the video</a>"},
        {"<iframe src=\"//www.youtube-nocookie.com/embed/abc_-1\"></iframe>x<iframe "
         "src=\"https://youtube.com/v/second\"></iframe>",
         "<a href=\"https://www.youtube.com/watch?v=abc_-1\"><img "
         "src=\"https://i.example/thumb.jpg\" alt=\"Video\"><br>Watch the video</a>x<a "
         "href=\"https://www.youtube.com/watch?v=second\">Watch the video</a>"},
        {"<IFRAME SRC=\"https://player.vimeo.com/video/76979871?h=8a&amp;badge=0\" "
         "width=640></IFRAME>",
         "<a href=\"https://vimeo.com/76979871\"><img src=\"https://i.example/thumb.jpg\" "
         "alt=\"Video\"><br>Watch the video</a>"},
        {"<iframe src=\"https://tube.example/videos/embed/9c9de5e8-0a1e\"></iframe>",
         "<a href=\"https://tube.example/videos/watch/9c9de5e8-0a1e\"><img "
         "src=\"https://i.example/thumb.jpg\" alt=\"Video\"><br>Watch the video</a>"},
        {"<iframe src=\"https://www.youtube.com/embed/\"></iframe>",
         "<a href=\"https://www.youtube.com/embed/\"><img src=\"https://i.example/thumb.jpg\" "
         "alt=\"Video\"><br>See what was embedded here</a>"},
        {"<iframe src=\"maps.html?utm_source=x\">no frames</iframe>",
         "<a href=\"https://blog.example/maps.html\"><img src=\"https://i.example/thumb.jpg\" "
         "alt=\"Video\"><br>See what was embedded here</a>"},
        {"<iframe>no source</iframe>t", "t"},
    };
    for (const HtmlCase& c : cases) {
        std::string out(kHtmlGrowth * strlen(c.input) + kHtmlSlack + 512, '\0');
        EXPECT_TRUE(SanitizeHtml(c.input, &out[0], out.size(), base, thumbnail)) << c.input;
        EXPECT_STREQ(out.c_str(), c.output) << c.input;
        const std::string once = out.c_str();
        std::string twice(kHtmlGrowth * once.size() + kHtmlSlack, '\0');
        EXPECT_TRUE(SanitizeHtml(once.c_str(), &twice[0], twice.size(), base, thumbnail));
        EXPECT_EQ(once, twice.c_str()) << c.input;
    }
    // Without a thumbnail, the link stands alone.
    EXPECT_EQ(Sanitize("<iframe src=\"https://player.vimeo.com/video/1\"></iframe>"),
              "<a href=\"https://vimeo.com/1\">Watch the video</a>");
}

TEST(ComposeSanitizer, HtmlToTextShowsWhatTheReaderReads) {
    const HtmlCase cases[] = {
        {"Tom &amp;#38; Jerry", "Tom &#38; Jerry"},
        {"Tom &#38; Jerry &mdash; <b>live</b>", "Tom & Jerry \xE2\x80\x94 live"},
        {"<p>one</p><p>two</p>", "one two"},
        {"a<br>b<i>c</i>", "a bc"},
        {"  spaced \t\n out  ", "spaced out"},
        {"<script>x()</script>kept", "kept"},
        {"a < b &bogus; &#0; &#x1F600;", "a < b &bogus; &#0; \xF0\x9F\x98\x80"},
        {"", ""},
    };
    for (const HtmlCase& c : cases) {
        char out[128];
        EXPECT_TRUE(HtmlToText(c.input, out, sizeof out)) << c.input;
        EXPECT_STREQ(out, c.output) << c.input;
    }
    // With line breaks for blocks, as a subject is cut at them.
    const HtmlCase lines[] = {
        {"<p>one</p> <p> two</p>", "one\ntwo"},
        {"a<br>b<i>c</i> <br> <br>d", "a\nbc\nd"},
        {"<p> lead</p>", "lead"},
    };
    for (const HtmlCase& c : lines) {
        char out[128];
        EXPECT_TRUE(HtmlToText(c.input, out, sizeof out, TextBlocks::kLineBreak)) << c.input;
        EXPECT_STREQ(out, c.output) << c.input;
    }
    char small[6];
    EXPECT_FALSE(HtmlToText("ab\xC3\xA9\xC3\xA9", small, sizeof small));
    EXPECT_STREQ(small, "ab\xC3\xA9");
}

}  // namespace
