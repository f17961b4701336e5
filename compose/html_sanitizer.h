// HTML out of feed text. Item messages are shown by the mail client's old browser engine, which
// runs script from a handful of places (script elements, event attributes, javascript: and
// vbscript: URLs, CSS expression()), so nothing a feed writes may reach the message as markup
// unless it is on the short list of formatting markup below.
#pragma once

#include <cstddef>

#include "base/capacities.h"

// Rewrites a feed's description HTML into `out` (capacity in bytes, terminator included):
// - kept: formatting elements (p, br, a, img, b/strong, i/em, u, s, lists, blockquote, q, pre,
//   code, h1-h6, tables, div, span, figure, sub, sup, hr and the like) with only the attributes
//   href, src, alt, title, width, height, colspan and rowspan; href and src only when relative or
//   http, https or mailto;
// - dropped with their content: script, style, iframe, object, embed, applet, form, meta, base,
//   link (and xml data islands); an iframe (an embedded player) leaves a link to what it showed:
//   the video's page for YouTube, Vimeo and PeerTube players, else its own address, around
//   `thumbnailUrl` (the item's picture) for the first one, when given;
// - dropped too: images 1 by 1 pixel or smaller (web beacons), and every tracking parameter of a
//   kept href or src (base/url.h StripTrackingParameters);
// - every other element is dropped and its text kept; comments and declarations are dropped.
// Every kept tag is written anew (lower-case name, attribute values double-quoted and escaped),
// stray "<", ">" and "&" become entities, and elements left open are closed at the end, so the
// result can sit inside a division without ending it. Broken markup such as an unclosed tag
// comes out as text. Returns false when the result was cut to fit; it is well-formed either way.
// With `baseUrl`, every kept href and src is first resolved against it (RFC 3986), and the URL
// allowed is the resolved one. The result is a fixed point: sanitized again, with the same base
// or none, it comes out unchanged.
[[nodiscard]] bool SanitizeHtml(const char* html, char* out, size_t capacity,
                                const char* baseUrl = nullptr, const char* thumbnailUrl = nullptr);

// A plain URL of the item (its link, its picture, a file) as a message links it: allowed
// (IsAllowedUrl), as the wire carries it in ASCII, without tracking parameters. False when it may
// not be linked or does not fit `capacity`.
[[nodiscard]] bool MessageUrl(const char* url, char* out, size_t capacity);

// How the text of HtmlToText parts what its blocks (paragraphs, line breaks, list items) held.
enum class TextBlocks { kBlank, kLineBreak };

// The text an HTML fragment shows: tags gone (those of running text join their words, others
// part them with a blank, or with kLineBreak a line break), script and style with their content
// gone, character references decoded, white space and control characters collapsed into single
// blanks (a run that holds a block's end into one line break) and trimmed. Returns false when the
// text was cut to fit, between characters.
bool HtmlToText(const char* html, char* out, size_t capacity,
                TextBlocks blocks = TextBlocks::kBlank);

// Escapes a plain text value for HTML text or a double-quoted attribute: &, <, > and " become
// entities. Returns false when the result was cut to fit (whole characters only).
[[nodiscard]] bool EscapeHtmlText(const char* text, char* out, size_t capacity);

// True when a URL may stand in an href or src: relative, or with the scheme http, https or
// mailto. Control characters and blanks are ignored the way browsers ignore them in a scheme.
// With `fromMarkup`, character references are decoded first (an attribute value as written in
// HTML); otherwise the text is the URL itself.
bool IsAllowedUrl(const char* url, bool fromMarkup);
