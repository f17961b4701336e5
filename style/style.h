// The stylesheet substitution: when a message of a feed folder is opened, its stylesheet link is
// rebuilt from the folder's current "Styles" entry and the rebuilt source is handed to the host
// under the message id "TEMP" (PXC_OnOpenMail, declared in base/pxapi.h).
#pragma once

#include <cstddef>

// The link element itself is compose/stylesheet_link.h's, the same the message was written with.

// Where the search for the link starts: right after the empty line that ends the message's
// header, so that header lines (a subject quoting markup, say) are never taken for the link; the
// start of the source when it has no such line. An empty line is a line break (CR LF or LF)
// directly after another or at the very start.
const char* FindMessageBody(const char* source);

// The size of a block that holds the rewrite of a source of `sourceLength` bytes with a path of
// `hrefLength` characters, whatever the source holds: the source's length plus 1024, or more when
// the path is long enough to need it. Returns 0 when the size would not fit an unsigned int.
unsigned RewriteBlockSize(size_t sourceLength, size_t hrefLength);

// Writes into `block` the source with everything from the first link marker of its body up to
// the first "</HEAD>" after it replaced by the new link element to `cssHref`. Returns false,
// leaving `block` an empty text, when either marker is missing (both are matched exactly, case
// included) or the result would not fit `capacity`.
bool RewriteStylesheetLink(const char* source, const char* cssHref, char* block, size_t capacity);
