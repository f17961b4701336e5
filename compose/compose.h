// The item message composer: one mail message per feed item, appended unless the folder's index
// already lists its subject.
#pragma once

#include "feed/feed_item.h"

// The item callback the fetcher hands to the feed reader. Returns non-zero when the item was
// found in the index (nothing appended), otherwise what PXA_AppendMessage returned.
int OnFeedItem(const FeedItem* item, const char* folderId);

// True when the folder's index file lists a message with this subject.
bool IsDuplicateSubject(const char* folderId, const char* subject);

// The part of `text` after the last occurrence of `separator` (the whole text when there is none
// or no separator is given). Nothing is copied: the result points into `text`.
const char* LastPathComponent(const char* text, const char* separator);
