// Whole documents through ParseFeed and the platform's SAX reader: the three vocabularies, the
// quirks of the state machine, text conversion, and documents that break off or misbehave.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "feed/parse_feed.h"
#include "base/hostapi.h"
#include "tests/feed_support.h"

namespace {

std::string g_statusText;

void QF_CALL KeepStatus(HWND, const char* text) {
    g_statusText = text;
}

// Hides the SAX reader and catches the status line for one test.
class MissingReader {
public:
    MissingReader() : saved_(g_hostApi.PXA_SetMessageText) {
        available = SimulateMissingSaxReader(true);
        g_hostApi.PXA_SetMessageText = KeepStatus;
        g_statusText.clear();
    }
    ~MissingReader() {
        SimulateMissingSaxReader(false);
        g_hostApi.PXA_SetMessageText = saved_;
    }
    bool available;

private:
    decltype(g_hostApi.PXA_SetMessageText) saved_;
};

int CountItem(const FeedItem*, const char*) {
    return 0;
}

TEST(ParseFeedTest, NullDocumentIsRefused) {
    EXPECT_EQ(ParseFeed(nullptr, CountItem, "f"), -1);
}

TEST(ParseFeedTest, MissingReaderIsReportedOnTheStatusLine) {
    MissingReader missing;
    if (!missing.available) {
        GTEST_SKIP() << "the platform's reader cannot be hidden";
    }
    EXPECT_TRUE(ParseItems("<rss><channel><item/></channel></rss>").empty());
    EXPECT_EQ(g_statusText, "\nUpdate Feeds\\Test Error: 80040154\n\n");
}

TEST(ParseFeedVocabularyTest, Rss2ItemsCarryTheChannelFieldsBeforeThem) {
    std::vector<SeenItem> items = ParseItems(FeedFixture("rss2_two_items_with_channel_fields.xml"));
    ASSERT_EQ(items.size(), 2u);
    const SeenItem& first = items[0];
    EXPECT_EQ(first.title, "Ferry late");
    EXPECT_EQ(first.link, "http://harbour.example/ferry");
    EXPECT_EQ(first.description, "The <b>ferry</b> came late.");
    EXPECT_EQ(first.date, "Mon, 07 Dec 2026 08:00:00 GMT");
    EXPECT_EQ(first.author, "pier@harbour.example");
    // The channel's own link and description and the image's title are not collected.
    EXPECT_EQ(first.channelTitle, "Harbour News");
    EXPECT_EQ(first.imageUrl, "http://harbour.example/logo.png");
    EXPECT_EQ(first.channelDate, "Mon, 07 Dec 2026 09:00:00 GMT");

    const SeenItem& second = items[1];
    EXPECT_EQ(second.title, "Tide high");
    EXPECT_EQ(second.description, "<p>Water over the quay.</p>");
    EXPECT_EQ(second.date, "2026-12-07T10:00:00Z");
    EXPECT_EQ(second.author, "Tide Watch");
    EXPECT_EQ(second.channelTitle, "Harbour News");
}

TEST(ParseFeedVocabularyTest, Rss1ItemsBesideTheChannelTakeImageFromResource) {
    std::vector<SeenItem> items = ParseItems(FeedFixture("rss1_items_beside_channel.xml"));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].title, "Grain in");
    EXPECT_EQ(items[0].link, "http://mill.example/1");
    EXPECT_EQ(items[0].author, "Miller");
    EXPECT_EQ(items[1].title, "Flour out");
    EXPECT_EQ(items[1].date, "2026-12-02");
    EXPECT_EQ(items[1].author, "");
    for (const SeenItem& item : items) {
        EXPECT_EQ(item.channelTitle, "Mill Notes");
        EXPECT_EQ(item.channelDate, "2026-12-01");
        // The root-level image element's url is outside the channel and not read.
        EXPECT_EQ(item.imageUrl, "http://mill.example/wheel.png");
    }
}

