// The content handler driven event by event: name tests, conversion limits, interface answers
// and the states the machine reaches.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "feed/feed_handler.h"
#include "feed/parse_feed.h"
#include "platform/codepage.h"
#include "tests/feed_support.h"

namespace {

struct NameCase {
    const char* name;
    const char* keyword;
    int count;
    bool exact;
    bool matches;
};

TEST(FeedNameTest, ComparesPrefixWithAsciiCaseFolding) {
    const NameCase cases[] = {
        {"channel", "channel", 5, false, true},
        {"chann", "channel", 5, false, true},
        {"channelX", "channel", 5, false, true},
        {"chan", "channel", 5, false, false},
        {"CHANNEL", "channel", 5, false, true},
        {"lastBuildDate", "lastbuilddate", 13, false, true},
        {"pubDate", "pubdate", 7, false, true},
        {"item", "item", 4, true, true},
        {"items", "item", 4, true, false},
        {"Items", "items", 5, true, true},
        {"itemsList", "items", 5, true, false},
        {"itemsList", "items", 5, false, true},
        {"ite", "item", 4, false, false},
        {"", "url", 3, false, false},
        {"t\xC4\xB1tle", "title", 5, false, false},  // dotless i folds to nothing
        {"T\xC3\x8DTLE", "title", 5, false, false},  // I with acute is no ASCII letter
        {"dat@", "date", 4, false, false},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(FeedNameMatches(c.name, strlen(c.name), c.keyword, static_cast<size_t>(c.count),
                                  c.exact),
                  c.matches)
            << c.name << " against " << c.keyword << "(" << c.count << ")";
    }
    EXPECT_FALSE(FeedNameMatches(nullptr, 4, "item", 4));
}

// The index form of a subject: UTF-8 in the ANSI code page, as the host converts a header.
std::string IndexForm(const std::string& utf8) {
    char out[64];
    EXPECT_TRUE(Utf8ToAnsi(utf8.data(), utf8.size(), out, sizeof out)) << utf8;
    return out;
}

TEST(FeedConversionTest, IndexFormTurnsCharactersTheCodePageLacksIntoItsDefault) {
    EXPECT_EQ(IndexForm("caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD"), "caf\xE9 \x80 ?");
    // Letters the code page lacks become the same letter without its accent, as Windows has it.
    EXPECT_EQ(IndexForm("Wrzesie\xC5\x84 Pami\xC4\x99\xC4\x87 Ba\xC4\x8D"
                        "e"),
              "Wrzesien Pamiec Bace");
    // The bytes code page 1252 leaves unassigned stand for the control characters of that number.
    EXPECT_EQ(IndexForm("\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"), "\x81\x8D\x8F\x90\x9D");
    // Text that does not fit is refused whole, never cut.
    char small[4];
    EXPECT_FALSE(Utf8ToAnsi("abcd", 4, small, sizeof small));
    EXPECT_STREQ(small, "");
}

// Characters code page 1252 lacks that Windows writes as a near character rather than "?": real
// feeds carry primes in coordinates, key symbols and box drawing in code listings.
TEST(FeedConversionTest, WritesNearCharactersWhereWindowsHasThem) {
    const struct {
        WCHAR character;
        const char* expected;
    } cases[] = {
        {0x2032, "'"},     // prime
        {0x2033, "?"},     // double prime: no near character
        {0x2303, "^"},     // up arrowhead (the control key)
        {0x2318, "?"},     // place of interest (the command key)
        {0x2500, "-"},     // box drawing: horizontal
        {0x2502, "\xA6"},  // box drawing: vertical, the broken bar
        {0x251C, "+"},     // box drawing: vertical and right
        {0xFF21, "A"},     // full-width capital A
        {0xFF5E, "~"},     // full-width tilde
        {0x0110, "\xD0"},  // D with stroke: the eth of 1252
        {0x0111, "d"},     // d with stroke
        {0x013F, "?"},     // L with middle dot: no near character
        {0x0192, "\x83"},  // f with hook: in 1252 itself
        {0x2260, "?"},     // not equal to
    };
    for (const auto& one : cases) {
        char out[8];
        const WCHAR text[2] = {one.character, 0};
        const int written =
            WideCharToMultiByte(CP_ACP, 0, text, 1, out, sizeof out - 1, nullptr, nullptr);
        out[written > 0 ? written : 0] = '\0';
        EXPECT_STREQ(out, one.expected) << "U+" << std::hex << static_cast<unsigned>(one.character);
    }
}

// The conversion itself, into a double-byte code page: whole characters or nothing, and one
// default character for each unit of a character beyond the basic plane.
TEST(FeedConversionTest, DoubleByteCodePagesTakeTwoBytesACharacter) {
    const struct {
        std::vector<WCHAR> text;
        int room;
        int answer;
        const char* expected;  // what the answer counts, when it is not 0
    } cases[] = {
        {{0x4E2D}, 8, 2, "\xD6\xD0"},
        {{'a', 0x4E2D, 0x6587, 'b'},
         8,
         6,
         "a\xD6\xD0\xCE\xC4"
         "b"},
        {{'a', 0xD83D, 0xDE00, 'b'}, 8, 4, "a??b"},  // one character beyond the basic plane
        {{'a', 0xDC00, 'b'}, 8, 3, "a?b"},           // a lone trail surrogate
        {{0x4E2D}, 1, 0, nullptr},                   // no room for the second byte
        {{'a', 'b', 'c'}, 2, 0, nullptr},
        {{'a', 0x4E2D}, 0, 3, nullptr},  // no room given: the answer is the size needed
    };
    for (const auto& c : cases) {
        char out[8] = {};
        const int answer =
            WideCharToMultiByte(936, 0, c.text.data(), static_cast<int>(c.text.size()),
                                c.room > 0 ? out : nullptr, c.room, nullptr, nullptr);
        EXPECT_EQ(answer, c.answer) << c.text.size() << " units into " << c.room;
        if (c.expected != nullptr) {
            EXPECT_EQ(std::string(out, static_cast<size_t>(answer)), c.expected);
        }
    }
}

// Drives a handler with one event per call; collects what its callback is handed.
class HandlerDriver {
public:
    explicit HandlerDriver(FeedItemCallback callback = Keep) : handler(callback, "folder") {
        current = this;
    }
    ~HandlerDriver() { current = nullptr; }

