// The item message: the template byte for byte, the fallbacks for sender, dates, author, image
// and style, the header, HTML and charset repairs, and every character of the feed kept.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "compose/html_sanitizer.h"
#include "refresh/refresh.h"
#include "base/module.h"
#include "base/text.h"
#include "tests/compose_support.h"

namespace {

// Whether `text` has the shape: A an upper-case letter, a a lower-case one, 0 a digit, # a sign;
// any other character stands for itself.
bool HasShape(const std::string& text, const char* shape) {
    if (text.size() != strlen(shape)) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool fits = shape[i] == 'A'   ? c >= 'A' && c <= 'Z'
                          : shape[i] == 'a' ? c >= 'a' && c <= 'z'
                          : shape[i] == '0' ? c >= '0' && c <= '9'
                          : shape[i] == '#' ? c == '+' || c == '-'
                                            : c == shape[i];
        if (!fits) {
            return false;
        }
    }
    return true;
}

// Whether a tag of the HTML holds an attribute whose name begins with "on", as event handlers'
// names do.
bool SomeTagHasAnEventHandler(const std::string& html) {
    for (size_t open = html.find('<'); open != std::string::npos; open = html.find('<', open + 1)) {
        const size_t close = html.find('>', open);
        const std::string tag = html.substr(open, close - open);
        for (size_t at = 1; at + 3 < tag.size(); ++at) {
            if (isspace(static_cast<unsigned char>(tag[at - 1])) && tolower(tag[at]) == 'o' &&
                tolower(tag[at + 1]) == 'n' && isalpha(static_cast<unsigned char>(tag[at + 2]))) {
                return true;
            }
        }
    }
    return false;
}

// A record like the reader hands over: zeroed, then the given fields.
struct Item {
    FeedItem record;
    Item() { memset(&record, 0, sizeof record); }
    Item& title(const char* v) { return Set(record.title, sizeof record.title, v); }
    Item& description(const char* v) {
        return Set(record.description, sizeof record.description, v);
    }
    Item& link(const char* v) { return Set(record.link, sizeof record.link, v); }
    Item& date(const char* v) { return Set(record.date, sizeof record.date, v); }
    Item& author(const char* v) { return Set(record.author, sizeof record.author, v); }
    Item& channelTitle(const char* v) {
        return Set(record.channelTitle, sizeof record.channelTitle, v);
    }
    Item& imageUrl(const char* v) { return Set(record.imageUrl, sizeof record.imageUrl, v); }
    Item& channelDate(const char* v) {
        return Set(record.channelDate, sizeof record.channelDate, v);
    }
    Item& baseUrl(const char* v) { return Set(record.baseUrl, sizeof record.baseUrl, v); }
    Item& thumbnail(const char* v) { return Set(record.thumbnail, sizeof record.thumbnail, v); }
    Item& duration(const char* v) { return Set(record.duration, sizeof record.duration, v); }
    Item& htmlTitle() {
        record.titleIsHtml = true;
        return *this;
    }
    Item& cut() {
        record.descriptionCut = true;
        return *this;
    }
    Item& enclosure(const char* url, const char* type, const char* length, const char* duration) {
        FeedEnclosure& e = record.enclosures[record.enclosureCount++];
        Set(e.url, sizeof e.url, url);
        Set(e.type, sizeof e.type, type);
        Set(e.length, sizeof e.length, length);
        return Set(e.duration, sizeof e.duration, duration);
    }

private:
    Item& Set(char* field, size_t capacity, const char* value) {
        EXPECT_TRUE(CopyText(field, capacity, value));
        return *this;
    }
};

std::string DefaultStylesheet() {
    return std::string(ModuleDirectory()) + QF_PATH_SEPARATOR "RssStyles" QF_PATH_SEPARATOR
                                                              "default.css";
}

std::string ExpectedContentType() {
    return "Content-Type:text/html; \r\n\tcharset=utf-8\r\n";
}