TEST(ParseFeedVocabularyTest, AtomEntriesTakeLinkHrefAndAuthorName) {
    std::vector<SeenItem> items =
        ParseItems(FeedFixture("atom_entries_link_href_and_author_name.xml"));
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].title, "Lamp lit");
    EXPECT_EQ(items[0].link, "http://light.example/lamp");
    EXPECT_EQ(items[0].author, "Keeper");
    EXPECT_EQ(items[0].date, "2026-12-05T17:00:00Z");
    EXPECT_EQ(items[0].description, "Lamp lit at dusk.");
    EXPECT_EQ(items[0].channelTitle, "Lighthouse Log");
    EXPECT_EQ(items[0].channelDate, "2026-12-05T18:00:00Z");
    // Of two links to the entry's page the first is the item's; one without href empties it;
    // text serves as well.
    EXPECT_EQ(items[1].link, "http://light.example/first-and-much-longer");
    EXPECT_EQ(items[2].link, "");
    EXPECT_EQ(items[3].link, "http://light.example/text");
}

TEST(ParseFeedVocabularyTest, Atom10EntriesTakeTheirDatesSummariesPageLinksAndXhtml) {
    std::vector<SeenItem> items =
        ParseItems(FeedFixture("atom10_dates_summaries_rel_links_and_xhtml.xml"));
    ASSERT_EQ(items.size(), 4u);
    for (const SeenItem& item : items) {
        EXPECT_EQ(item.channelTitle, "Harbour Board");
        EXPECT_EQ(item.channelDate, "2026-12-08T09:00:00Z");
    }
    // published wins over updated, whichever comes first; updated serves alone.
    EXPECT_EQ(items[0].date, "2026-12-01T08:00:00Z");
    EXPECT_EQ(items[1].date, "2026-12-03T08:00:00Z");
    EXPECT_EQ(items[2].date, "2026-12-05T08:00:00Z");
    EXPECT_EQ(items[3].date, "");
    // A summary stands in for missing content; content wins, whichever comes first.
    EXPECT_EQ(items[0].description, "Only a summary.");
    EXPECT_EQ(items[1].description, "<p>The content.</p>");
    EXPECT_EQ(items[2].description, "Content wins.");
    // The first link to the entry's page wins; other rels serve only without one.
    EXPECT_EQ(items[0].link, "http://harbour.example/1");
    EXPECT_EQ(items[1].link, "http://harbour.example/2/edit");
    EXPECT_EQ(items[2].link, "http://harbour.example/3");
    EXPECT_EQ(items[3].link, "http://harbour.example/4");
    // XHTML stays markup, its text and attribute values escaped as markup's.
    EXPECT_EQ(items[3].description,
              "<div><p>Tide <b>tables</b> &amp; notes:</p><ul><li>High at 06:10</li>"
              "<li>Low at 12:25</li></ul><p><a href=\"http://harbour.example/tides?day=8&amp;"
              "port=2\">All tides</a></p></div>");
}

TEST(ParseFeedQuirkTest, AuthorNameFlagHoldsForTheRestOfTheDocument) {
    std::vector<SeenItem> items =
        ParseItems(FeedFixture("author_name_flag_holds_for_rest_of_document.xml"));
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].author, "Plain Text Author");
    EXPECT_EQ(items[1].author, "Named");
    EXPECT_EQ(items[2].author, "");
    EXPECT_EQ(items[3].author, "Second Name");
}

TEST(ParseFeedQuirkTest, ItemPrefixedChildDeliversTheItemEarly) {
    std::vector<SeenItem> items =
        ParseItems(FeedFixture("item_prefixed_child_delivers_item_early.xml"));
    // At the end of itemExtra, whose child returned the machine to the item before it, and at the
    // item's own end; the empty itemEmpty ends in the state of an unrecognised child and does not.
    ASSERT_EQ(items.size(), 2u);
    for (const SeenItem& item : items) {
        EXPECT_EQ(item.title, "Twice");
    }
}

TEST(ParseFeedQuirkTest, ItemsListMustBeNamedExactly) {
    // After an item end the machine is at the root when the channel had an items list, so the
    // channel title that follows is not read; with a longer name it is.
    const char* format =
        "<rss><channel><%s/><item><title>1</title></item><title>Late</title>"
        "<item><title>2</title></item></channel></rss>";
    struct Case {
        const char* listName;
        const char* channelTitleOfSecond;
    };
    const Case cases[] = {{"items", ""}, {"itemsMore", "Late"}};
    for (const Case& c : cases) {
        char document[256];
        snprintf(document, sizeof document, format, c.listName);
        std::vector<SeenItem> items = ParseItems(document);
        ASSERT_EQ(items.size(), 2u) << c.listName;
        EXPECT_EQ(items[1].title, "2");
        EXPECT_EQ(items[1].channelTitle, c.channelTitleOfSecond) << c.listName;
    }
}

