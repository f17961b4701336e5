// Every capacity of the system, named once. A capacity is in bytes and counts the terminator;
// every buffer of the system is declared and checked by one of these names.
#pragma once

#include <cstddef>

// A folder id as the host names it.
constexpr size_t kFolderIdCapacity = 1024;
// A feed's address, and the host name and path taken from one.
constexpr size_t kUrlCapacity = 1024;
// A style's file name in the style directory.
constexpr size_t kStyleNameCapacity = 1024;
// A file path the system builds (the module's own, its directory, a folder's index and record of
// seen items, a stylesheet).
constexpr size_t kPathCapacity = 1024;
// A name shown in a message: a folder's display name, the sender, the author.
constexpr size_t kDisplayNameCapacity = 1024;
// The settings file's path, as the module entry computes it.
constexpr size_t kSettingsPathCapacity = 260;
// The key list of a settings section: the room it is first read into, and the most it grows to
// (100,000 folders of ids of 300 characters).
constexpr size_t kKeyListCapacity = 40960;
constexpr size_t kKeyListLimit = 32 * 1024 * 1024;
// The text of an interval field of the set-up dialog: at most 19 characters are read.
constexpr size_t kIntervalTextCapacity = 20;
// A decimal number as text: a "LastUpdateTime" (ten digits at most), the port of an address.
constexpr size_t kNumberTextCapacity = 16;

// What ShowStatus and Trace format into before they look at the length.
constexpr size_t kFormatCapacity = 4096;
// The longest text the host's status line is given (characters, without the terminator).
constexpr size_t kStatusTextMax = 100;
// The About box's text.
constexpr size_t kAboutTextCapacity = 200;
// Each of the four texts of the plug-in information record.
constexpr size_t kPlugInInfoFieldCapacity = 80;

// The fields of a feed item record.
constexpr size_t kItemTitleCapacity = 1024;
// A whole long article: blog posts of 100 KB and more are common in full-content feeds.
constexpr size_t kItemDescriptionCapacity = 256 * 1024;
constexpr size_t kItemLinkCapacity = 1024;
constexpr size_t kItemDateCapacity = 256;
constexpr size_t kItemAuthorCapacity = 256;
constexpr size_t kChannelTitleCapacity = 1024;
constexpr size_t kImageUrlCapacity = 1024;
constexpr size_t kChannelDateCapacity = 256;
// An item's own identity: its RSS guid, Atom id or RSS 1.0 rdf:about.
constexpr size_t kItemGuidCapacity = 1024;
// The most identities a folder's record of seen items keeps: ten times a feed of 2,000 items.
constexpr size_t kSeenIdentityCap = 20000;
// The files an item links to (podcast episodes, videos): how many are kept, and their type, size
// and duration texts.
constexpr size_t kEnclosureCount = 8;
constexpr size_t kEnclosureTypeCapacity = 128;
constexpr size_t kEnclosureNumberCapacity = 32;
// The nested xml:base attributes a feed reader follows; deeper ones resolve against the last.
constexpr size_t kXmlBaseDepth = 8;
// The namespace of a feed's root element, kept when no known namespace names it.
constexpr size_t kNamespaceUriCapacity = kUrlCapacity;

// The most a download reads of one answer: the feeds of podcasts and full-content blogs run
// to several megabytes, and a larger answer is a runaway one. Its body, decoded when it came
// compressed, has the same ceiling. The answer streams through the worker, so this bounds time
// and traffic, not memory.
constexpr size_t kAnswerLimit = 32 * 1024 * 1024;
// How much room a receive is given at a time, and the most of an answer a worker holds at once:
// the body goes to the reader as it arrives.
constexpr size_t kReceivePiece = 64 * 1024;
// The status line and header fields of an answer, with the empty line that ends them; a longer
// header part is refused. Servers keep theirs to a few kilobytes.
constexpr size_t kAnswerHeaderCapacity = 32 * 1024;
// The first bytes of a body, decoded, where the start of the document is looked for: room for
// whatever a server puts before it (a byte order mark, blank lines, a stray warning).
constexpr size_t kDocumentSearchCapacity = 64 * 1024;
// An entity tag or a Last-Modified date kept from a folder's last whole answer.
constexpr size_t kValidatorCapacity = 256;
// What a page's discovery reads of it: its head, up to this much of the page; and what it keeps of
// the feeds the page names (at most this many, each with its type and title) and of the answer's
// Link header fields, joined.
constexpr size_t kPageHeadCapacity = 1024 * 1024;
constexpr size_t kMostFoundFeeds = 16;
constexpr size_t kFoundTypeCapacity = 64;
constexpr size_t kFoundTitleCapacity = 256;
constexpr size_t kLinkFieldCapacity = 4096;
// The User-Agent a folder may name for a site that refuses the plug-in's own.
constexpr size_t kUserAgentCapacity = 256;
// A login's user name and password (UTF-8), as typed in a folder's address or a proxy's.
constexpr size_t kLoginNameCapacity = 256;
constexpr size_t kLoginPasswordCapacity = 256;
// A login as the login file keeps it, protected: Windows' protection adds a few hundred bytes.
constexpr size_t kProtectedLoginCapacity = 2048;
// The most of the login file that is read: a line of a few kilobytes per login.
constexpr size_t kLoginFileLimit = 1024 * 1024;
// A token of a login that Windows answers (Negotiate, NTLM), either way: Kerberos tickets run to
// several kilobytes.
constexpr size_t kLoginTokenCapacity = 12 * 1024;
// One header field of an answer to a login challenge (Authorization, Proxy-Authorization): a
// token in base64, or a Digest answer with the longest path, user name and server values; and
// the challenges an answer's WWW-Authenticate or Proxy-Authenticate fields hold, joined.
constexpr size_t kAuthorizationCapacity =
    (kLoginTokenCapacity + 2) / 3 * 4 + 3 * kUrlCapacity + 2048;
