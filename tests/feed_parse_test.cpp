// Whole documents through ParseFeed and the platform's SAX reader: the three vocabularies, the
// quirks of the state machine, text conversion, and documents that break off or misbehave.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "feed/discovery.h"
#include "feed/parse_feed.h"
#include "base/hostapi.h"
#include "platform/xml_reader.h"
#include "tests/feed_support.h"
#include "tests/fetch_support.h"

namespace {

std::string g_statusText;

void QF_CALL KeepStatus(HWND, const char* text) {
    g_statusText = text;
}

// Hides the SAX reader and catches the status line for one test.
class MissingReader {
public:
    MissingReader() : saved_(g_hostApi.PXA_SetMessageText) {
        available = SimulateMissingXmlReader(true);
        g_hostApi.PXA_SetMessageText = KeepStatus;
        g_statusText.clear();
    }
    ~MissingReader() {
        SimulateMissingXmlReader(false);
        g_hostApi.PXA_SetMessageText = saved_;
    }
    bool available;

private:
    decltype(g_hostApi.PXA_SetMessageText) saved_;
};

int CountItem(const FeedItem*, void*) {
    return 0;
}

TEST(ParseFeedTest, NullDocumentIsRefused) {
    EXPECT_EQ(ParseFeed(nullptr, CountItem, nullptr, nullptr), -1);
}

// A refresh whose worker finds no reader says so on the status line, in the words the platform
// gives, and reads nothing.
TEST(ParseFeedTest, MissingReaderIsReportedOnTheStatusLine) {
    MissingReader missing;
    if (!missing.available) {
        GTEST_SKIP() << "the platform's reader cannot be hidden";
    }
    EXPECT_EQ(ParseFeed("<rss><channel><item/></channel></rss>", CountItem, nullptr, nullptr), -1);
    ReadAnswerText("<rss><channel><item><title>t</title></item></channel></rss>", "Feeds\\Test",
                   "http://feed.invalid/");
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
    EXPECT_EQ(first.author, "");
    EXPECT_EQ(first.authorEmail, "pier@harbour.example");
    // The channel's own link and description and the image's title are not collected.
    EXPECT_EQ(first.channelTitle, "Harbour News");
    EXPECT_EQ(first.imageUrl, "http://harbour.example/logo.png");
    EXPECT_EQ(first.channelDate, "Mon, 07 Dec 2026 09:00:00 GMT");

    const SeenItem& second = items[1];
    EXPECT_EQ(second.title, "Tide high");
    // The whole article wins over the description, wherever it stands.
    EXPECT_EQ(second.description, "<p>Water over the quay.</p><p>The whole article.</p>");
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
    // Of two links to the entry's page the first is the item's; one without href names nothing
    // and takes nothing away; text serves as well.
    EXPECT_EQ(items[1].link, "http://light.example/first-and-much-longer");
    EXPECT_EQ(items[2].link, "http://light.example/gone");
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

// One fixture per shape of today's feeds, each row one field of one item as a reader expects it.
TEST(ParseFeedVocabularyTest, EveryFieldComesFromTheElementThatOwnsIt) {
    using Field = std::string SeenItem::*;
    const struct {
        const char* fixture;
        const char* documentUrl;
        size_t item;
        Field field;
        const char* expected;
    } cases[] = {
        {"media_and_itunes_names_do_not_replace_core_fields.xml", nullptr, 0, &SeenItem::title,
         "Episode 12: Guests"},
        {"media_and_itunes_names_do_not_replace_core_fields.xml", nullptr, 0,
         &SeenItem::description, "Show notes."},
        {"media_and_itunes_names_do_not_replace_core_fields.xml", nullptr, 0, &SeenItem::author,
         "The Host"},
        {"media_and_itunes_names_do_not_replace_core_fields.xml", nullptr, 0, &SeenItem::thumbnail,
         "https://cdn.example/photo.jpg"},
        {"media_and_itunes_names_do_not_replace_core_fields.xml", nullptr, 0, &SeenItem::duration,
         "1:02:03"},
        {"nested_variant_title_is_not_the_items.xml", nullptr, 0, &SeenItem::title, "Rope, 10 m"},
        {"nested_variant_title_is_not_the_items.xml", nullptr, 1, &SeenItem::title, "Anchor"},
        {"rss_core_elements_with_a_prefix.xml", nullptr, 0, &SeenItem::title, "First"},
        {"rss_core_elements_with_a_prefix.xml", nullptr, 0, &SeenItem::channelTitle, "Prefixed"},
        {"rss_core_elements_with_a_prefix.xml", nullptr, 0, &SeenItem::link,
         "http://prefixed.example/1"},
        // Relative references resolve against xml:base in scope, else the document's address.
        {"relative_links_resolve_against_xml_base.xml", "https://ignored.example/feed", 0,
         &SeenItem::link, "https://blog.example/news/2025/08/26/qemu-10-1-0/"},
        {"relative_links_resolve_against_xml_base.xml", nullptr, 0, &SeenItem::imageUrl,
         "https://blog.example/logo.png"},
        {"relative_links_resolve_against_xml_base.xml", nullptr, 0, &SeenItem::baseUrl,
         "https://blog.example/news/"},
        {"relative_links_resolve_against_xml_base.xml", nullptr, 1, &SeenItem::link,
         "https://blog.example/other/page.html#part"},
        {"relative_links_resolve_against_xml_base.xml", nullptr, 1, &SeenItem::description,
         "<div><a href=\"x.html\">x</a></div>"},
        {"guid_permalink_is_the_link.xml", nullptr, 0, &SeenItem::link, "https://perma.example/1"},
        {"guid_permalink_is_the_link.xml", nullptr, 1, &SeenItem::link, ""},
        {"guid_permalink_is_the_link.xml", nullptr, 2, &SeenItem::link, ""},
        {"guid_permalink_is_the_link.xml", nullptr, 3, &SeenItem::link,
         "https://perma.example/blog/posts/4"},
        {"guid_permalink_is_the_link.xml", nullptr, 4, &SeenItem::link, "https://perma.example/5"},
        // Atom says how its text is written: plain text is escaped, base64 decoded.
        {"atom_text_html_xhtml_and_base64_content.xml", nullptr, 0, &SeenItem::description,
         "if a &lt;b and c&gt; d"},
        {"atom_text_html_xhtml_and_base64_content.xml", nullptr, 0, &SeenItem::title,
         "Tom &#38; Jerry <b>live</b>"},
        {"atom_text_html_xhtml_and_base64_content.xml", nullptr, 1, &SeenItem::title,
         "A <plain> title"},
        {"atom_text_html_xhtml_and_base64_content.xml", nullptr, 1, &SeenItem::description,
         "<b>bold</b>"},
        {"atom_text_html_xhtml_and_base64_content.xml", nullptr, 2, &SeenItem::title,
         "An XHTML title"},
        {"atom_text_html_xhtml_and_base64_content.xml", nullptr, 2, &SeenItem::description,
         "<div><p>kept</p></div>"},
        {"atom03_base64_content_and_dates.xml", nullptr, 0, &SeenItem::description,
         "<p>Hello &amp; welcome</p>"},
        {"atom03_base64_content_and_dates.xml", nullptr, 0, &SeenItem::date,
         "2004-07-08 23:56:58.0"},
        {"atom03_base64_content_and_dates.xml", nullptr, 1, &SeenItem::description, "a &lt; b"},
        {"atom03_base64_content_and_dates.xml", nullptr, 1, &SeenItem::date,
         "2004-07-09T10:00:00Z"},
        // Media RSS's description is plain text whose lines are its paragraphs; a player names
        // the video's page when the entry has no link.
        {"youtube_media_group.xml", nullptr, 0, &SeenItem::description,
         "<p>What the video shows.</p><p>Chapters &amp; links:</p><p>0:00 Start</p>"},
        {"youtube_media_group.xml", nullptr, 0, &SeenItem::thumbnail,
         "https://i.ytimg.com/vi/abc/hqdefault.jpg"},
        {"youtube_media_group.xml", nullptr, 0, &SeenItem::link,
         "https://www.youtube.com/watch?v=abc"},
        {"youtube_media_group.xml", nullptr, 1, &SeenItem::link,
         "https://www.youtube.com/watch?v=def-_9"},
        {"youtube_media_group.xml", nullptr, 2, &SeenItem::link, "https://vimeo.com/76979871"},
        {"youtube_media_group.xml", nullptr, 2, &SeenItem::description, "<p>Vimeo's own.</p>"},
        {"youtube_media_group.xml", nullptr, 3, &SeenItem::link,
         "https://video.example/videos/watch/9c9de5e8-0a1e-484a-b099-e80766180a6d"},
        {"youtube_media_group.xml", nullptr, 4, &SeenItem::link,
         "https://player.example/embed?clip=7"},
        // A person: its name and its address, in each form feeds write one.
        {"people_in_every_form.xml", nullptr, 0, &SeenItem::author, "Jane Doe"},
        {"people_in_every_form.xml", nullptr, 0, &SeenItem::authorEmail, "jane@example.com"},
        {"people_in_every_form.xml", nullptr, 1, &SeenItem::author, "Jane Doe"},
        {"people_in_every_form.xml", nullptr, 1, &SeenItem::authorEmail, "jane@example.com"},
        {"people_in_every_form.xml", nullptr, 2, &SeenItem::author, "Doe, Jane"},
        {"people_in_every_form.xml", nullptr, 2, &SeenItem::authorEmail, "jane@example.com"},
        {"people_in_every_form.xml", nullptr, 3, &SeenItem::author, ""},
        {"people_in_every_form.xml", nullptr, 3, &SeenItem::authorEmail, "jane@example.com"},
        {"people_in_every_form.xml", nullptr, 4, &SeenItem::author, "Jane Doe"},
        {"people_in_every_form.xml", nullptr, 4, &SeenItem::authorEmail, "jane@example.com"},
        {"people_in_every_form.xml", nullptr, 5, &SeenItem::author, "Jane Doe"},
        {"people_in_every_form.xml", nullptr, 5, &SeenItem::authorEmail, ""},
        {"people_in_every_form.xml", nullptr, 6, &SeenItem::author, "Atom Author"},
        {"people_in_every_form.xml", nullptr, 6, &SeenItem::authorEmail, "atom@example.com"},
        {"people_in_every_form.xml", nullptr, 7, &SeenItem::author, "No Address"},
        {"people_in_every_form.xml", nullptr, 7, &SeenItem::authorEmail, ""},
        {"people_in_every_form.xml", nullptr, 8, &SeenItem::inReplyTo,
         "tag:people.example,2026:post-1"},
        {"people_in_every_form.xml", nullptr, 8, &SeenItem::authorEmail, "mail@example.com"},
        // An empty or blank text or title never shadows a fuller one, whichever comes first.
        {"empty_content_never_shadows_a_fuller_text.xml", nullptr, 0, &SeenItem::description,
         "<p>The show notes.</p>"},
        {"empty_content_never_shadows_a_fuller_text.xml", nullptr, 1, &SeenItem::description,
         "Notes of the second."},
        {"empty_content_never_shadows_a_fuller_text.xml", nullptr, 2, &SeenItem::description,
         "<p>The whole article.</p>"},
        {"empty_content_never_shadows_a_fuller_text.xml", nullptr, 3, &SeenItem::title,
         "A title of Dublin Core"},
        // An Atom id that is a web address is the entry's page when it names none.
        {"atom_id_that_is_an_address_is_the_link.xml", nullptr, 0, &SeenItem::link,
         "https://ids.example/posts/1"},
        {"atom_id_that_is_an_address_is_the_link.xml", nullptr, 1, &SeenItem::link, ""},
        {"atom_id_that_is_an_address_is_the_link.xml", nullptr, 2, &SeenItem::link,
         "https://ids.example/3.html"},
    };
    for (const auto& c : cases) {
        const std::vector<SeenItem> items = ParseItems(FeedFixture(c.fixture), c.documentUrl);
        ASSERT_LT(c.item, items.size()) << c.fixture;
        EXPECT_EQ(items[c.item].*c.field, c.expected) << c.fixture << " item " << c.item;
    }
}

// What a channel says of when to ask for it again: its ttl, its syndication period, the hours and
// days it skips (nonsense left out).
TEST(ParseFeedVocabularyTest, TheChannelsHintsOfWhenToAskAgainAreRead) {
    const std::string document = FeedFixture("publisher_hints_of_when_to_ask_again.xml");
    unsigned long failure = 0;
    XmlReader* reader = OpenXmlReader(&failure);
    ASSERT_NE(reader, nullptr) << failure;
    MemoryXmlSource source(document.data(), document.size());
    XmlError error;
    FeedHints hints;
    EXPECT_EQ(ReadFeedDocument(reader, &source, nullptr, nullptr, nullptr, &error, &hints),
              XmlOutcome::kWellFormed);
    CloseXmlReader(reader);
    EXPECT_EQ(hints.ttlMinutes, 90);
    EXPECT_EQ(hints.updatePeriodSeconds, 1800);
    EXPECT_EQ(hints.skipHours, (1ul << 0) | (1ul << 1));
    EXPECT_EQ(hints.skipDays, (1u << 0) | (1u << 6));
}

// JSON Feed 1.1 and 1.0 into the same record, each row one field of one item.
TEST(ParseFeedJsonTest, EveryFieldComesFromTheMemberThatOwnsIt) {
    using Field = std::string SeenItem::*;
    const char* const eleven = "json_feed_1_1_every_field.json";
    const char* const ten = "json_feed_1_0_author.json";
    const char* const base = "https://harbour.example/feed.json";
    const struct {
        const char* fixture;
        size_t item;
        Field field;
        const char* expected;
    } cases[] = {
        {eleven, 0, &SeenItem::guid, "https://harbour.example/1"},
        {eleven, 0, &SeenItem::link, "https://harbour.example/posts/1"},
        {eleven, 0, &SeenItem::title, "Ferry late"},
        {eleven, 0, &SeenItem::description, "<p>The <b>ferry</b> came late.</p>"},
        {eleven, 0, &SeenItem::thumbnail, "https://harbour.example/ferry.jpg"},
        {eleven, 0, &SeenItem::date, "2026-12-07T08:00:00+01:00"},
        {eleven, 0, &SeenItem::author, "Pier Master"},
        {eleven, 0, &SeenItem::channelTitle, "Harbour \xE2\x80\x94 JSON"},
        {eleven, 0, &SeenItem::imageUrl, "https://harbour.example/icon.png"},
        {eleven, 0, &SeenItem::baseUrl, base},
        // An id of a number is kept as written; without url, external_url is the link.
        {eleven, 1, &SeenItem::guid, "2"},
        {eleven, 1, &SeenItem::link, "https://elsewhere.example/tide"},
        {eleven, 1, &SeenItem::description, "Water over the quay &amp; the road &lt;closed&gt;."},
        {eleven, 1, &SeenItem::date, "2026-12-07T10:00:00Z"},
        {eleven, 1, &SeenItem::thumbnail, "https://harbour.example/tide.jpg"},
        {eleven, 1, &SeenItem::author, "The Harbour Desk"},
        // Blank and empty values name nothing.
        {eleven, 2, &SeenItem::description, ""},
        {eleven, 2, &SeenItem::link, ""},
        {ten, 0, &SeenItem::author, "Old Style"},
        {ten, 0, &SeenItem::description, "one"},
        // The feed's title after its items is too late for them; its author is not.
        {ten, 1, &SeenItem::channelTitle, ""},
        {ten, 1, &SeenItem::author, ""},
        {ten, 1, &SeenItem::description, "<p>two</p>"},
    };
    for (const auto& c : cases) {
        XmlOutcome outcome = XmlOutcome::kMalformed;
        const std::vector<SeenItem> items = ParseJsonItems(FeedFixture(c.fixture), base, &outcome);
        EXPECT_EQ(outcome, XmlOutcome::kWellFormed) << c.fixture;
        ASSERT_LT(c.item, items.size()) << c.fixture;
        EXPECT_EQ(items[c.item].*c.field, c.expected) << c.fixture << " item " << c.item;
    }
    const std::vector<SeenItem> items = ParseJsonItems(FeedFixture(eleven), base);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].enclosures,
              std::vector<std::string>{"https://harbour.example/episodes/1.mp3|audio/mpeg|"
                                       "25478123|3723"});
}

