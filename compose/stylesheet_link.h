// The stylesheet link of an item message: written when the message is composed, and found and
// rebuilt when it is shown in the folder's current style (style/), by this one piece of code.
#pragma once

#include <cstddef>

// The link element is this opening, the stylesheet's path escaped for HTML, and this close.
inline constexpr char kStyleLinkOpening[] = "<LINK REL=\"stylesheet\" TYPE=\"text/css\" HREF=\"";
inline constexpr char kStyleLinkClose[] = "\" >";
// How a shown message's link is found: the start of the opening, matched exactly.
inline constexpr char kStyleLinkMarker[] = "<LINK REL";

class TextWriter;

// The address a message's link gives for a folder's style (its "Styles" value): the stylesheet's
// path (base/module.h) in UTF-8, escaped for an attribute of the message's body, so that an "&"
// in a directory name is written as the browser must read it. False when the style names no file
// of the style directory or the path does not fit `capacity` (kEscapedPathCapacity always does).
bool StylesheetHref(const char* style, char* out, size_t capacity);

// Writes the link element to `escapedHref`, whole or not at all. False when it does not fit.
bool AppendStylesheetLink(TextWriter* out, const char* escapedHref);