// A header's value as a mail reader reads it: folded lines joined, RFC 2047 encoded-words in
// UTF-8 decoded, the blanks between two adjacent words dropped.
std::string DecodedHeader(const std::string& message, const std::string& name) {
    const std::string head = message.substr(0, message.find("\r\n\r\n") + 2);
    size_t at = head.find("\r\n" + name + ":");
    at = at == std::string::npos && head.compare(0, name.size() + 1, name + ":") == 0
             ? 0
             : (at == std::string::npos ? at : at + 2);
    if (at == std::string::npos) {
        return "<missing " + name + ">";
    }
    std::string raw;
    for (size_t line = at + name.size() + 1;;) {
        const size_t end = head.find("\r\n", line);
        raw += head.substr(line, end - line);
        if (end + 2 >= head.size() || head[end + 2] != ' ') {
            break;
        }
        line = end + 2;
    }
    static const std::string digits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string value;
    bool afterWord = false;
    for (size_t i = 0; i < raw.size();) {
        if (raw.compare(i, 10, "=?utf-8?B?") == 0) {
            const size_t end = raw.find("?=", i + 10);
            unsigned bits = 0;
            int count = 0;
            for (size_t k = i + 10; k < end; ++k) {
                const size_t digit = digits.find(raw[k]);
                if (digit == std::string::npos) {
                    continue;
                }
                bits = bits << 6 | static_cast<unsigned>(digit);
                if (++count % 4 == 0) {
                    value += static_cast<char>(bits >> 16 & 0xFF);
                    value += static_cast<char>(bits >> 8 & 0xFF);
                    value += static_cast<char>(bits & 0xFF);
                }
            }
            if (count % 4 == 3) {
                value += static_cast<char>(bits >> 10 & 0xFF);
                value += static_cast<char>(bits >> 2 & 0xFF);
            } else if (count % 4 == 2) {
                value += static_cast<char>(bits >> 4 & 0xFF);
            }
            i = end + 2;
            afterWord = true;
        } else if (afterWord && raw[i] == ' ' && raw.compare(i + 1, 2, "=?") == 0) {
            ++i;
        } else {
            value += raw[i++];
            afterWord = false;
        }
    }
    return value;
}

// The text between `before` and the next `after` in the message.
std::string Between(const std::string& message, const std::string& before,
                    const std::string& after) {
    size_t start = message.find(before);
    if (start == std::string::npos) {
        return "<missing " + before + ">";
    }
    start += before.size();
    size_t end = message.find(after, start);
    return end == std::string::npos ? "<unterminated>" : message.substr(start, end - start);
}

std::string Header(const std::string& message, const std::string& name) {
    return Between(message, "\r\n" + name + ":", "\r\n");
}

class ComposeMessage : public testing::Test {
protected:
    // Composes one item and returns the appended message.
    std::string Compose(const Item& item) {
        size_t before = host.appended().size();
        EXPECT_EQ(TakeItemOf(item.record), 7);
        return host.appended().size() == before + 1 ? host.appended().back() : std::string();
    }

    FakeComposeHost host;
};

TEST_F(ComposeMessage, PlainItemFillsTheTemplateByteForByte) {
    Item item;
    item.title("Weather")
        .description("<p>Sunny</p>")
        .link("http://example.com/w")
        .date("Tue, 07 Dec 2004 10:20:30 +0800")
        .author("Ann")
        .channelTitle("Daily")
        .imageUrl("http://example.com/logo.png");
    const std::string expected =
        "From:Ann\r\n"
        "To:feeds@quillfeed.invalid\r\n"
        "Date:Tue, 07 Dec 2004 10:20:30 +0800\r\n"
        // The first 128 bits of SHA-256 of "Feeds\nhttp://example.com/w": the folder's id and the
        // item's identity, its link.
        "Message-ID:<b495f03be2f851f7d71446b95e26f7b7@quillfeed.invalid>\r\n"
        "X-Mailer:Quillfeed 1.31\r\n" +
        ExpectedContentType() +
        "Subject:Weather\r\n"
        "\r\n"
        "<HTML>\r\n"
        "<HEAD><LINK REL=\"stylesheet\" TYPE=\"text/css\" HREF=\"" +
        DefaultStylesheet() +
        "\" ></HEAD><BODY><div id=banner><h2 dir=\"auto\">Weather</h2><img border=0 "
        "style=\"visibility:visible;float:right;\" src=\"http://example.com/logo.png\"></div>"
        "<div id=author dir=\"auto\">Ann</div><div id=desc dir=\"auto\"><p>Sunny</p></div>"
        "<div id=link><a href=\"http://example.com/w\">http://example.com/w</a></div>"
        "<div id=date>Tue, 07 Dec 2004 10:20:30 +0800</div></BODY></HTML>";
    EXPECT_EQ(Compose(item), expected);
}