    void Start(const char* name) { handler.StartElement({"", 0, name, strlen(name)}, nullptr, 0); }
    void End(const char* name) { handler.EndElement({"", 0, name, strlen(name)}); }
    void Text(const std::string& text) { handler.Text(text.data(), text.size()); }
    // A whole element holding only text.
    void Element(const char* name, const std::string& text) {
        Start(name);
        Text(text);
        End(name);
    }

    FeedContentHandler handler;
    std::vector<std::string> titles;

private:
    static int Keep(const FeedItem* item, const char* folderId) {
        EXPECT_STREQ(folderId, "folder");
        current->titles.push_back(item->title);
        return 0;
    }
    static HandlerDriver* current;
};

HandlerDriver* HandlerDriver::current = nullptr;

TEST(FeedHandlerStateTest, WithoutACallbackItemsAreReadButNotHandedOn) {
    HandlerDriver d(nullptr);
    d.handler.StartDocument();
    d.Start("channel");
    d.Start("item");
    d.Element("title", "Read");
    d.End("item");
    EXPECT_TRUE(d.titles.empty());
    EXPECT_STREQ(d.handler.record.title, "Read");
    EXPECT_EQ(d.handler.state, RSS_CHANNEL);
    // Through the reader too, whatever the document holds.
    EXPECT_EQ(
        ParseFeed("<rss><channel><item><title>x</title></item></channel></rss>", nullptr, "f"), 0);
}

TEST(FeedHandlerStateTest, NewHandlerIsIdleWithEmptyRecord) {
    HandlerDriver d;
    EXPECT_EQ(d.handler.state, RSS_IDLE);
    EXPECT_FALSE(d.handler.authorNameSeen);
    EXPECT_FALSE(d.handler.itemsListSeen);
    EXPECT_STREQ(d.handler.record.title, "");
    EXPECT_STREQ(d.handler.record.channelDate, "");
    // Before the document starts, elements and text change nothing; an end moves to the root.
    d.Start("channel");
    d.Text("ignored");
    EXPECT_EQ(d.handler.state, RSS_IDLE);
    d.End("anything");
    EXPECT_EQ(d.handler.state, RSS_ROOT);
}

TEST(FeedHandlerStateTest, ItemEndReturnsToChannelOrToRootAfterAnItemsList) {
    struct Case {
        bool itemsList;
        const char* itemsName;
        int32_t afterItem;
    };
    const Case cases[] = {
        {false, nullptr, RSS_CHANNEL},
        {true, "items", RSS_ROOT},
        {true, "ITEMS", RSS_ROOT},
        // A longer name is no items list: it is an unrecognised child.
        {false, "itemsList", RSS_CHANNEL},
    };
    for (const Case& c : cases) {
        HandlerDriver d;
        d.handler.StartDocument();
        d.Start("channel");
        if (c.itemsName != nullptr) {
            d.Start(c.itemsName);
            EXPECT_EQ(d.handler.state, c.itemsList ? RSS_ITEMS : RSS_CHANNEL_OTHER);
            d.End(c.itemsName);
            EXPECT_EQ(d.handler.state, RSS_CHANNEL);
        }
        EXPECT_EQ(d.handler.itemsListSeen, c.itemsList);
        d.Start("item");
        EXPECT_EQ(d.handler.state, RSS_ITEM);
        d.Element("title", "T");
        d.End("item");
        EXPECT_EQ(d.handler.state, c.afterItem) << (c.itemsName ? c.itemsName : "no list");
        EXPECT_EQ(d.titles, std::vector<std::string>{"T"});
    }
}

TEST(FeedHandlerStateTest, StatesFollowNestedElementsOneLevelAtATime) {
    HandlerDriver d;
    d.handler.StartDocument();
    d.Start("rss");
    EXPECT_EQ(d.handler.state, RSS_ROOT);
    d.Start("chanNote");  // five letters of "channel" are enough
    EXPECT_EQ(d.handler.state, RSS_CHANNEL);
    d.Start("image");
    EXPECT_EQ(d.handler.state, RSS_IMAGE);
    d.Start("title");
    EXPECT_EQ(d.handler.state, RSS_IMAGE_OTHER);
    d.Text("image title");
    d.End("title");
    EXPECT_EQ(d.handler.state, RSS_IMAGE);
    d.Element("url", "http://a/1.png");
    d.End("image");
    EXPECT_EQ(d.handler.state, RSS_CHANNEL);
    EXPECT_STREQ(d.handler.record.channelTitle, "");
    EXPECT_STREQ(d.handler.record.imageUrl, "http://a/1.png");

    // The url of a second image is appended: imageUrl is never emptied by text.
    d.Start("image");
    d.Element("url", "|2");
    d.End("image");
    EXPECT_STREQ(d.handler.record.imageUrl, "http://a/1.png|2");

    d.Start("item");
    d.Start("author");
    EXPECT_EQ(d.handler.state, RSS_ITEM_AUTHOR);
    d.Start("email");
    EXPECT_EQ(d.handler.state, RSS_ITEM_AUTHOR_OTHER);
    d.Text("not kept");
    d.End("email");
    d.Start("name");
    EXPECT_EQ(d.handler.state, RSS_ITEM_AUTHOR_NAME);
    d.Text("Ann");
    d.End("name");
    d.End("author");
    EXPECT_EQ(d.handler.state, RSS_ITEM);
    EXPECT_STREQ(d.handler.record.author, "Ann");
    EXPECT_TRUE(d.handler.authorNameSeen);

    // Inside an unrecognised child, deeper elements keep the state until any end.
    d.Start("enclosure");
    d.Start("deep");
    EXPECT_EQ(d.handler.state, RSS_ITEM_OTHER);
    d.End("deep");
    EXPECT_EQ(d.handler.state, RSS_ITEM);
}

TEST(FeedHandlerStateTest, SecondTitleInsideAnUnrecognisedChannelChildBecomesChannelTitle) {
    HandlerDriver d;
    d.handler.StartDocument();
    d.Start("channel");
    d.Element("title", "Real");
    d.Start("textInput");
    d.Element("title", "Input title");  // its end already returns to the channel
    EXPECT_STREQ(d.handler.record.channelTitle, "Real");
    d.Element("title", "Taken");
    d.End("textInput");
    EXPECT_STREQ(d.handler.record.channelTitle, "Taken");
}

TEST(FeedHandlerTextTest, ChunksAreJoinedAsDeliveredAndEmptyChunksChangeNothing) {
    HandlerDriver d;
    d.handler.StartDocument();
    d.Start("channel");
    d.Start("item");
    d.Start("title");
    d.Text("\n  One ");
    d.Text("&");
    d.handler.Text(nullptr, 0);
    d.handler.Text("X", 0);
    d.Text(" two  \n");
    d.End("title");
    EXPECT_STREQ(d.handler.record.title, "\n  One & two  \n");
}

TEST(FeedHandlerTextTest, FieldsAreCutAtCapacityWithoutTouchingTheNextField) {
    HandlerDriver d;
    d.handler.StartDocument();
    d.Start("channel");
    d.Element("title", "Channel");
    d.Start("item");
    d.Element("description", "Desc");
    d.Element("title", std::string(600, 'a'));
    d.Start("title");
    d.Text(std::string(700, 'b'));
    d.Text(std::string(700, 'c'));
    d.End("title");
    d.Start("author");
    d.Text(std::string(200, 'x'));
    d.Text(std::string(100, 'y'));
    d.End("author");

    const FeedItem& r = d.handler.record;
    EXPECT_EQ(std::string(r.title), std::string(700, 'b') + std::string(323, 'c'));
    EXPECT_STREQ(r.description, "Desc");
    EXPECT_EQ(std::string(r.author), std::string(200, 'x') + std::string(55, 'y'));
    EXPECT_STREQ(r.channelTitle, "Channel");
}

TEST(FeedHandlerTextTest, ItemStartEmptiesItemFieldsButKeepsChannelFields) {
    HandlerDriver d;
    d.handler.StartDocument();
    d.Start("channel");
    d.Element("title", "C");
    d.Element("pubDate", "D");
    d.Start("item");
    d.Element("title", "T");
    d.Element("link", "L");
    d.Element("description", "X");
    d.Element("date", "1");
    d.Element("creator", "A");
    d.End("item");
    d.Start("item");
    const FeedItem& r = d.handler.record;
    EXPECT_STREQ(r.title, "");
    EXPECT_STREQ(r.link, "");
    EXPECT_STREQ(r.description, "");
    EXPECT_STREQ(r.date, "");
    EXPECT_STREQ(r.author, "");
    EXPECT_STREQ(r.channelTitle, "C");
    EXPECT_STREQ(r.channelDate, "D");
}

}  // namespace
