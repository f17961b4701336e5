// One refresh of one feed folder, in one record passed from step to step. RunRefresh is the
// whole road: download the feed (fetch/), read its items (feed/), tell each by its identity, build
// the message of each new one (compose/), append it through the host, record what was seen, keep
// what the server said for the next refresh, and say on the status line how it went. Nothing of
// a refresh is kept anywhere but in its record.
#pragma once

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/capacities.h"
#include "compose/article.h"
#include "compose/compose.h"
#include "compose/folder_index.h"
#include "compose/seen_record.h"
#include "base/login_file.h"
#include "feed/discovery.h"
#include "feed/feed_item.h"
#include "fetch/answer_header.h"
#include "fetch/fetch.h"
#include "refresh/full_text.h"

class AnswerStream;
struct Refresh;
struct XmlReader;

// What a worker keeps for all the refreshes it runs: the platform's XML reader (on Windows COM
// and the SAX reader, hundreds of milliseconds to set up cold), opened at its first refresh and
// given up, on the worker's thread, with CloseRefreshWorker.
struct RefreshWorker {
    XmlReader* reader = nullptr;
};
void CloseRefreshWorker(RefreshWorker* worker);

// What one refresh did with the items it was handed.
struct RefreshCounts {
    int appended = 0;               // messages the host took
    int refused = 0;                // new items whose message the host did not take
    bool diskFull = false;          // the host said it refused one for want of room
    int alreadyHere = 0;            // items seen before, or listed in the index
    int postponed = 0;              // new items left for the next refresh (full text's limit)
    const char* trouble = nullptr;  // why the record of seen items was of no help, if it was not
};

// What reads the body of a successful answer instead of the feed reader: a caller that wants the
// answer itself (the downloader's tests). It reads as much as it likes; the rest is read after it.
typedef void (*AnswerReader)(AnswerStream* answer, Refresh* refresh);

struct Refresh {
    // What is refreshed, and how; MakeRefresh sets these, a caller may change them before the
    // refresh runs.
    char folderId[kFolderIdCapacity];
    char url[kUrlCapacity];  // the folder's address, as its settings hold it
    FetchLimits limits;
    RefreshWorker* worker = nullptr;    // null: the refresh opens a reader of its own
    AnswerReader readAnswer = nullptr;  // null: the feed reader, into the folder's messages
    unsigned now = 0;                   // when it started, seconds since 1970
    long seenWriteRoom = -1;            // the room the record of seen items may take, as on a
                                        // nearly full disk; negative: what the disk has

    // What it read of the folder.
    char conditions[kConditionsCapacity];  // the request's lines from the last answer's validators
    char userAgent[kUserAgentCapacity];    // the folder's own User-Agent, "" for the plug-in's
    Login login;                           // the folder's login, if it has one
    bool loginUnreadable = false;          // it has one that cannot be read
    bool plainLogin = false;               // its Basic login may go over plain http
    char proxySetting[kUrlCapacity];       // [Options] Proxy, "" for the system's
    Login proxyLogin;                      // the proxy's login, if one is kept
    MessageFolder folder;                  // what the folder gives every message
    bool folderRead = false;
    FullTextMode fullText = FullTextMode::kOff;  // whether new items are read in full
    char fullTextSelector[kSelectorCapacity];    // the article's element, "" for the heuristic
    long long deadlineMs = 0;                    // when the refresh must end, steady clock

    // What the reading of the feed came to: whether a document was found and read to its end,
    // and what its channel says of when to ask for it again.
    bool documentFound = false;
    bool documentWhole = false;
    FeedHints hints;

    // An address that answered a page instead of a feed: the page's address, the feeds it named,
    // and whether the refresh went on to the first of them (it does so once).
    char pageUrl[kUrlCapacity] = {};
    FoundFeeds found;
    bool followedPage = false;

    // How the items are told apart: the folder's record of seen items while the feed is read
    // (null where there is none to go by), what has been read of its index, and the subjects
    // this refresh appended while the index decided.
    std::unique_ptr<SeenRecord> seen;
    FolderIndex index;
    std::unordered_set<std::string> newTitles;

    // The new items whose article is fetched once the feed's answer is read, with that answer's
    // header, whose validators are kept only when all of them were stored.
    std::vector<std::unique_ptr<FeedItem>> waiting;
    std::unique_ptr<AnswerHeader> waitingAnswer;

    // What each message is built in, and the subject in the index's code page.
    MessageScratch scratch;
    char indexTitle[kItemTitleCapacity];

    // What it did, and why it brought nothing, or not all, in a mail user's words (null while
    // nothing went wrong).
    RefreshCounts counts;
    const char* failure = nullptr;
    char failureText[kStatusTextMax + 1];
};

// A refresh of `folderId` from `url`, both copied, with the default limits and the clock's time;
// null when either does not fit (cut, it would fetch another feed or fill another folder) or no
// memory is left for the record.
std::unique_ptr<Refresh> MakeRefresh(const char* url, const char* folderId);

// The whole refresh, on the calling thread: download, read, decide, compose, append, record,
// keep what the server said, and the status line's last word.
void RunRefresh(Refresh* refresh);

// The feed reader's part of a refresh: the document found in the first bytes of a successful
// answer's body and read from there as it arrives, its relative links against `documentUrl` (the
// address the answer came from), each item handed to TakeItem. RunRefresh reads every answer so;
// the corpus tests and the benchmarks hand it answers held in memory.
void ReadFeedItems(Refresh* refresh, AnswerStream* answer, const char* documentUrl);

// The steps of the feed reader's part, for the composer's tests: what the folder gives every
// message (its name and style, the refresh's time; read once); the record of seen items opened
// and, after the items, written; and one item decided, composed, appended and recorded. TakeItem
// returns what the host's PXA_AppendMessage returned for a new item, 1 for one the folder holds
// already, and 0 for one that is no message (nothing to know it by) or could not be composed or
// checked.
void ReadFolder(Refresh* refresh);
void OpenSeenRecord(Refresh* refresh);
void CloseSeenRecord(Refresh* refresh);
int TakeItem(Refresh* refresh, const FeedItem& item);
// The new items that wait for their article (full text), each read in full, composed, appended and
// recorded, once the feed's answer is read and its connection given back.
void TakeWaitingArticles(Refresh* refresh);

// Appends a message of the plug-in's own to the folder, in the folder's style like any other: a
// title and a text of HTML, dated now, from "Quillfeed", linking the feed's address. True when the
// host took it.
bool AppendNotice(Refresh* refresh, const char* title, const char* html);