// A document cut in the middle keeps the items before the cut and says it is malformed; one that
// is no JSON Feed at all delivers nothing.
TEST(ParseFeedJsonTest, AMalformedDocumentKeepsTheItemsBeforeTheFault) {
    const std::string whole = FeedFixture("json_feed_1_1_every_field.json");
    const std::string cut = whole.substr(0, whole.find("\"id\": \"3\""));
    XmlOutcome outcome = XmlOutcome::kWellFormed;
    const std::vector<SeenItem> items = ParseJsonItems(cut, nullptr, &outcome);
    EXPECT_EQ(outcome, XmlOutcome::kMalformed);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].guid, "2");
    const struct {
        const char* document;
        XmlOutcome outcome;
    } cases[] = {
        {"[1, 2, 3]", XmlOutcome::kWellFormed},
        {"{\"items\": 7}", XmlOutcome::kWellFormed},
        {"{\"items\": [[[[{\"title\": \"deep\"}]]]]}", XmlOutcome::kWellFormed},
        {"{\"items\": [{\"title\": \"x\"", XmlOutcome::kMalformed},
        {"", XmlOutcome::kMalformed},
    };
    for (const auto& c : cases) {
        XmlOutcome read = XmlOutcome::kSourceFailed;
        EXPECT_TRUE(ParseJsonItems(c.document, nullptr, &read).empty()) << c.document;
        EXPECT_EQ(read, c.outcome) << c.document;
    }
}