TEST_F(ComposeMessage, EveryCharacterOfTheFeedReachesTheMessage) {
    const struct {
        const char* title;
        const char* author;
    } cases[] = {
        {"\xD0\x98\xD1\x82\xD0\xBE\xD0\xB3\xD0\xB8 \xD0\xB4\xD0\xBD\xD1\x8F",
         "\xD0\x90\xD0\xBD\xD0\xBD\xD0\xB0"},
        {"\xCE\x9D\xCE\xAD\xCE\xB1 \xCE\xB5\xCF\x80\xCE\xBF\xCF\x87\xCE\xAE",
         "\xCE\x9C\xCE\xB1\xCF\x81\xCE\xAF\xCE\xB1"},
        {"\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF\xE6\x99\xB4\xE3\x82\x8C\xE3\x80\x82",
         "\xE7\x94\xB0\xE4\xB8\xAD"},
        {"\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 "
         "\xD8\xA8\xD8\xA7\xD9\x84\xD8\xB9\xD8\xA7\xD9\x84\xD9\x85",
         "Ann"},
        {"Launch \xF0\x9F\x9A\x80 day \xF0\x9F\x8E\x89", "\xF0\x9F\xA4\x96 bot"},
        {"Cafe\xCC\x81 na\xC3\xAFve", "Zo\xC3\xAB"},
        {"Plain ASCII title", "Ann"},
        {"Looks =?utf-8?B?like?= a word", "Ann"},
        // Long enough to need several encoded-words on folded lines.
        {"\xD0\x94\xD0\xBB\xD0\xB8\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB9 "
         "\xD0\xB7\xD0\xB0\xD0\xB3\xD0\xBE\xD0\xBB\xD0\xBE\xD0\xB2\xD0\xBE\xD0\xBA "
         "\xD0\xBD\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8 \xD1\x81 \xF0\x9F\x93\xB0 "
         "\xD0\xB8 \xD0\xB5\xD1\x89\xD1\x91 \xD0\xBC\xD0\xBD\xD0\xBE\xD0\xB3\xD0\xBE "
         "\xD1\x81\xD0\xBB\xD0\xBE\xD0\xB2 \xD0\xB2 \xD0\xBE\xD0\xB4\xD0\xBD\xD0\xBE\xD0\xB9 "
         "\xD1\x81\xD1\x82\xD1\x80\xD0\xBE\xD0\xBA\xD0\xB5",
         "Ann"},
    };
    for (const auto& c : cases) {
        const std::string message = Compose(Item().title(c.title).author(c.author).description(
            (std::string("<p>") + c.title + "</p>").c_str()));
        const std::string head = message.substr(0, message.find("\r\n\r\n") + 2);
        EXPECT_EQ(DecodedHeader(message, "Subject"), c.title);
        EXPECT_EQ(DecodedHeader(message, "From"), c.author);
        // The header is ASCII, on lines a mail client of any age reads; a title of ASCII only
        // stays as it is.
        size_t start = 0;
        for (size_t end; (end = head.find("\r\n", start)) != std::string::npos; start = end + 2) {
            EXPECT_LE(end - start, 76u) << head.substr(start, end - start);
        }
        for (unsigned char byte : head) {
            EXPECT_LT(byte, 0x80u) << c.title;
        }
        if (std::string(c.title) == "Plain ASCII title") {
            EXPECT_NE(head.find("\r\nSubject:Plain ASCII title\r\n"), std::string::npos);
        }
        // The body carries every character as UTF-8, and says so.
        EXPECT_NE(message.find(std::string("<h2 dir=\"auto\">") + c.title + "</h2>"),
                  std::string::npos);
        EXPECT_NE(message.find(std::string("<p>") + c.title + "</p>"), std::string::npos);
        EXPECT_NE(message.find(ExpectedContentType()), std::string::npos);
    }
}

// The index lists what the host makes of the header: the title in its code page. The check
// compares in that form.
TEST_F(ComposeMessage, TheIndexIsAskedForTheTitleInTheHostsCodePage) {
    char ansi[16];
    ASSERT_TRUE(Utf8ToAnsi("Caf\xC3\xA9", 5, ansi, sizeof ansi));
    host.WriteIndex(std::string("header\r\n1\x01") + "d\x01s\x01" + ansi + "\r\n");
    Item item;
    item.title("Caf\xC3\xA9");
    EXPECT_EQ(TakeItemOf(item.record), 1);
    EXPECT_TRUE(host.appended().empty());
}

