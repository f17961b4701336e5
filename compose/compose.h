// The item message: one mail message built from a feed item and what its folder gives every
// message, as a pure function of the two; and the check of a folder's index for a subject.
// Whether a message is appended is the refresh's to decide (refresh/refresh.h).
#pragma once

#include <ctime>

#include "base/capacities.h"
#include "feed/feed_item.h"

class FolderIndex;

// The room the link element to a stylesheet takes: its path escaped, and the element around it.
constexpr size_t kStylesheetLinkCapacity = kEscapedPathCapacity + 64;

// The room a Message-ID takes: "<", 32 hexadecimal digits, "@quillfeed.invalid>".
constexpr size_t kMessageIdCapacity = 64;

// What a folder gives every message of a refresh, made once for the refresh.
struct MessageFolder {
    // The folder's id, which makes its messages' ids its own.
    char id[kFolderIdCapacity];
    // Who a message is from when its feed names nobody: the last level of the folder's display
    // name, else its id, else "Quillfeed"; UTF-8, on one line, never empty.
    char name[kDisplayNameCapacity];
    // The link element to the folder's stylesheet (compose/stylesheet_link.h), with an empty
    // address when the folder's style names no file a message may link: the style is then put in
    // when the message is shown.
    char stylesheetLink[kStylesheetLinkCapacity];
    // The refresh's moment as a mail date in the local zone: the date of an item that has none.
    char now[kTimeTextCapacity];
};

// A moment in the local time as a mail date, "Mon, 07 Dec 2026 21:15:23 +0800"; "" when the
// runtime cannot say. The zone setting is read again first, so that the zone in force counts.
void FormatLocalTime(time_t moment, char* out, size_t capacity);

// Makes what a folder gives its messages from what the refresh read of it: the folder's id, its
// "Styles" value (empty: default.css), its display name as the host gives it (in the ANSI code
// page; null when the host gives none) and the refresh's moment, written in the zone in force.
void MakeMessageFolder(const char* folderId, const char* style, const char* displayName, time_t now,
                       MessageFolder* folder);

// Everything one message is built in, on the heap with the refresh that owns it: it is larger
// than a default Windows thread stack can spare.
struct MessageScratch {
    // The message, header and body, as the host is handed it.
    char message[kMessageCapacity];
    // Its subject in UTF-8 as the Subject header carries it once decoded: what the index lists.
    char subject[kItemTitleCapacity];
    // The parts it is built from.
    char description[kDescriptionHtmlCapacity + kCutNoteCapacity];
    char enclosures[kEnclosureHtmlCapacity];
    char titleText[kItemTitleCapacity];
    char sender[kDisplayNameCapacity];
    char senderAddress[kItemAuthorCapacity];
    char messageId[kMessageIdCapacity];
    char replyId[kMessageIdCapacity];
    char headerDate[kFeedDateCapacity];
    char headerAuthor[kDisplayNameCapacity];
    char headerDateClean[kFeedDateCapacity];
    char htmlTitle[kHtmlGrowth * kItemTitleCapacity];
    char htmlImage[kHtmlGrowth * kImageUrlCapacity];
    char htmlAuthor[kHtmlGrowth * kDisplayNameCapacity];
    char htmlHref[kHtmlGrowth * kItemLinkCapacity];
    char htmlLinkText[kHtmlGrowth * kItemLinkCapacity];
    char htmlDate[kHtmlGrowth * kFeedDateCapacity];
};

// Builds the message of `item` for a folder that gives `folder`: header values on one line each
// (RFC 2047 words where they need them), the sender with its address when the feed gives one, a
// Message-ID of the folder and the item's identity (and the id of the item it answers), the text
// through the HTML sanitizer with its links resolved, plain values escaped, the item's files,
// the folder's stylesheet link, UTF-8 throughout. An untitled item gets a subject from its text
// (SubjectFromText), else from what it holds and the feed's name: never an address. False when
// the message does not fit its room, which the capacities rule out; `scratch->message` is then "".
bool ComposeMessage(const FeedItem& item, const MessageFolder& folder, MessageScratch* scratch);

// The subject an untitled item's text gives: the text of the HTML (tags gone, references decoded,
// white space folded) up to its first sentence's end when that comes within about
// kSubjectCharacters characters (a block's end or the text's end counts as one), else cut between
// words at about kSubjectCharacters characters and marked with an ellipsis. "" when the text
// shows nothing but an address or nothing at all.
constexpr size_t kSubjectCharacters = 80;
void SubjectFromText(const char* html, char* out, size_t capacity);

// The Message-ID of the item known by `identity` in the folder `folderId`,
// "<...@quillfeed.invalid>": the same for the same two, another for another folder. False when the
// platform could not make the digest, or `capacity` is too small.
[[nodiscard]] bool MessageIdOf(const char* folderId, const char* identity, char* out,
                               size_t capacity);

// True when the folder's index file (data folder, folder id, "Folder.idx") has a line, after the
// first, whose fourth 0x01-separated field is the whole subject; CR and LF at the subject's end
// and the line end after the field are ignored. False for an empty subject, a missing argument
// or an index that cannot be opened. With `following`, what it has read of the index is kept
// there and only what was added since is read at the next question (a refresh asks for each of
// its items); the answers are the same.
bool IsDuplicateSubject(const char* folderId, const char* subject,
                        FolderIndex* following = nullptr);

// The folder's index file: the host's data folder, the folder id and "Folder.idx". False when the
// path does not fit, since a cut one names some other file.
[[nodiscard]] bool IndexPath(const char* folderId, char* path, size_t capacity);