constexpr size_t kChallengeCapacity = kAuthorizationCapacity;
// The request a download sends: the fixed lines (about 400 bytes) around the longest path, its
// blanks written as three characters each (an absolute one, through a proxy), the longest host
// name with its port, the two conditional lines and the two answers to login challenges, so that
// it is always built whole.
constexpr size_t kRequestCapacity = 3 * kUrlCapacity + kUrlCapacity + 2 * kValidatorCapacity +
                                    kUserAgentCapacity + 2 * kAuthorizationCapacity + 640;

// A composed item message, header and body: room for the whole article, sanitized.
constexpr size_t kMessageCapacity = 0x100000;
// The sanitized description inside it; a longer one is cut between elements.
constexpr size_t kDescriptionHtmlCapacity = 2 * kItemDescriptionCapacity;
// A feed date in mail form, and the smallest output NormalizeFeedDate accepts.
constexpr size_t kFeedDateCapacity = 256;
// A date as a feed or a server writes it, as the date reader reads it: the date fields of a
// feed item hold 255 characters.
constexpr size_t kDateTextCapacity = 256;
// A moment as a mail date ("Mon, 07 Dec 2026 21:15:23 +0800", 31 characters for any year the
// runtime gives), with room to spare.
constexpr size_t kTimeTextCapacity = 100 + 8;
// How much of a file is read at once: of a folder's index by a single look-up, and of its record
// of seen items; and by a refresh that follows the index from item to item (into a buffer of its
// own, off the worker's stack).
constexpr size_t kIndexReadCapacity = 4096;
constexpr size_t kIndexFollowCapacity = 65536;
// The longest URL of a feed's markup whose scheme the sanitizer looks at.
constexpr size_t kUrlCheckCapacity = 4096;

// The most a text grows when it is escaped or sanitized for HTML: the result for an input of n
// bytes fits in kHtmlGrowth * n + kHtmlSlack bytes, terminator included.
constexpr size_t kHtmlGrowth = 6;
constexpr size_t kHtmlSlack = 1024;
// The message that lists the feeds a page named: each one's address (twice), title and type,
// escaped, and the words around them.
constexpr size_t kFoundListCapacity =
    kMostFoundFeeds * kHtmlGrowth * (2 * kUrlCapacity + kFoundTitleCapacity + kFoundTypeCapacity) +
    2 * kHtmlGrowth * kUrlCapacity + 1024;
// The message's list of an item's files: each link with its text, type, size and duration, and
// the image that stands for the item.
constexpr size_t kEnclosureHtmlCapacity =
    kEnclosureCount *
        (2 * kHtmlGrowth * kItemLinkCapacity +
         kHtmlGrowth * (kEnclosureTypeCapacity + 2 * kEnclosureNumberCapacity) + 256) +
    kHtmlGrowth * kImageUrlCapacity + 256;
// What a message whose text was cut says after it: the words and the item's link twice, escaped.
constexpr size_t kCutNoteCapacity = 2 * kHtmlGrowth * kItemLinkCapacity + 256;
// A path escaped for HTML (the stylesheet link a shown message gets).
constexpr size_t kEscapedPathCapacity = kHtmlGrowth * kPathCapacity;
// The room a rebuilt message source has beyond the source's own length when it is shown.
constexpr size_t kStyleBlockExtra = 1024;

// A menu item's label as the stand-in host reads it back.
constexpr size_t kMenuLabelCapacity = 256;