TEST_F(ComposeMessage, SenderComesFromTheChannelElseTheFolderName) {
    const struct {
        const char* channelTitle;
        const char* author;
        const char* displayName;  // null: the host gives none
        const char* from;
    } cases[] = {
        {"", "", "News/World/Asia", "Asia"},
        {"", "", "News/World/", "World/"},
        {"", "", "/", "/"},
        // Never an empty sender, which would leave the index line an empty field: the folder's
        // id stands in when the host gives no name, and for a name of blanks.
        {"", "", nullptr, "Feeds"},
        {"", "  ", "  ", "Feeds"},
        {"  ", " \t ", "News/World/Asia", "Asia"},
        {"Daily", "", "News/World/Asia", "Daily"},
        {"Daily", "Ann", "News/World/Asia", "Ann"},
        {"", "Ann", "News/World/Asia", "Ann"},
    };
    for (const auto& c : cases) {
        host.SetDisplayName(c.displayName);
        const std::string message =
            Compose(Item().title("t").channelTitle(c.channelTitle).author(c.author));
        EXPECT_EQ(message.substr(0, message.find("\r\n")), std::string("From:") + c.from)
            << c.channelTitle << "|" << c.author << "|" << (c.displayName ? c.displayName : "-");
        EXPECT_EQ(Between(message, "<div id=author dir=\"auto\">", "</div>"), c.from);
    }
}

TEST_F(ComposeMessage, HeaderDateIsNormalisedAndBodyDateIsAsWritten) {
    const struct {
        const char* date;
        const char* channelDate;
        const char* header;
        const char* body;
    } cases[] = {
        {"2004-12-07T10:20:30+08:00", "", "Tue, 07 Dec 2004 10:20:30 +0800",
         "2004-12-07T10:20:30+08:00"},
        {"", "2004-12-07 10:20:30", "Tue, 07 Dec 2004 10:20:30 +0000", "2004-12-07 10:20:30"},
        // An item date that is not understood: the channel's in the header, the item's in the body.
        {"yesterday", "07 Dec 2004 10:20:30 GMT", "Tue, 07 Dec 2004 10:20:30 +0000", "yesterday"},
        // A date of mail shape with a day that does not exist never reaches the header.
        {"Sun, 99 Jun 2009 12:00:00 GMT", "", "", "Sun, 99 Jun 2009 12:00:00 GMT"},
        {"Tue, 07 Dec 2004 10:20:30 +0800", "2001-01-01 00:00:00",
         "Tue, 07 Dec 2004 10:20:30 +0800", "Tue, 07 Dec 2004 10:20:30 +0800"},
    };
    for (const auto& c : cases) {
        const std::string message =
            Compose(Item().title("t").date(c.date).channelDate(c.channelDate));
        const std::string header = Header(message, "Date");
        if (c.header[0] == '\0') {
            // The refresh's own time stands in.
            EXPECT_TRUE(HasShape(header, "Aaa, 00 Aaa 0000 00:00:00 #0000")) << header;
        } else {
            EXPECT_EQ(header, c.header) << c.date << "|" << c.channelDate;
        }
        EXPECT_EQ(Between(message, "<div id=date>", "</div>"), c.body);
    }
}

TEST_F(ComposeMessage, WithoutDatesBothDatesAreTheCurrentTimeWithTheZoneOffset) {
    // A upper-case letter, a lower-case one, 0 a digit, # a sign; anything else stands for itself.
    const char* shape = "Aaa, 00 Aaa 0000 00:00:00 #0000";
    const struct {
        const char* zone;
        const char* offset;  // null: depends on the day
    } zones[] = {
        {"UTC0", "+0000"}, {"IST-5:30", "+0530"}, {"EST5EDT", nullptr}, {"XYZ+3:45", "-0345"}};
    for (const auto& z : zones) {
        ScopedTimeZone tz(z.zone);
        const std::string message = Compose(Item().title("t"));
        const std::string header = Header(message, "Date");
        const std::string body = Between(message, "<div id=date>", "</div>");
        EXPECT_TRUE(HasShape(header, shape)) << z.zone << ": " << header;
        EXPECT_EQ(header, body);
        if (z.offset != nullptr) {
            EXPECT_EQ(header.substr(header.size() - 5), z.offset) << z.zone;
        } else {
            const std::string offset = header.substr(header.size() - 5);
            EXPECT_TRUE(offset == "-0500" || offset == "-0400") << offset;
        }
    }
}

TEST_F(ComposeMessage, ImageIsHiddenWithoutAUrl) {
    const std::string hidden = Compose(Item().title("a"));
    EXPECT_NE(hidden.find("style=\"visibility:hidden;float:right;\" src=\"\">"), std::string::npos);
    const std::string shown = Compose(Item().title("b").imageUrl("img/logo.gif"));
    EXPECT_NE(shown.find("style=\"visibility:visible;float:right;\" src=\"img/logo.gif\">"),
              std::string::npos);
}

TEST_F(ComposeMessage, StyleIsTheFoldersElseDefault) {
    EXPECT_EQ(Between(Compose(Item().title("a")), "HREF=\"", "\""), DefaultStylesheet());
    host.SetStyle("dark.css");
    EXPECT_EQ(Between(Compose(Item().title("b")), "HREF=\"", "\""),
              std::string(ModuleDirectory()) + QF_PATH_SEPARATOR "RssStyles" QF_PATH_SEPARATOR
                                                                 "dark.css");
}

