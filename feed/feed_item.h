// The record of one feed item and its channel, handed to the item callback at each item's end.
#pragma once

#include <cstddef>

#include "base/capacities.h"

// A file the item links to for download or play: a podcast's episode, a video, an image.
struct FeedEnclosure {
    char url[kItemLinkCapacity];  // absolute, resolved against the item's base
    char type[kEnclosureTypeCapacity];
    char length[kEnclosureNumberCapacity];    // bytes, as the feed wrote them
    char duration[kEnclosureNumberCapacity];  // as the feed wrote it ("1:02:03", "3723")
};

// Terminated texts in UTF-8, each cut at its capacity between characters. The item fields are
// emptied at every item start; the channel fields stay for all later items.
struct FeedItem {
    char title[kItemTitleCapacity];
    // The item's fullest text as HTML: its content, else its description or summary.
    char description[kItemDescriptionCapacity];
    char link[kItemLinkCapacity];  // resolved against the item's base
    char date[kItemDateCapacity];
    char author[kItemAuthorCapacity];  // the author's name
    // The author's mail address, when the feed gives one (an Atom author's email, the address of
    // an RSS author "jane@example.com (Jane Doe)").
    char authorEmail[kItemAuthorCapacity];
    char channelTitle[kChannelTitleCapacity];
    char imageUrl[kImageUrlCapacity];
    char channelDate[kChannelDateCapacity];
    // The item's own identity as the feed wrote it: its RSS guid, Atom id or RSS 1.0 rdf:about.
    char guid[kItemGuidCapacity];
    // The address the description's relative links and images are relative to: the xml:base in
    // scope at its element, else the document's own address.
    char baseUrl[kItemLinkCapacity];
    // The title is HTML (an Atom title of type html, an RSS title): the composer shows its text.
    bool titleIsHtml;
    // The description did not fit and was cut between elements: the message says so.
    bool descriptionCut;
    FeedEnclosure enclosures[kEnclosureCount];
    size_t enclosureCount;
    // An image that stands for the item (media RSS thumbnail or image content).
    char thumbnail[kImageUrlCapacity];
    // An episode's duration given for the item rather than its enclosure (iTunes).
    char duration[kEnclosureNumberCapacity];
    // The identity of the item this one answers (thr:in-reply-to's ref): a comment's post.
    char inReplyTo[kItemGuidCapacity];
};

// What a feed says of when to ask for it again, read from its channel. Zero (or no bit) where it
// says nothing.
struct FeedHints {
    long long ttlMinutes = 0;           // RSS ttl
    long long updatePeriodSeconds = 0;  // sy:updatePeriod divided by sy:updateFrequency
    unsigned long skipHours = 0;        // bit h: the hour h (0-23, universal time) is skipped
    unsigned skipDays = 0;              // bit d: the day d (0 Sunday to 6 Saturday) is skipped
};

// Called at each item's end with the reader's record, valid only during the call, and the context
// the reading was given (a refresh hands its own record). The callback copies what it keeps and
// does not change the item.
typedef int (*FeedItemCallback)(const FeedItem* item, void* context);
