// The MIME charset name of an ANSI code page, for the Content-Type of item messages: the feed's
// text is converted to the ANSI code page in use, and the message must say which one that is.
#pragma once

// The charset name, or null for a code page without one we know.
const char* CharsetForCodePage(unsigned codePage);