TEST_F(ComposeMessage, ListedItemIsComposedButNotAppended) {
    host.WriteIndex(
        "header\n1\x01"
        "2\x01"
        "3\x01"
        "Weather\x01"
        "5\n");
    Item item;
    item.title("Weather");
    EXPECT_NE(TakeItemOf(item.record), 0);
    EXPECT_TRUE(host.appended().empty());
    // Without an index every item is new.
    host.RemoveIndex();
    EXPECT_EQ(TakeItemOf(item.record), 7);
    EXPECT_EQ(host.appended().size(), 1u);
}

// A line break in a title or author used to start a header of its own, or end the header.
TEST_F(ComposeMessage, HeaderValuesStayOnOneLine) {
    const std::string message = Compose(Item()
                                            .title("Breaking\r\nBcc: victim@example.com")
                                            .author("Eve\r\n\r\n<script>x</script>")
                                            .date("1 Dec 1111 01:01:01 Z\r\n"));
    const std::string header = message.substr(0, message.find("\r\n\r\n") + 2);
    EXPECT_NE(header.find("\r\nSubject:Breaking Bcc: victim@example.com\r\n"), std::string::npos);
    EXPECT_EQ(header.substr(0, header.find("\r\n")), "From:Eve <script>x</script>");
    EXPECT_NE(header.find("\r\nDate:Fri, 01 Dec 1111 01:01:01 +0000\r\n"), std::string::npos);
    // Every header line is one of ours or the charset's continuation.
    size_t start = 0;
    for (size_t end; (end = header.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string one = header.substr(start, end - start);
        bool known = false;
        for (const char* name : {"From:", "To:", "Date:", "Message-ID:", "X-Mailer:",
                                 "Content-Type:", "Subject:", "\tcharset="}) {
            known = known || one.compare(0, strlen(name), name) == 0;
        }
        EXPECT_TRUE(known) << "[" << one << "]";
    }
    EXPECT_EQ(Header(Compose(Item().title("\t  Tabs\tand  spaces \n")), "Subject"),
              "Tabs and  spaces");
}

TEST_F(ComposeMessage, TitleWithALineBreakIsFoundAgainAtTheNextRefresh) {
    // The host lists the subject as the header carries it.
    host.WriteIndex(
        "header\r\n1\x01"
        "2\x01"
        "3\x01"
        "Storm warning\r\n");
    Item item;
    item.title("Storm\nwarning\r\n");
    EXPECT_NE(TakeItemOf(item.record), 0);
    EXPECT_TRUE(host.appended().empty());
}

// Feed text used to go into the body as it came, so a feed could run script in the client.
TEST_F(ComposeMessage, FeedTextCannotBecomeActiveMarkup) {
    const std::string message =
        Compose(Item()
                    .title("<script>alert(1)</script>")
                    .author("\"><img src=x onerror=alert(2)>")
                    .description("<p onclick=\"alert(3)\">Hi</p><script>alert(4)</script>"
                                 "<div style=\"width:expression(alert(5))\">x</div>")
                    .link("javascript:alert(6)")
                    .imageUrl("javascript:alert(7)")
                    .date("<b>today</b>"));
    const std::string body = message.substr(message.find("<BODY>"));
    EXPECT_EQ(body.find("<script"), std::string::npos);
    // No tag carries an event handler or a style; the words survive only as escaped text.
    EXPECT_FALSE(SomeTagHasAnEventHandler(body)) << body;
    EXPECT_EQ(body.find("expression"), std::string::npos);
    EXPECT_EQ(body.find("href=\"javascript"), std::string::npos);
    EXPECT_EQ(body.find("src=\"javascript"), std::string::npos);
    EXPECT_EQ(Between(body, "<h2 dir=\"auto\">", "</h2>"), "&lt;script&gt;alert(1)&lt;/script&gt;");
    EXPECT_EQ(Between(body, "<div id=author dir=\"auto\">", "</div>"),
              "&quot;&gt;&lt;img src=x onerror=alert(2)&gt;");
    EXPECT_EQ(Between(body, "<div id=desc dir=\"auto\">", "</div></div>"), "<p>Hi</p><div>x");
    EXPECT_EQ(Between(body, "<div id=link>", "</div>"), "<a href=\"\">javascript:alert(6)</a>");
    EXPECT_NE(body.find("visibility:hidden;float:right;\" src=\"\">"), std::string::npos);
    EXPECT_EQ(Between(body, "<div id=date>", "</div>"), "&lt;b&gt;today&lt;/b&gt;");
}

TEST_F(ComposeMessage, LinkAndImageUrlsAreQuotedAndEscaped) {
    const std::string message = Compose(
        Item().title("t").link("http://x/?a=1&b=\"2\" onmouseover=y").imageUrl("i.png?a&b"));
    EXPECT_EQ(Between(message, "<div id=link><a href=\"", "\">"),
              "http://x/?a=1&amp;b=&quot;2&quot; onmouseover=y");
    EXPECT_NE(message.find("src=\"i.png?a&amp;b\">"), std::string::npos);
}

// What reaches the body beyond the text: its files, the image that stands for it, where its
// relative links point, and a note when it was cut. Each row: the item, and a piece the body
// holds (or, with a leading "!", must not hold).
TEST_F(ComposeMessage, FilesImagesLinksAndCutsReachTheBody) {
    // Each item made only when its row runs: an item holds a whole article's room.
    const struct {
        Item (*make)();
        const char* piece;
    } cases[] = {
        {[] {
             return Item()
                 .title("e1")
                 .enclosure("https://c.example/ep12.mp3", "audio/mpeg", "25478123", "")
                 .duration("3723");
         },
         "<div id=enclosure><p><a href=\"https://c.example/ep12.mp3\">ep12.mp3</a> (audio/mpeg, "
         "24.2 MB, 1:02:03)</p></div>"},
        {[] {
             return Item().title("e2").enclosure("https://c.example/v?id=1&x=2", "video/mp4", "0",
                                                 "61");
         },
         "<a href=\"https://c.example/v?id=1&amp;x=2\">v</a> (video/mp4, 1:01)"},
        {[] { return Item().title("e3").enclosure("javascript:alert(1)", "audio/mpeg", "", ""); },
         "!<div id=enclosure>"},
        {[] { return Item().title("e4").thumbnail("https://i.example/t.jpg"); },
         "<div id=enclosure><img src=\"https://i.example/t.jpg\"></div>"},
        {[] {
             return Item()
                 .title("e5")
                 .description("<img src=\"own.png\">")
                 .thumbnail("https://i/t.jpg");
         },
         "!t.jpg"},
        {[] {
             return Item().title("e6").enclosure("https://c.example/p.png", "image/png", "", "");
         },
         "<img src=\"https://c.example/p.png\">"},
        {[] {
             return Item()
                 .title("e7")
                 .description("<a href=\"/2025/x/\">x</a><img src=\"i.png\">")
                 .baseUrl("https://blog.example/news/");
         },
         "<a href=\"https://blog.example/2025/x/\">x</a><img src=\"https://blog.example/news/"
         "i.png\">"},
        {[] {
             return Item()
                 .title("e8")
                 .description("<p>start</p>")
                 .link("https://blog.example/a")
                 .cut();
         },
         "<p>start</p><p><i>This item is longer than a message holds. The whole of it is at <a "
         "href=\"https://blog.example/a\">https://blog.example/a</a>.</i></p></div>"},
        {[] { return Item().title("e9").description("<p>start</p>").cut(); }, "and was cut here."},
        {[] { return Item().title("Tom &amp;#38; Jerry &lt;b&gt;live&lt;/b&gt;").htmlTitle(); },
         "<h2 dir=\"auto\">Tom &amp;#38; Jerry &lt;b&gt;live&lt;/b&gt;</h2>"},
        {[] { return Item().title("Tom &#38; Jerry <b>live</b>").htmlTitle(); },
         "<h2 dir=\"auto\">Tom &amp; Jerry live</h2>"},
        {[] { return Item().title("a <b> c"); }, "<h2 dir=\"auto\">a &lt;b&gt; c</h2>"},
    };
    for (const auto& c : cases) {
        const std::string message = Compose(c.make());
        const bool absent = c.piece[0] == '!';
        EXPECT_EQ(message.find(c.piece + (absent ? 1 : 0)) == std::string::npos, absent)
            << c.piece << "\n"
            << message.substr(message.find("<BODY>"));
    }
    // The subject of an HTML title is its text too.
    EXPECT_EQ(
        DecodedHeader(Compose(Item().title("Ben &#38; Jerry <b>live</b>").htmlTitle()), "Subject"),
        "Ben & Jerry live");
}

TEST_F(ComposeMessage, LargestRecordStillFitsWhole) {
    // Every field full of characters that grow the most when escaped.
    static FeedItem record;
    memset(&record, '"', sizeof record);
    record.title[sizeof record.title - 1] = '\0';
    record.description[sizeof record.description - 1] = '\0';
    record.link[sizeof record.link - 1] = '\0';
    record.date[sizeof record.date - 1] = '\0';
    record.author[sizeof record.author - 1] = '\0';
    record.authorEmail[sizeof record.authorEmail - 1] = '\0';
    record.inReplyTo[sizeof record.inReplyTo - 1] = '\0';
    record.channelTitle[sizeof record.channelTitle - 1] = '\0';
    record.imageUrl[sizeof record.imageUrl - 1] = '\0';
    record.channelDate[sizeof record.channelDate - 1] = '\0';
    record.guid[sizeof record.guid - 1] = '\0';
    record.baseUrl[sizeof record.baseUrl - 1] = '\0';
    record.thumbnail[sizeof record.thumbnail - 1] = '\0';
    record.duration[sizeof record.duration - 1] = '\0';
    record.titleIsHtml = false;
    record.descriptionCut = true;  // with the note that says so
    record.enclosureCount = kEnclosureCount;
    for (FeedEnclosure& enclosure : record.enclosures) {
        enclosure.url[sizeof enclosure.url - 1] = '\0';
        enclosure.type[sizeof enclosure.type - 1] = '\0';
        enclosure.length[sizeof enclosure.length - 1] = '\0';
        enclosure.duration[sizeof enclosure.duration - 1] = '\0';
    }
    ASSERT_EQ(TakeItemOf(record), 7);
    const std::string& message = host.appended().back();
    EXPECT_LT(message.size(), kMessageCapacity);
    EXPECT_NE(message.find("<div id=enclosure>"), std::string::npos);
    EXPECT_NE(message.find("longer than a message holds"), std::string::npos);
    EXPECT_EQ(message.substr(message.size() - 7), "</HTML>");
}

TEST_F(ComposeMessage, NoRecordOrFolderDoesNothing) {
    Item item;
    item.title("t");
    EXPECT_EQ(MakeRefresh("http://feed.invalid/", nullptr), nullptr);
    EXPECT_EQ(MakeRefresh(nullptr, FakeComposeHost::kFolderId), nullptr);
    // An index path that does not fit cannot be checked: appended, the item would come again at
    // every refresh.
    host.SetDataFolder(std::string(kPathCapacity, 'd'));
    EXPECT_EQ(TakeItemOf(item.record), 0);
    EXPECT_TRUE(host.appended().empty());
}

TEST_F(ComposeMessage, UntitledItemGetsASubjectTheNextRefreshFinds) {
    const std::string word(100, 'x');
    const std::string arabic = "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7";  // five letters
    std::string arabicWords;
    for (int i = 0; i < 20; ++i) {
        arabicWords += arabic + " ";
    }
    const struct {
        const char* description;
        const char* enclosureType;  // null: none
        std::string subject;
    } cases[] = {
        // The first sentence, a block's end counting as one.
        {"<p>Rain <b>tonight</b>,\n\t  wind &amp; hail. More to come.</p>", nullptr,
         "Rain tonight, wind & hail."},
        {"<p>Two sentences here! Another one?</p><p>shop</p>", nullptr, "Two sentences here!"},
        {"<p>No stop in this paragraph</p><p>Next one.</p>", nullptr, "No stop in this paragraph"},
        {"Line one<br>line two.", nullptr, "Line one"},
        {"A version 1.2 is out. Get it.", nullptr, "A version 1.2 is out."},
        {"\xE4\xBB\x8A\xE6\x97\xA5\xE3\x80\x82\xE6\x98\x8E\xE6\x97\xA5", nullptr,
         "\xE4\xBB\x8A\xE6\x97\xA5\xE3\x80\x82"},
        // No sentence end within about 80 characters: cut between words, with an ellipsis.
        {"A long first paragraph that goes on well past the eighty characters of a subject line "
         "and on",
         nullptr,
         "A long first paragraph that goes on well past the eighty characters of a "
         "subject\xE2\x80\xA6"},
        {"One, two, three, four, five, six, seven, eight, nine, ten, eleven, twelve, thirteen, "
         "fourteen",
         nullptr,
         "One, two, three, four, five, six, seven, eight, nine, ten, eleven, twelve\xE2\x80\xA6"},
        // Characters, not bytes, count.
        {arabicWords.c_str(), nullptr, std::string(arabicWords, 0, 13 * 11 - 1) + "\xE2\x80\xA6"},
        // A word longer than the subject is cut between its characters.
        {word.c_str(), nullptr, std::string(80, 'x') + "\xE2\x80\xA6"},
        // Without text: what the item holds, and the feed's name (here its folder's); never an
        // address.
        {"<img src=\"http://a/b.png\"><script>x()</script>", nullptr, "Photo from Asia"},
        {"", "video/mp4", "Video from Asia"},
        {"", "audio/mpeg", "Audio from Asia"},
        {"", "application/pdf", "File from Asia"},
        {"<p>https://example.org/post/7</p>", nullptr, "Post from Asia"},
        {"", nullptr, "Post from Asia"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        host.RemoveIndex();
        Item item;
        item.description(c.description).link("http://example.org/post/7");
        if (c.enclosureType != nullptr) {
            item.enclosure("http://example.org/file", c.enclosureType, "", "");
        }
        const std::string message = Compose(item);
        const std::string subject = DecodedHeader(message, "Subject");
        EXPECT_EQ(subject, c.subject);
        char banner[kEscapedPathCapacity];
        ASSERT_TRUE(EscapeHtmlText(subject.c_str(), banner, sizeof banner));
        EXPECT_EQ(Between(message, "<h2 dir=\"auto\">", "</h2>"), banner);
        char listed[kEscapedPathCapacity];
        ASSERT_TRUE(Utf8ToAnsi(subject.c_str(), subject.size(), listed, sizeof listed));
        host.WriteIndex(std::string("header\r\n1\x01") + "2\x01" + "3\x01" + listed + "\r\n");
        EXPECT_NE(TakeItemOf(item.record), 7) << "listed now, so not appended again";
    }
}

// The sender as mail has it, and ids a mail client can tell messages and threads by.
TEST_F(ComposeMessage, SendersAddressesIdsAndReplies) {
    const struct {
        const char* author;
        const char* email;
        const char* from;  // the header as written
    } senders[] = {
        {"Jane Doe", "jane@example.com", "Jane Doe <jane@example.com>"},
        {"Doe, Jane", "jane@example.com", "\"Doe, Jane\" <jane@example.com>"},
        {"Say \"hi\"", "a@example.com", "\"Say \\\"hi\\\"\" <a@example.com>"},
        {"J\xC3\xA9r\xC3\xB4me", "j@example.com", "=?utf-8?B?SsOpcsO0bWU=?= <j@example.com>"},
        {"", "jane@example.com", "<jane@example.com>"},
        // No address a header may carry: the name alone, else the feed's.
        {"Jane Doe", "not an address", "Jane Doe"},
        {"Jane Doe", "jane@@example.com", "Jane Doe"},
        {"Jane Doe", "jane@example.com>\r\nBcc:x@y", "Jane Doe"},
        {"", "", "Daily"},
    };
    for (const auto& c : senders) {
        Item item;
        item.title("t").channelTitle("Daily").author(c.author);
        ASSERT_TRUE(CopyText(item.record.authorEmail, sizeof item.record.authorEmail, c.email));
        const std::string message = Compose(item);
        EXPECT_EQ(message.substr(0, message.find("\r\n")), std::string("From:") + c.from)
            << c.author << "|" << c.email;
    }

    // The same item in the same folder keeps its id; another item or folder has another; a reply
    // names the id its post has.
    host.SetDisplayName("Comments");
    Item post;
    post.title("Post").link("https://blog.example/1");
    ASSERT_TRUE(CopyText(post.record.guid, sizeof post.record.guid, " tag:blog.example,2026:1 "));
    Item reply;
    reply.title("Re: Post").link("https://blog.example/1#c1");
    ASSERT_TRUE(
        CopyText(reply.record.inReplyTo, sizeof reply.record.inReplyTo, "tag:blog.example,2026:1"));
    const std::string postId = Header(Compose(post), "Message-ID");
    host.RemoveIndex();
    EXPECT_EQ(Header(Compose(post), "Message-ID"), postId) << "the next refresh";
    EXPECT_TRUE(HasShape(postId.substr(0, 1) + postId.substr(33), "<@quillfeed.invalid>"))
        << postId;
    const std::string replied = Compose(reply);
    EXPECT_EQ(Header(replied, "In-Reply-To"), postId);
    EXPECT_EQ(Header(replied, "References"), postId);
    EXPECT_NE(Header(replied, "Message-ID"), postId);
    EXPECT_EQ(Header(Compose(post), "In-Reply-To"), "<missing \r\nIn-Reply-To:>");
    size_t before = host.appended().size();
    EXPECT_EQ(TakeItemOf(post.record, "Other"), 7);
    ASSERT_EQ(host.appended().size(), before + 1);
    EXPECT_NE(Header(host.appended().back(), "Message-ID"), postId) << "another folder";
}

}  // namespace
