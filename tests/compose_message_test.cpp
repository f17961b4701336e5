// The item message: the template byte for byte, the fallbacks for sender, dates, author, image
// and style, and the header, HTML and charset repairs.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "compose/charset.h"
#include "compose/compose.h"
#include "compose/html_sanitizer.h"
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
    const char* charset = CharsetForCodePage(GetACP());
    return charset ? std::string("Content-Type:text/html; \r\n\tcharset=") + charset + "\r\n"
                   : std::string("Content-Type:text/html\r\n");
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
        EXPECT_EQ(OnFeedItem(&item.record, FakeComposeHost::kFolderId), 7);
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
        "X-Mailer:Quillfeed 1.31\r\n" +
        ExpectedContentType() +
        "Subject:Weather\r\n"
        "\r\n"
        "<HTML>\r\n"
        "<HEAD><LINK REL=\"stylesheet\" TYPE=\"text/css\" HREF=\"" +
        DefaultStylesheet() +
        "\" ></HEAD><BODY><div id=banner><h2>Weather</h2><img border=0 "
        "style=\"visibility:visible;float:right;\" src=\"http://example.com/logo.png\"></div>"
        "<div id=author>Ann</div><div id=desc><p>Sunny</p></div>"
        "<div id=link><a href=\"http://example.com/w\">http://example.com/w</a></div>"
        "<div id=date>Tue, 07 Dec 2004 10:20:30 +0800</div></BODY></HTML>";
    EXPECT_EQ(Compose(item), expected);
}

TEST_F(ComposeMessage, DeclaresTheCharsetOfTheAnsiCodePage) {
    // The default code page of both builds here is 1252; 936 is the only one that says gb2312.
    const std::string message = Compose(Item().title("x"));
    if (GetACP() == 1252) {
        EXPECT_NE(message.find("Content-Type:text/html; \r\n\tcharset=windows-1252\r\n"),
                  std::string::npos);
    }
    EXPECT_EQ(message.find("gb2312"), std::string::npos);
    EXPECT_NE(message.find(ExpectedContentType()), std::string::npos);
}

