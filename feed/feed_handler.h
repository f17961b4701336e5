// The feed reader's content handler: reads RSS 0.9x/2.0, RSS 1.0 and Atom 0.3/1.0 elements by
// namespace and local name from one table (the namespace exactly, the name's ASCII letters without
// regard to case), fills one item record and hands each finished item on.
#pragma once

#include <cstdint>
#include <memory>

#include "feed/feed_item.h"
#include "platform/xml_reader.h"

// What an element fills, by the table of feed elements. Elements the table does not list where
// they stand are skipped with everything inside them.
enum class FeedRole : uint8_t {
    kSkipped,
    kDocument,  // rss, rdf:RDF: the document level goes on inside it
    kChannel,   // an RSS channel or an Atom feed
    kItem,      // an RSS item or an Atom entry
    kImage,     // the channel's image, whose url follows
    kImageUrl,  // the image's url, or an Atom feed's logo or icon
    kChannelTitle,
    kChannelDate,
    kTitle,
    kText,    // the item's text: its content, description or summary, by rank
    kLink,    // RSS link text, or an Atom link by its rel
    kGuid,    // RSS guid, Atom id
    kDate,    // published, updated and their kin, by rank
    kAuthor,  // RSS author text, or an Atom person whose name and email follow
    kAuthorName,
    kAuthorEmail,
    kInReplyTo,   // thr:in-reply-to: the item this one answers
    kPlayer,      // media:player: the page or player of the item's video
    kEnclosure,   // RSS enclosure or media RSS content
    kMediaGroup,  // media RSS group: its content, thumbnail and description count as the item's
    kThumbnail,
    kDuration,         // iTunes duration of the item's episode
    kTtl,              // RSS ttl: minutes the channel may be kept before it is asked for again
    kUpdatePeriod,     // sy:updatePeriod: hourly, daily, weekly, monthly or yearly
    kUpdateFrequency,  // sy:updateFrequency: how many times in that period
    kSkipHours,        // RSS skipHours, whose hours follow
    kSkipHour,
    kSkipDays,  // RSS skipDays, whose days follow
    kSkipDay,
};

// Where an element stands, which decides what its name means.
enum class FeedPlace : uint8_t {
    kDocument,
    kChannel,
    kImage,
    kItem,
    kAuthor,
    kMediaGroup,
    kSkipHours,
    kSkipDays,
    kNone
};

// The namespaces the table names. kCore is RSS (no namespace, or RSS 0.90, 1.0 or 2.0's) and
// Atom (0.3 and 1.0): their element names never clash where they stand.
enum class FeedNamespace : uint8_t {
    kCore,
    kRdf,
    kContent,
    kDublinCore,
    kDcTerms,
    kMedia,
    kItunes,
    kXhtml,
    kSyndication,
    kThread,
    kOther,
};

// The namespace a URI names; a document whose root is in an unknown namespace has its core
// elements there (see FeedContentHandler::StartElement).
FeedNamespace FeedNamespaceOf(const char* uri, size_t length);

// True when an Atom link's rel names the entry's own page: "alternate", written plain or as the
// IANA relation URI, ASCII letters without regard to case.
bool IsAlternateRel(const char* rel, size_t length);

// A person written in one text, as RSS and Dublin Core write them ("jane@example.com (Jane
// Doe)", "Jane Doe <jane@example.com>", an address alone, a name alone): its name and its
// address, each "" when the text gives none.
void SplitPerson(const char* text, char* name, size_t nameCapacity, char* email,
                 size_t emailCapacity);

class FeedContentHandler final : public XmlHandler {
public:
    // A handler with an empty record. A null `itemCallback` reads items without handing them on;
    // `context` goes to it with every item; `documentUrl` (the address the document came from,
    // against which its relative links resolve; null or empty for none) is kept, not copied.
    FeedContentHandler(FeedItemCallback itemCallback, void* context, const char* documentUrl);

    void StartElement(const XmlName& name, const XmlAttribute* attributes, size_t count) override;
    void EndElement(const XmlName& name) override;
    void Text(const char* text, size_t length) override;

    FeedItem record;
    // What the channel says of when to ask for it again, as read so far.
    FeedHints hints;

private:
    // How the text of the element being read is written.
    enum class TextKind : uint8_t { kHtml, kPlain, kXhtml };

    // One open element the table knows.
    struct Frame {
        FeedRole role;
        FeedPlace children;  // where the element's children stand
        bool collecting;     // its text goes to the record
        size_t outerBase;    // how many xml:base values were in scope before the element
    };