// What a body holds, by its first characters and its Content-Type.
TEST(ParseFeedDiscoveryTest, TheKindOfADocumentIsToldByItsStartAndItsType) {
    const struct {
        const char* start;
        const char* type;
        DocumentKind kind;
    } cases[] = {
        {"<?xml version=\"1.0\"?><rss/>", "", DocumentKind::kXml},
        {"<rss version=\"2.0\"/>", "text/html", DocumentKind::kXml},
        {"\xEF\xBB\xBF  {\"version\": \"x\"}", "", DocumentKind::kJson},
        {"[]", "application/feed+json", DocumentKind::kJson},
        {"<!DOCTYPE html><html><head>", "", DocumentKind::kPage},
        {"<!-- hi --><HTML lang=en>", "", DocumentKind::kPage},
        {"<?xml version=\"1.0\"?><!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0//EN\"><html>", "",
         DocumentKind::kPage},
        {"<html><body>see <rss> here</body></html>", "", DocumentKind::kPage},
        {"<p>hello", "text/html; charset=utf-8", DocumentKind::kPage},
        {"hello", "text/plain", DocumentKind::kNone},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KindOfDocument(c.start, strlen(c.start), c.type), c.kind) << c.start;
    }
}

// A page names its feeds in its head, in its order, relative ones resolved against its address or
// its <base>; the answer's Link header may name them too.
TEST(ParseFeedDiscoveryTest, APageNamesItsFeedsInItsHeadAndItsHeader) {
    const char* const page = "https://blog.example/news/index.html";
    const struct {
        const char* name;
        std::string head;
        const char* links;
        std::vector<std::string> feeds;  // "url|type|title"
    } cases[] = {
        {"one feed",
         "<!DOCTYPE html><html><head><title>Blog</title><link rel=\"alternate\" "
         "type=\"application/rss+xml\" title=\"Posts\" href=\"/feed.xml\"></head><body>",
         "",
         {"https://blog.example/feed.xml|application/rss+xml|Posts"}},
        {"several, in the page's order",
         "<html><head><link rel=alternate type=application/atom+xml href=atom.xml>"
         "<link rel=\"stylesheet\" href=\"s.css\"><link type=\"application/feed+json\" "
         "rel=\"Alternate home\" href=\"https://blog.example/feed.json\" title=\"JSON &amp; "
         "more\"><link rel=\"alternate\" type=\"application/rss+xml\" href=\"rss?x=1&amp;y=2\">"
         "</head>",
         "",
         {"https://blog.example/news/atom.xml|application/atom+xml|",
          "https://blog.example/feed.json|application/feed+json|JSON & more",
          "https://blog.example/news/rss?x=1&y=2|application/rss+xml|"}},
        {"a <base> of its own",
         "<html><head><base href=\"https://cdn.example/b/\"><link rel=alternate "
         "type=application/rss+xml href=f.rss></head>",
         "",
         {"https://cdn.example/b/f.rss|application/rss+xml|"}},
        {"only the header names it",
         "<html><head><title>x</title></head>",
         "<https://blog.example/comments.xml>; rel=\"alternate\"; type=\"application/rss+xml\"; "
         "title=\"Comments\", </style.css>; rel=stylesheet",
         {"https://blog.example/comments.xml|application/rss+xml|Comments"}},
        {"JSON that is no feed, and links that are no alternates",
         "<html><head><link rel=\"alternate\" type=\"application/json\" "
         "href=\"/wp-json/wp/v2/pages/4\"><link rel=\"canonical\" "
         "type=\"application/rss+xml\" href=\"/c.xml\"><link rel=\"alternate\" "
         "type=\"application/json\" href=\"/feed.json\"></head>",
         "",
         {"https://blog.example/feed.json|application/json|"}},
        {"links after the head's end are the body's",
         "<html><head><title>t</title></head><body><link rel=alternate "
         "type=application/rss+xml href=late.xml>",
         "",
         {}},
        {"text ends the head",
         "<html>Hello <link rel=alternate type=application/rss+xml href=x>",
         "",
         {}},
        {"a script in the head that mentions a link",
         "<html><head><script>var s = '<link rel=alternate type=application/rss+xml "
         "href=no.xml>';</script><link rel=alternate type=application/rss+xml href=yes.xml>",
         "",
         {"https://blog.example/news/yes.xml|application/rss+xml|"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        size_t end = 0;
        const bool ended = FindPageHeadEnd(c.head.data(), c.head.size(), &end);
        FoundFeeds found;
        FindHeadFeeds(c.head.data(), ended ? end : c.head.size(), page, &found);
        FindLinkHeaderFeeds(c.links, page, &found);
        std::vector<std::string> feeds;
        for (size_t i = 0; i < found.count; ++i) {
            feeds.push_back(std::string(found.feeds[i].url) + "|" + found.feeds[i].type + "|" +
                            found.feeds[i].title);
        }
        EXPECT_EQ(feeds, c.feeds);
    }
    // A head that may still run on says so, and one cut inside a tag too.
    size_t end = 0;
    EXPECT_FALSE(FindPageHeadEnd("<html><head><title>x</title>", 28, &end));
    EXPECT_FALSE(FindPageHeadEnd("<html><head><link rel=", 22, &end));
    EXPECT_TRUE(FindPageHeadEnd("<html><head></head>", 19, &end));
    EXPECT_EQ(end, 12u);
}

TEST(ParseFeedVocabularyTest, EnclosuresAndTitleKindsReachTheRecord) {
    const std::vector<SeenItem> podcast =
        ParseItems(FeedFixture("media_and_itunes_names_do_not_replace_core_fields.xml"));
    ASSERT_EQ(podcast.size(), 1u);
    // The episode once, though named by the enclosure and by media RSS; the photo is no file.
    EXPECT_EQ(podcast[0].enclosures,
              std::vector<std::string>{"https://cdn.example/ep12.mp3|audio/mpeg|25478123|"});
    EXPECT_TRUE(podcast[0].titleIsHtml);  // an RSS title

    const std::vector<SeenItem> based =
        ParseItems(FeedFixture("relative_links_resolve_against_xml_base.xml"));
    ASSERT_EQ(based.size(), 2u);
    EXPECT_EQ(based[0].enclosures,
              std::vector<std::string>{"https://cdn.example/talk.mp4|video/mp4|0|"});

    const std::vector<SeenItem> kinds =
        ParseItems(FeedFixture("atom_text_html_xhtml_and_base64_content.xml"));
    ASSERT_EQ(kinds.size(), 3u);
    EXPECT_TRUE(kinds[0].titleIsHtml);
    EXPECT_FALSE(kinds[1].titleIsHtml);
    EXPECT_FALSE(kinds[2].titleIsHtml);

    // A YouTube entry's player is no file to download.
    const std::vector<SeenItem> video = ParseItems(FeedFixture("youtube_media_group.xml"));
    ASSERT_EQ(video.size(), 5u);
    for (const SeenItem& entry : video) {
        EXPECT_TRUE(entry.enclosures.empty()) << entry.guid;
    }
}

TEST(ParseFeedQuirkTest, AuthorIsItsNameOrItsTextEntryByEntry) {
    std::vector<SeenItem> items = ParseItems(FeedFixture("author_text_or_name_entry_by_entry.xml"));
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].author, "Plain Text Author");
    EXPECT_EQ(items[1].author, "Named");
    EXPECT_EQ(items[2].author, "Plain Again");
    EXPECT_EQ(items[3].author, "Second Name");
}

