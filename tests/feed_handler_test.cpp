// The content handler driven event by event: namespaces, conversion limits, and what the
// record holds when nested and unknown elements come its way.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "feed/feed_handler.h"
#include "feed/parse_feed.h"
#include "platform.h"
#include "platform/codepage.h"
#include "tests/feed_support.h"

namespace {

TEST(FeedNamespaceTest, NamespacesAndRelationsAreKnownByTheirExactUri) {
    const struct {
        const char* uri;
        FeedNamespace space;
    } cases[] = {
        {"", FeedNamespace::kCore},
        {"http://purl.org/rss/1.0/", FeedNamespace::kCore},
        {"http://www.w3.org/2005/Atom", FeedNamespace::kCore},
        {"http://purl.org/atom/ns#", FeedNamespace::kCore},
        {"http://purl.org/rss/1.0/modules/content/", FeedNamespace::kContent},
        {"http://purl.org/dc/elements/1.1/", FeedNamespace::kDublinCore},
        {"http://search.yahoo.com/mrss/", FeedNamespace::kMedia},
        {"http://www.itunes.com/dtds/podcast-1.0.dtd", FeedNamespace::kItunes},
        {"http://www.w3.org/1999/xhtml", FeedNamespace::kXhtml},
        {"http://www.w3.org/2005/Atom/", FeedNamespace::kOther},
        {"HTTP://PURL.ORG/DC/ELEMENTS/1.1/", FeedNamespace::kOther},
        {"http://example.com/mine", FeedNamespace::kOther},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FeedNamespaceOf(c.uri, strlen(c.uri)), c.space) << c.uri;
    }
    const struct {
        const char* rel;
        bool alternate;
    } rels[] = {{"alternate", true},
                {"ALTERNATE", true},
                {"http://www.iana.org/assignments/relation/alternate", true},
                {"alternates", false},
                {"self", false},
                {"", false}};
    for (const auto& r : rels) {
        EXPECT_EQ(IsAlternateRel(r.rel, strlen(r.rel)), r.alternate) << r.rel;
    }
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

// Drives a handler with one event per call, in no namespace unless one is named; collects the
// titles its callback is handed.
class HandlerDriver {
public:
    explicit HandlerDriver(FeedItemCallback callback = Keep) : handler(callback, this, "") {}

    void Start(const char* name, const char* uri = "") {
        handler.StartElement({uri, strlen(uri), name, strlen(name)}, nullptr, 0);
    }
    void End(const char* name, const char* uri = "") {
        handler.EndElement({uri, strlen(uri), name, strlen(name)});
    }
    void Text(const std::string& text) { handler.Text(text.data(), text.size()); }
    // A whole element holding only text.
    void Element(const char* name, const std::string& text, const char* uri = "") {
        Start(name, uri);
        Text(text);
        End(name, uri);
    }

    FeedContentHandler handler;
    std::vector<std::string> titles;

private:
    // Each item reaches the driver it was read by.
    static int Keep(const FeedItem* item, void* driver) {
        static_cast<HandlerDriver*>(driver)->titles.push_back(item->title);
        return 0;
    }
};

TEST(FeedHandlerRecordTest, WithoutACallbackItemsAreReadButNotHandedOn) {
    HandlerDriver d(nullptr);
    d.Start("channel");
    d.Start("item");
    d.Element("title", "Read");
    d.End("item");
    EXPECT_TRUE(d.titles.empty());
    EXPECT_STREQ(d.handler.record.title, "Read");
    // Through the reader too, whatever the document holds.
    EXPECT_EQ(ParseFeed("<rss><channel><item><title>x</title></item></channel></rss>", nullptr,
                        nullptr, nullptr),
              0);
}

// Only the table's elements, where they stand, fill the record: nothing nested in an element it
// does not know, and no longer name that merely begins like a known one.
TEST(FeedHandlerRecordTest, UnknownElementsAndWhatTheyHoldFillNothing) {
    HandlerDriver d;
    d.Start("rss");
    d.Start("chanNote");  // no channel
    d.Start("item");
    d.Element("title", "Inside an unknown element");
    d.End("item");
    d.End("chanNote");
    EXPECT_TRUE(d.titles.empty());

    d.Start("channel");
    d.Element("title", "Real");
    d.Start("textInput");
    d.Element("title", "Input title");
    d.End("textInput");
    d.Start("image");
    d.Element("title", "Image title");
    d.Element("url", "http://a/1.png");
    d.End("image");
    // A second image names no second picture glued to the first.
    d.Start("image");
    d.Element("url", "|2");
    d.End("image");
    EXPECT_STREQ(d.handler.record.channelTitle, "Real");
    EXPECT_STREQ(d.handler.record.imageUrl, "http://a/1.png");

    d.Start("item");
    d.Element("title", "Kept");
    d.Start("source");
    d.Element("title", "The source's title");
    d.End("source");
    d.Start("author");
    d.Start("email");
    d.Text("not kept");
    d.End("email");
    d.Element("name", "Ann");
    d.Text(" after the name ");
    d.End("author");
    d.End("item");
    EXPECT_STREQ(d.handler.record.author, "Ann");
    EXPECT_EQ(d.titles, std::vector<std::string>{"Kept"});
}

TEST(FeedHandlerRecordTest, ItemsListOfRss1IsNoChannelChild) {
    for (const char* listName : {"items", "ITEMS", "itemsList"}) {
        HandlerDriver d;
        d.Start("RDF", "http://www.w3.org/1999/02/22-rdf-syntax-ns#");
        d.Start("channel");
        d.Element("title", "C");
        d.Start(listName);
        d.Start("item");  // inside the list: a reference, not an item
        d.End("item");
        d.End(listName);
        d.End("channel");
        d.Start("item");
        d.Element("title", "T");
        d.End("item");
        EXPECT_EQ(d.titles, std::vector<std::string>{"T"}) << listName;
        EXPECT_STREQ(d.handler.record.channelTitle, "C");
    }
}

TEST(FeedHandlerTextTest, ChunksAreJoinedAsDeliveredAndEmptyChunksChangeNothing) {
    HandlerDriver d;
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
    d.Start("channel");
    d.Element("title", "Channel");
    d.Start("item");
    d.Element("description", "Desc");
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
    d.Start("channel");
    d.Element("title", "C");
    d.Element("pubDate", "D");
    d.Start("item");
    d.Element("title", "T");
    d.Element("link", "L");
    d.Element("description", "X");
    d.Element("date", "1", "http://purl.org/dc/elements/1.1/");
    d.Element("creator", "A", "http://purl.org/dc/elements/1.1/");
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
