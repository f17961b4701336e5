// What a server's answer says of a folder's next refreshes, kept in the settings file: the
// validators of its last whole answer, that its feed is gone, or that it asks to be left alone.
#pragma once

#include <cstddef>

class AnswerStream;
struct AnswerHeader;
class Download;
struct Refresh;

// The conditional lines of a folder's next request for `url`: If-None-Match and If-Modified-Since
// from the entity tag and date of its last whole answer from that address, as the settings file
// keeps them ([ETag], [LastModified]); "" when it has none.
void ConditionalLines(const char* folderId, const char* url, char* out, size_t capacity);

// Keeps the validators of a whole answer of `url` for the folder's next request: its ETag and
// Last-Modified, or forgets what was kept when the answer has none. Written only when they change.
void KeepValidators(const char* folderId, const char* url, const AnswerHeader& header);

// What the answer's status says: true when the body is the document (a success, or an answer
// without a status line); false when it is not, with the refresh's failure said: "no change"
// for 304, a site's bot check (a 403 or 503 that says so in its header or its page) as such, else
// the status in words. A feed gone (410) is not refreshed by the triggers until its address
// changes; a host that asks to be left alone is not, for any folder of it, until the time its
// Retry-After says (a 429 or a 503; a week at most), or for an hour after a 429 that says no
// time. Both are kept in the settings file ([Gone], [HostHolds]); a feed newly gone is said in
// the folder once. A 401 says how the download's login went: none to give, one refused, one that
// would have gone in plain text, or a kept one that cannot be read.
bool TakeStatus(Refresh* refresh, const Download& download);
