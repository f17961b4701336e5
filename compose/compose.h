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

// How many messages OnFeedItem has handed to the host on the calling thread since the last call
// of this, which starts the count again: what a fetch worker reports at the end of a refresh.
int TakeAppendedCount();
