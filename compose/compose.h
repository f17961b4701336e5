// The item message composer: one mail message per feed item, appended unless the folder's index
// already lists its subject.
#pragma once

#include "feed/feed_item.h"

// The item callback the fetcher hands to the feed reader. Composes the message (header values on
// one line each, the description through the HTML sanitizer, plain values escaped, the charset of
// the ANSI code page), then appends it unless the index lists its subject. Returns non-zero when
// the item was found in the index (nothing appended), otherwise what PXA_AppendMessage returned;
// 0 when the record or folder id is missing or no memory is left for the message.
int OnFeedItem(const FeedItem* item, const char* folderId);

// True when the folder's index file (data folder, folder id, "Folder.idx") has a line, after the
// first, whose fourth 0x01-separated field is the whole subject; CR and LF at the subject's end
// and the line end after the field are ignored. False for an empty subject, a missing argument
// or an index that cannot be opened.
bool IsDuplicateSubject(const char* folderId, const char* subject);

// While one lives on a thread, that thread's duplicate checks keep what they have read of a
// folder's index and read only what was added to it since, rather than the whole file for every
// item; the answers are the same. A refresh holds one around the reading of its feed. One made
// while another lives on the thread does nothing.
class IndexReading {
public:
    IndexReading();
    ~IndexReading();
    IndexReading(const IndexReading&) = delete;
    IndexReading& operator=(const IndexReading&) = delete;

private:
    bool owner_ = false;
};

// While one lives on a thread, that thread's items of `folderId` are told by the folder's record
// of seen items (compose/seen_record.h): an item whose identity is recorded is not appended,
// whatever its title now, and one whose identity is new is, whatever message has its title. A
// folder without a readable record is checked against the index once, and recorded. A refresh
// holds one around the reading of its feed; the record is written when it goes.
class SeenReading {
public:
    explicit SeenReading(const char* folderId);
    ~SeenReading();
    SeenReading(const SeenReading&) = delete;
    SeenReading& operator=(const SeenReading&) = delete;

private:
    bool owner_ = false;
};

// What OnFeedItem did on the calling thread since the last call of this, which starts the count
// again: what a fetch worker reports at the end of a refresh.
struct RefreshCounts {
    int appended = 0;               // messages handed to the host
    int alreadyHere = 0;            // items seen before, or listed in the index
    const char* trouble = nullptr;  // why the record of seen items was of no help, if it was not
};
RefreshCounts TakeRefreshCounts();