TEST(ParseFeedQuirkTest, ItemPrefixedChildrenAreNoItems) {
    std::vector<SeenItem> items =
        ParseItems(FeedFixture("item_prefixed_children_are_no_items.xml"));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].title, "Once");
}

TEST(ParseFeedQuirkTest, ChannelFieldsAfterItemsAreTheChannelsWhateverItsItemsList) {
    const char* format =
        "<rss><channel><%s/><item><title>1</title></item><title>Late</title>"
        "<item><title>2</title></item></channel></rss>";
    for (const char* listName : {"items", "itemsMore"}) {
        char document[256];
        snprintf(document, sizeof document, format, listName);
        std::vector<SeenItem> items = ParseItems(document);
        ASSERT_EQ(items.size(), 2u) << listName;
        EXPECT_EQ(items[1].title, "2");
        EXPECT_EQ(items[1].channelTitle, "Late") << listName;
    }
}

// Of the elements that fill one field, the best fills it and the first of equals stays: other
// namespaces never replace the core ones.
TEST(ParseFeedQuirkTest, TheFirstOfTheBestElementsFillsEachField) {
    std::vector<SeenItem> items = ParseItems(
        "<rss xmlns:dc='http://purl.org/dc/elements/1.1/' xmlns:a='http://www.w3.org/2005/Atom'>"
        "<channel><item><link>http://old</link><description>one</description>"
        "<content>two</content><dc:date>d2</dc:date><pubDate>d1</pubDate>"
        "<a:link href='http://atom'/><link>http://later</link><dc:title>dc</dc:title>"
        "<title>core</title><title>second</title></item></channel></rss>");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].description, "two");
    EXPECT_EQ(items[0].date, "d1");
    EXPECT_EQ(items[0].link, "http://old");
    EXPECT_EQ(items[0].title, "core");
    // An empty link element names nothing and takes nothing away.
    items = ParseItems(
        "<rss xmlns:a='http://www.w3.org/2005/Atom'><channel><item><title>t</title>"
        "<a:link rel='self' href='http://self'/><link> </link></item></channel></rss>");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].link, "http://self");
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
    EXPECT_EQ(items[0].author, "Spaced");
}