TEST(ParseFeedQuirkTest, LaterElementsReplaceEarlierOnesWithinAnItem) {
    std::vector<SeenItem> items = ParseItems(
        "<rss xmlns:dc='http://purl.org/dc/elements/1.1/' xmlns:a='http://www.w3.org/2005/Atom'>"
        "<channel><item><link>http://old</link><description>one</description>"
        "<content>two</content><pubDate>d1</pubDate><dc:date>d2</dc:date>"
        "<a:link href='http://atom'/><link>http://later</link></item></channel></rss>");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].description, "two");
    EXPECT_EQ(items[0].date, "d2");
    // A link element without href replaces what came before; one with href counts only when no
    // link to the item's page came before it.
    EXPECT_EQ(items[0].link, "http://later");
}

TEST(ParseFeedBreakTest, DocumentCutInsideAnItemDeliversOnlyTheItemsBefore) {
    std::vector<SeenItem> items = ParseItems(FeedFixture("document_cut_inside_item.xml"));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].title, "Whole");
    EXPECT_EQ(items[0].channelTitle, "Cut");
}

TEST(ParseFeedBreakTest, MalformedDocumentKeepsTheItemsBeforeTheError) {
    std::vector<SeenItem> items = ParseItems(FeedFixture("malformed_after_first_item.xml"));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].title, "Before the error");
}

TEST(ParseFeedBreakTest, DocumentsWithoutItemsDeliverNothing) {
    const char* documents[] = {
        "",
        "<?xml version=\"1.0\"?>",
        "<rss",
        "\xFF\xFE\x00garbage",
        "<rss><channel><title>No items</title></channel></rss>",
        "<?xml version=\"1.0\" encoding=\"bogus\"?><rss><channel><item/></channel></rss>",
        "<rss><channel><item><title>&undefined;</title></item></channel></rss>",
    };
    for (const char* document : documents) {
        EXPECT_TRUE(ParseItems(document).empty()) << document;
    }
}

TEST(ParseFeedTextTest, EntitiesCharacterReferencesAndCdataArriveAsText) {
    std::vector<SeenItem> items = ParseItems(
        "<rss><channel><item><title>One &amp; two &lt;&#65;&#x42;&gt;</title>"
        "<description>a<![CDATA[<b>&amp;</b>]]>z</description>"
        "<author>\n  Spaced \n</author></item></channel></rss>");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].title, "One & two <AB>");
    EXPECT_EQ(items[0].description, "a<b>&amp;</b>z");
    EXPECT_EQ(items[0].author, "\n  Spaced \n");
}

TEST(ParseFeedTextTest, NonAsciiTextIsConvertedToTheAnsiCodePage) {
    std::vector<SeenItem> items = ParseItems(FeedFixture("non_ascii_utf8_text.xml"));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].channelTitle, "Caf\xE9 \x96 \x93quoted\x94");
    // Characters outside the code page become its default character, one per UTF-16 unit.
    EXPECT_EQ(items[0].title, "\x80 5, ??, \xE9\x80??");
}

TEST(ParseFeedTextTest, DeclaredEncodingDecidesTheDecoding) {
    std::vector<SeenItem> items = ParseItems(FeedFixture("windows1252_declared_encoding.xml"));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].channelTitle, "Caf\xE9");
    EXPECT_EQ(items[0].title, "Price \x80 5");

    items = ParseItems(
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><rss><channel><item><title>\xE9\xFF"
        "</title></item></channel></rss>");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].title, "\xE9\xFF");
}

TEST(ParseFeedTextTest, DoubleByteEncodingsAreDecodedWholeOrRefused) {
    // Two GB2312 characters, then ASCII. A reader that knows the encoding turns each character
    // the code page lacks into one default character and reads the ASCII after them as ASCII; one
    // that does not (the reader under Wine) refuses the document. Neither reads it byte by byte.
    std::vector<SeenItem> items = ParseItems(
        "<?xml version=\"1.0\" encoding=\"gb2312\"?><rss><channel><item><title>\xD6\xD0\xCE\xC4"
        " ok</title></item></channel></rss>");
    ASSERT_LE(items.size(), 1u);
    if (!items.empty()) {
        EXPECT_EQ(items[0].title, "?? ok");
    }
}