TEST(ComposeCharset, NamesTheCommonAnsiCodePages) {
    const struct {
        unsigned codePage;
        const char* charset;
    } cases[] = {{936, "gb2312"},        {1252, "windows-1252"},  {932, "shift_jis"},
                 {950, "big5"},          {949, "ks_c_5601-1987"}, {1251, "windows-1251"},
                 {1250, "windows-1250"}, {874, "windows-874"},    {65001, "utf-8"}};
    for (const auto& c : cases) {
        ASSERT_NE(CharsetForCodePage(c.codePage), nullptr) << c.codePage;
        EXPECT_STREQ(CharsetForCodePage(c.codePage), c.charset) << c.codePage;
    }
    EXPECT_EQ(CharsetForCodePage(12345), nullptr);
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
        {"", "", nullptr, ""},
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
        EXPECT_EQ(Between(message, "<div id=author>", "</div>"), c.from);
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
        {"yesterday", "07 Dec 2004 10:20:30 GMT", "07 Dec 2004 10:20:30 GMT", "yesterday"},
        {"Tue, 07 Dec 2004 10:20:30 +0800", "2001-01-01 00:00:00",
         "Tue, 07 Dec 2004 10:20:30 +0800", "Tue, 07 Dec 2004 10:20:30 +0800"},
    };
    for (const auto& c : cases) {
        const std::string message =
            Compose(Item().title("t").date(c.date).channelDate(c.channelDate));
        EXPECT_EQ(Header(message, "Date"), c.header) << c.date << "|" << c.channelDate;
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
    EXPECT_NE(OnFeedItem(&item.record, FakeComposeHost::kFolderId), 0);
    EXPECT_TRUE(host.appended().empty());
    // Without an index every item is new.
    host.RemoveIndex();
    EXPECT_EQ(OnFeedItem(&item.record, FakeComposeHost::kFolderId), 7);
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
    EXPECT_NE(header.find("\r\nDate:1 Dec 1111 01:01:01 Z\r\n"), std::string::npos);
    // Every header line is one of ours or the charset's continuation.
    size_t start = 0;
    for (size_t end; (end = header.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string one = header.substr(start, end - start);
        bool known = false;
        for (const char* name :
             {"From:", "To:", "Date:", "X-Mailer:", "Content-Type:", "Subject:", "\tcharset="}) {
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
    EXPECT_NE(OnFeedItem(&item.record, FakeComposeHost::kFolderId), 0);
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
    EXPECT_EQ(Between(body, "<h2>", "</h2>"), "&lt;script&gt;alert(1)&lt;/script&gt;");
    EXPECT_EQ(Between(body, "<div id=author>", "</div>"),
              "&quot;&gt;&lt;img src=x onerror=alert(2)&gt;");
    EXPECT_EQ(Between(body, "<div id=desc>", "</div></div>"), "<p>Hi</p><div>x");
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

TEST_F(ComposeMessage, LargestRecordStillFitsWhole) {
    // Every field full of characters that grow the most when escaped.
    static FeedItem record;
    memset(&record, '"', sizeof record);
    record.title[sizeof record.title - 1] = '\0';
    record.description[sizeof record.description - 1] = '\0';
    record.link[sizeof record.link - 1] = '\0';
    record.date[sizeof record.date - 1] = '\0';
    record.author[sizeof record.author - 1] = '\0';
    record.channelTitle[sizeof record.channelTitle - 1] = '\0';
    record.imageUrl[sizeof record.imageUrl - 1] = '\0';
    record.channelDate[sizeof record.channelDate - 1] = '\0';
    ASSERT_EQ(OnFeedItem(&record, FakeComposeHost::kFolderId), 7);
    const std::string& message = host.appended().back();
    EXPECT_LT(message.size(), 0x80000u);
    EXPECT_EQ(message.substr(message.size() - 7), "</HTML>");
}

TEST_F(ComposeMessage, NoRecordOrFolderDoesNothing) {
    Item item;
    item.title("t");
    EXPECT_EQ(OnFeedItem(nullptr, FakeComposeHost::kFolderId), 0);
    EXPECT_EQ(OnFeedItem(&item.record, nullptr), 0);
    // An index path that does not fit cannot be checked: appended, the item would come again at
    // every refresh.
    host.SetDataFolder(std::string(kTextCapacity, 'd'));
    EXPECT_EQ(OnFeedItem(&item.record, FakeComposeHost::kFolderId), 0);
    EXPECT_TRUE(host.appended().empty());
}

TEST_F(ComposeMessage, UntitledItemGetsASubjectTheNextRefreshFinds) {
    const std::string sentence =
        "A long first paragraph that goes on well past the eighty characters of a subject line";
    const std::string word(100, 'x');
    const struct {
        const char* description;
        const char* link;
        const char* subject;
    } cases[] = {
        {"<p>Rain <b>tonight</b>,\n\t  wind &amp; hail.</p><p>More.</p>", "",
         "Rain tonight, wind & hail. More."},
        {sentence.c_str(), "",
         "A long first paragraph that goes on well past the eighty characters of a subject..."},
        // A word longer than the subject is cut inside.
        {word.c_str(), "", nullptr},
        {"<img src=\"http://a/b.png\"><script>x()</script>", "http://example.org/post/7",
         "http://example.org/post/7"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        host.RemoveIndex();
        Item item;
        item.description(c.description).link(c.link);
        const std::string message = Compose(item);
        const std::string subject = Header(message, "Subject");
        if (c.subject != nullptr) {
            EXPECT_EQ(subject, c.subject);
        } else {
            EXPECT_EQ(subject, std::string(80, 'x') + "...");
        }
        char banner[kEscapedTextCapacity];
        ASSERT_TRUE(EscapeHtmlText(subject.c_str(), banner, sizeof banner));
        EXPECT_EQ(Between(message, "<h2>", "</h2>"), banner);
        if (subject.empty()) {
            continue;
        }
        host.WriteIndex(
            "header\r\n1\x01"
            "2\x01"
            "3\x01" +
            subject + "\r\n");
        EXPECT_NE(OnFeedItem(&item.record, FakeComposeHost::kFolderId), 7)
            << "listed now, so not appended again";
    }
}

}  // namespace
