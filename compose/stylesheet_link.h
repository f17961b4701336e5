// The stylesheet link of an item message: written when the message is composed, and found and
// rebuilt when it is shown in the folder's current style (style/), by this one piece of code.
#pragma once

#include <cstddef>

// The link element is this opening, the stylesheet's path escaped for HTML, and this close.
inline constexpr char kStyleLinkOpening[] = "<LINK REL=\"stylesheet\" TYPE=\"text/css\" HREF=\"";
inline constexpr char kStyleLinkClose[] = "\" >";
// How a shown message's link is found: the start of the opening, matched exactly.
inline constexpr char kStyleLinkMarker[] = "<LINK REL";

// Appends the link element to `escapedHref` to `out` (of `capacity` bytes, its text `*used` long),
// whole or not at all. False when it does not fit.
bool AppendStylesheetLink(char* out, size_t capacity, size_t* used, const char* escapedHref);
