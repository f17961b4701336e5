// The record of one feed item and its channel, handed to the item callback at each item's end.
#pragma once

#include <cstddef>

constexpr size_t kItemTitleCapacity = 1024;
constexpr size_t kItemDescriptionCapacity = 51200;
constexpr size_t kItemLinkCapacity = 1024;
constexpr size_t kItemDateCapacity = 256;
constexpr size_t kItemAuthorCapacity = 256;
constexpr size_t kChannelTitleCapacity = 1024;
constexpr size_t kImageUrlCapacity = 1024;
constexpr size_t kChannelDateCapacity = 256;

// Eight terminated texts in the ANSI code page, each cut at its capacity. The five item fields
// are emptied at every item start; the three channel fields stay for all later items.
struct FeedItem {
    char title[kItemTitleCapacity];
    char description[kItemDescriptionCapacity];
    char link[kItemLinkCapacity];
    char date[kItemDateCapacity];
    char author[kItemAuthorCapacity];
    char channelTitle[kChannelTitleCapacity];
    char imageUrl[kImageUrlCapacity];
    char channelDate[kChannelDateCapacity];
};

// Called at each item's end with the reader's record, valid only during the call, and the folder
// id given to ParseFeed. The callback copies what it keeps and does not change the record.
typedef int (*FeedItemCallback)(const FeedItem* item, const char* folderId);