TEST(ParseFeedTextTest, NonAsciiTextArrivesAsUtf8) {
    std::vector<SeenItem> items = ParseItems(FeedFixture("non_ascii_utf8_text.xml"));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].channelTitle, "Caf\xC3\xA9 \xE2\x80\x93 \xE2\x80\x9Cquoted\xE2\x80\x9D");
    // Every character, references and characters beyond the basic plane included.
    EXPECT_EQ(items[0].title,
              "\xE2\x82\xAC 5, \xE4\xB8\xAD\xE6\x96\x87, \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
}

// Titles in many scripts and in the encodings feeds declare: the reader decodes what the XML
// declares and every character reaches the record as UTF-8.
TEST(ParseFeedTextTest, DeclaredEncodingDecidesTheDecodingAndTextIsUtf8) {
    const struct {
        const char* encoding;
        const char* bytes;     // the title as the document holds it
        const char* expected;  // its UTF-8
    } cases[] = {
        {"UTF-8", "\xD0\x98\xD1\x82\xD0\xBE\xD0\xB3\xD0\xB8\x20\xD0\xB4\xD0\xBD\xD1\x8F",
         "\xD0\x98\xD1\x82\xD0\xBE\xD0\xB3\xD0\xB8\x20\xD0\xB4\xD0\xBD\xD1\x8F"},
        {"UTF-8", "\xCE\x9D\xCE\xAD\xCE\xB1\x20\xCE\xB5\xCF\x80\xCE\xBF\xCF\x87\xCE\xAE",
         "\xCE\x9D\xCE\xAD\xCE\xB1\x20\xCE\xB5\xCF\x80\xCE\xBF\xCF\x87\xCE\xAE"},
        {"UTF-8", "\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF\xE6\x99\xB4\xE3\x82\x8C\xE3\x80\x82",
         "\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF\xE6\x99\xB4\xE3\x82\x8C\xE3\x80\x82"},
        {"UTF-8",
         "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7\x20\xD8\xA8\xD8\xA7\xD9\x84\xD8\xB9\xD8\xA7\xD9"
         "\x84\xD9\x85",
         "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7\x20\xD8\xA8\xD8\xA7\xD9\x84\xD8\xB9\xD8\xA7\xD9"
         "\x84\xD9\x85"},
        {"UTF-8",
         "\x4C\x61\x75\x6E\x63\x68\x20\xF0\x9F\x9A\x80\x20\x64\x61\x79\x20\xF0\x9F\x8E\x89",
         "\x4C\x61\x75\x6E\x63\x68\x20\xF0\x9F\x9A\x80\x20\x64\x61\x79\x20\xF0\x9F\x8E\x89"},
        {"UTF-8", "\x43\x61\x66\x65\xCC\x81\x20\x6E\x61\xCC\x88\x69\x76\x65",
         "\x43\x61\x66\x65\xCC\x81\x20\x6E\x61\xCC\x88\x69\x76\x65"},
        {"UTF-8", "\x50\x6C\x61\x69\x6E\x20\x41\x53\x43\x49\x49\x20\x74\x69\x74\x6C\x65",
         "\x50\x6C\x61\x69\x6E\x20\x41\x53\x43\x49\x49\x20\x74\x69\x74\x6C\x65"},
        {"windows-1251", "\xC8\xF2\xEE\xE3\xE8\x20\xE4\xED\xFF",
         "\xD0\x98\xD1\x82\xD0\xBE\xD0\xB3\xD0\xB8\x20\xD0\xB4\xD0\xBD\xD1\x8F"},
        {"windows-1252",
         "\x50\x72\x69\x63\x65\x20\x80\x20\x35\x20\x96\x20\x93\x71\x75\x6F\x74\x65\x64\x94",
         "\x50\x72\x69\x63\x65\x20\xE2\x82\xAC\x20\x35\x20\xE2\x80\x93\x20\xE2\x80\x9C\x71\x75\x6F"
         "\x74\x65\x64\xE2\x80\x9D"},
        {"ISO-8859-1", "\xE9\xFF", "\xC3\xA9\xC3\xBF"},
    };
    for (const auto& one : cases) {
        std::vector<SeenItem> items = ParseItems(std::string("<?xml version=\"1.0\" encoding=\"") +
                                                 one.encoding + "\"?><rss><channel><item><title>" +
                                                 one.bytes + "</title></item></channel></rss>");
        ASSERT_EQ(items.size(), 1u) << one.encoding << " " << one.expected;
        EXPECT_EQ(items[0].title, one.expected) << one.encoding;
    }
    // Text in a one-byte code page that runs past one of the reader's reads arrives whole: the
    // reader under Wine cut such a description at 3,000 characters, and read past its own data.
    for (size_t count : {1500u, 3000u, 6000u}) {
        std::vector<SeenItem> items = ParseItems(
            "<?xml version=\"1.0\" encoding=\"windows-1251\"?><rss><channel><item>"
            "<description>" +
            std::string(count, '\xC8') + "</description></item></channel></rss>");
        std::string expected;
        for (size_t i = 0; i < count; ++i) {
            expected += "\xD0\x98";
        }
        ASSERT_EQ(items.size(), 1u) << count;
        EXPECT_EQ(items[0].description, expected) << count;
    }
}