TEST(ParseFeedLimitTest, OversizedTextIsCutAndNextFieldsStayIntact) {
    std::string document = "<rss><channel><title>" + std::string(3000, 'c') +
                           "</title><item><description>D</description><title>" +
                           std::string(2000000, 't') + "</title><author>" + std::string(300, 'a') +
                           "</author><link>L</link></item></channel></rss>";
    std::vector<SeenItem> items = ParseItems(document);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].title, std::string(1023, 't'));
    EXPECT_EQ(items[0].description, "D");
    EXPECT_EQ(items[0].author, std::string(255, 'a'));
    EXPECT_EQ(items[0].link, "L");
    EXPECT_EQ(items[0].channelTitle, std::string(1023, 'c'));
}

// Markup kept in a description fills it like text does, except that an entity goes in whole or
// not at all.
TEST(ParseFeedLimitTest, KeptMarkupIsCutWithoutHalfAnEntity) {
    const size_t room = kItemDescriptionCapacity - 1;
    const struct {
        size_t text;  // the x's before the ampersand
        std::string expected;
    } cases[] = {
        {room - 10, "<div>" + std::string(room - 10, 'x') + "&amp;"},
        {room - 9, "<div>" + std::string(room - 9, 'x') + "</di"},  // four bytes left: no entity
        {room - 5, "<div>" + std::string(room - 5, 'x')},
        {room, "<div>" + std::string(room - 5, 'x')},
    };
    for (const auto& c : cases) {
        const std::string document =
            "<feed xmlns='http://www.w3.org/2005/Atom'><entry><content type='xhtml'><div>" +
            std::string(c.text, 'x') + "&amp;</div></content></entry></feed>";
        std::vector<SeenItem> items = ParseItems(document);
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0].description.size(), c.expected.size()) << c.text;
        EXPECT_EQ(items[0].description, c.expected) << c.text;
    }
}

TEST(ParseFeedLimitTest, LongAttributeValuesAndManyAttributesStayInBounds) {
    std::string manyAttributes;
    for (int i = 0; i < 100000; ++i) {
        manyAttributes += " a" + std::to_string(i) + "='v'";
    }
    std::string document = "<feed><entry><link" + manyAttributes + " href='" +
                           std::string(5000, 'h') + "' hreflang='ignored'/></entry>" +
                           "<entry><link href='x' href2='second'/></entry></feed>";
    std::vector<SeenItem> items = ParseItems(document);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].link, std::string(1023, 'h'));
    EXPECT_EQ(items[1].link, "x");
}

std::string NestedDescription(int depth) {
    std::string open, close;
    for (int i = 0; i < depth; ++i) {
        open += "<d>";
        close += "</d>";
    }
    return "<rss><channel><item><description>" + open + "deep" + close +
           "</description></item></channel></rss>";
}

TEST(ParseFeedLimitTest, NestingInsideADescriptionIsKeptAsMarkup) {
    std::vector<SeenItem> items = ParseItems(NestedDescription(200));
    ASSERT_EQ(items.size(), 1u);
    std::string open, close;
    for (int i = 0; i < 200; ++i) {
        open += "<d>";
        close += "</d>";
    }
    EXPECT_EQ(items[0].description, open + "deep" + close);
}

TEST(ParseFeedLimitTest, VeryDeepNestingIsReadOrRefusedSafely) {
    // The reader under Wine refuses documents nested deeper than a few hundred levels; expat
    // reads them. Either way nothing breaks.
    std::vector<SeenItem> items = ParseItems(NestedDescription(100000));
    ASSERT_LE(items.size(), 1u);
    if (!items.empty()) {
        EXPECT_LT(items[0].description.size(), kItemDescriptionCapacity);
        EXPECT_EQ(items[0].description.substr(0, 6), "<d><d>");
    }
}

// Every real feed of the shared corpus goes through the reader without harm.
TEST(ParseFeedCorpusTest, RealFeedsParseWithinBounds) {
    std::filesystem::path folder = std::filesystem::path(QF_CORPUS_DIR) / "feeds";
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << "shared corpus missing at " << folder;
    size_t documents = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (const SeenItem& item : ParseItems(bytes)) {
            EXPECT_LT(item.title.size(), 1024u);
            EXPECT_LT(item.description.size(), 51200u);
            EXPECT_LT(item.channelDate.size(), 256u);
        }
        ++documents;
    }
    EXPECT_GT(documents, 100u);
}

}  // namespace
