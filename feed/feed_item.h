// The record of one feed item and its channel, handed to the item callback at each item's end.
#pragma once

#include "base/capacities.h"

// Terminated texts in UTF-8, each cut at its capacity between characters. The item fields are
// emptied at every item start; the three channel fields stay for all later items.
struct FeedItem {
    char title[kItemTitleCapacity];
    char description[kItemDescriptionCapacity];
    char link[kItemLinkCapacity];
    char date[kItemDateCapacity];
    char author[kItemAuthorCapacity];
    char channelTitle[kChannelTitleCapacity];
    char imageUrl[kImageUrlCapacity];
    char channelDate[kChannelDateCapacity];
    // The item's own identity as the feed wrote it: its RSS guid, Atom id or RSS 1.0 rdf:about;
    // emptied at every item start like the other item fields.
    char guid[kItemGuidCapacity];
};

// Called at each item's end with the reader's record, valid only during the call, and the folder
// id given to ParseFeed. The callback copies what it keeps and does not change the record.
typedef int (*FeedItemCallback)(const FeedItem* item, const char* folderId);