TEST(ParseFeedTextTest, DoubleByteEncodingsAreDecodedWholeOrRefused) {
    // Characters of a double-byte encoding, then ASCII. A reader that knows the encoding (MSXML on
    // Windows, expat with iconv here) reads them as characters and the ASCII after them as ASCII;
    // one that does not (the reader under Wine, for these two) refuses the document. Neither reads
    // it byte by byte.
    const struct {
        const char* encoding;
        const char* bytes;
        const char* expected;
    } cases[] = {
        {"gb2312", "\xD6\xD0\xCE\xC4 ok", "\xE4\xB8\xAD\xE6\x96\x87 ok"},
        {"Shift_JIS", "\x8D\xA1\x93\xFA\x82\xCD\x90\xB0\x82\xEA ok",
         "\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF\xE6\x99\xB4\xE3\x82\x8C ok"},
    };
    for (const auto& one : cases) {
        std::vector<SeenItem> items = ParseItems(std::string("<?xml version=\"1.0\" encoding=\"") +
                                                 one.encoding + "\"?><rss><channel><item><title>" +
                                                 one.bytes + "</title></item></channel></rss>");
        ASSERT_LE(items.size(), 1u);
        if (!items.empty()) {
            EXPECT_EQ(items[0].title, one.expected) << one.encoding;
        }
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

// Markup kept in a description fills it like text does, except that an entity or a tag goes in
// whole or not at all, and the record says the text was cut.
TEST(ParseFeedLimitTest, KeptMarkupIsCutWithoutHalfAnEntity) {
    const size_t room = kItemDescriptionCapacity - 1;
    const struct {
        size_t text;  // the x's before the ampersand
        std::string expected;
    } cases[] = {
        {room - 10, "<div>" + std::string(room - 10, 'x') + "&amp;"},
        {room - 9, "<div>" + std::string(room - 9, 'x')},  // four bytes left: no entity, no end tag
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
        EXPECT_TRUE(items[0].description == c.expected) << c.text;
        EXPECT_TRUE(items[0].descriptionCut) << c.text;
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
            EXPECT_LT(item.description.size(), kItemDescriptionCapacity);
            EXPECT_LT(item.channelDate.size(), 256u);
        }
        ++documents;
    }
    EXPECT_GT(documents, 100u);
}

}  // namespace
