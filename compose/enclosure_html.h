// The part of an item message that reaches the item's files: a podcast's episode, a video, and
// the image that stands for the item when its text shows none.
#pragma once

#include <cstddef>

#include "feed/feed_item.h"

// Writes "<div id=enclosure>...</div>" into `out`: a link to each enclosure whose URL may stand in
// a message, named by its file and followed by its type, size and duration where the feed gives
// them; then, when `textHasImage` is false, the item's thumbnail (or its first image enclosure)
// as an image. Writes "" when there is nothing to show. False when it does not fit `capacity`
// (kEnclosureHtmlCapacity always does); `out` is then "".
bool FormatEnclosures(const FeedItem& item, bool textHasImage, char* out, size_t capacity);