    // Empties the item fields and forgets what the item's elements were.
    void EmptyItemFields();
    // The address relative references in the current element resolve against.
    const char* CurrentBase() const;
    // Takes an element's xml:base into scope; returns the base level for its frame.
    size_t EnterBase(const XmlAttribute* attributes, size_t count);
    // What a known element does as it starts; returns whether its text is collected.
    bool StartRole(FeedRole role, int rank, FeedNamespace space, const XmlAttribute* attributes,
                   size_t count);
    void StartText(FeedNamespace space, const XmlAttribute* attributes, size_t count);
    // Keeps the text and title read so far while one that outranks them is read, and puts them
    // back when that one ends blank: an empty or blank text never shadows a fuller one.
    void HoldText(int rank);
    void HoldTitle(int rank);
    void EndTitle();
    bool StartLink(const XmlAttribute* attributes, size_t count);
    void AddEnclosure(const XmlAttribute* attributes, size_t count, bool fromMedia);
    // What a known element does as it ends.
    void EndRole(FeedRole role);
    void FinishText();
    void TakeHint(FeedRole role);
    void DecodeText();
    void DeliverItem();
    void EndPerson();
    void ParagraphsOfPlainText();
    // Appends to the item's text, plain (as much as fits, cut back to the last whole element)
    // or escaped (each entity whole or not at all).
    void AppendToText(const char* text, size_t length);
    void AppendEscapedToText(const char* text, size_t length);
    // Marks the text cut, taking back any tag or reference the cut fell into.
    void MarkTextCut();
    void AppendStartTag(const XmlName& name, const XmlAttribute* attributes, size_t count);
    void AppendEndTag(const XmlName& name);
    // Resolves `reference` against the current base into `field`; an unresolvable one is kept
    // as written, cut.
    void ResolveInto(const char* reference, size_t length, char* field, size_t capacity);

    FeedItemCallback itemCallback_;
    void* context_;
    const char* documentUrl_;
    // The namespace of a root element no known namespace names: its core elements are there.
    char rootUri_[kNamespaceUriCapacity];
    bool rootSeen_ = false;
    // The document is Atom (its root is an Atom feed or entry): its core elements in no namespace
    // are Atom's too. The element being started is Atom's.
    bool atomDocument_ = false;
    bool atomElement_ = false;

    // The open elements the table knows, and how many unknown or too deep ones are open inside
    // the last of them.
    static constexpr size_t kFrameCapacity = 32;
    Frame frames_[kFrameCapacity];
    size_t frameCount_ = 0;
    size_t skippedDepth_ = 0;
    // Elements nested in the text being collected (XHTML content, markup in a title).
    size_t nestedDepth_ = 0;

    // The xml:base values in scope, each resolved against the one before.
    char bases_[kXmlBaseDepth][kItemLinkCapacity];
    size_t baseCount_ = 0;

    // Per item: how well the fields read so far fill their place (a higher rank replaces a lower
    // one; of equal ranks the first stays), and how the text being read is written.
    int titleRank_ = 0;
    int textRank_ = 0;
    int dateRank_ = 0;
    int linkRank_ = 0;
    // The person being read (its rank, its text, an Atom person's name and email), and the ranks
    // of the name and the address the item has so far: a name and an address may come from two
    // elements (a dc:creator and an RSS author that holds only the address).
    int personRank_ = 0;
    char personText_[kItemAuthorCapacity];
    size_t personTextLength_ = 0;
    char personName_[kItemAuthorCapacity];
    size_t personNameLength_ = 0;
    char personEmail_[kItemAuthorCapacity];
    size_t personEmailLength_ = 0;
    bool personNameRead_ = false;
    int nameRank_ = 0;
    int emailRank_ = 0;
    // A video player the item names (media:player, a media RSS Flash player): its page is the
    // item's link when it names none.
    char playerUrl_[kItemLinkCapacity];
    // The text being read is media RSS's plain text, whose line breaks part paragraphs.
    bool textParagraphs_ = false;
    // The guid so far is the item's rdf:about, which a guid element replaces; whether it is the
    // item's page, and whether the feed said so.
    bool guidFromAbout_ = false;
    bool guidIsPermaLink_ = false;
    bool guidPermaLinkSaid_ = false;
    TextKind textKind_ = TextKind::kHtml;
    bool textBase64_ = false;
    // Per channel: the same for its fields.
    int channelTitleRank_ = 0;
    int channelDateRank_ = 0;
    int imageRank_ = 0;
    // The rank of the element being read, for the fields above.
    int pendingRank_ = 0;
    // The length of the text, kept because a long one arrives in hundreds of pieces.
    size_t textLength_ = 0;
    // A number or word read so far for the hints, taken at its element's end.
    char hintText_[32];
    size_t hintTextLength_ = 0;
    // sy:updatePeriod in seconds and sy:updateFrequency, combined into the hints as both arrive.
    long long updatePeriod_ = 0;
    long long updateFrequency_ = 1;
    // A text link read so far, resolved at its end.
    char linkText_[kItemLinkCapacity];
    size_t linkTextLength_ = 0;
    // The guid is an Atom id, which names the entry's page when it is an address.
    bool guidFromAtom_ = false;

    // What an outranking text or title replaces until it shows it is not blank (HoldText): the
    // text (made at the first need), its length, cut, base and rank; the title likewise.
    std::unique_ptr<char[]> heldText_;
    size_t heldTextLength_ = 0;
    bool heldTextCut_ = false;
    bool holdingText_ = false;
    int heldTextRank_ = 0;
    char heldBase_[kItemLinkCapacity];
    char heldTitle_[kItemTitleCapacity];
    bool heldTitleIsHtml_ = false;
    int heldTitleRank_ = 0;
};
