#include "compose/compose.h"

#include <cstring>

#include "platform.h"
#include "platform/codepage.h"
#include "platform/time_zone.h"
#include "base/civil_time.h"
#include "base/hostapi.h"
#include "base/module.h"
#include "base/status.h"
#include "base/text.h"
#include "base/url.h"
#include "compose/enclosure_html.h"
#include "compose/feed_date.h"
#include "compose/folder_index.h"
#include "compose/header_value.h"
#include "compose/html_sanitizer.h"
#include "compose/stylesheet_link.h"

namespace {

// The one recipient every item message is addressed to.
constexpr char kRecipient[] = "feeds@quillfeed.invalid";

// The fixed text of the template around the fourteen values, with room to spare for the
// Content-Type lines.
constexpr size_t kTemplateText = 1024;
// The most a header value of `capacity` bytes takes once encoded and folded (see header_value.h).
constexpr size_t Encoded(size_t capacity) {
    return 2 * capacity + 64;
}
static_assert(Encoded(kDisplayNameCapacity) + kFeedDateCapacity + sizeof PlugInVersion +
                      Encoded(kItemTitleCapacity) + kStylesheetLinkCapacity +
                      sizeof(MessageScratch::htmlTitle) + sizeof(MessageScratch::htmlImage) +
                      sizeof(MessageScratch::htmlAuthor) + sizeof(MessageScratch::description) +
                      sizeof(MessageScratch::enclosures) + sizeof(MessageScratch::htmlHref) +
                      sizeof(MessageScratch::htmlLinkText) + sizeof(MessageScratch::htmlDate) +
                      kTemplateText <=
                  kMessageCapacity,
              "every filled template fits the message text");

bool IsEmpty(const char* text) {
    return text == nullptr || text[0] == '\0';
}

}  // namespace

void FormatLocalTime(time_t moment, char* out, size_t capacity) {
    RefreshTimeZone();
    struct tm local;
    struct tm universal;
    out[0] = '\0';
    if (!ToLocalTime(moment, &local) || !ToUniversalTime(moment, &universal)) {
        return;
    }
    // The offset of the local time just formatted, daylight saving included.
    const int64_t offset =
        CivilSeconds(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                     local.tm_min, local.tm_sec) -
        CivilSeconds(universal.tm_year + 1900, universal.tm_mon + 1, universal.tm_mday,
                     universal.tm_hour, universal.tm_min, universal.tm_sec);
    const int64_t magnitude = offset < 0 ? -offset : offset;
    // The text is at most 31 characters for any year the runtime gives.
    static_cast<void>(FormatText(out, capacity, "%s, %02d %s %d %02d:%02d:%02d %c%02d%02d",
                                 DayName(local.tm_wday), local.tm_mday, MonthName(local.tm_mon + 1),
                                 local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                                 offset < 0 ? '-' : '+', static_cast<int>(magnitude / 3600),
                                 static_cast<int>(magnitude % 3600 / 60)));
}

namespace {

// The body is UTF-8, whatever the system's code page: every character of the feed is kept.
const char kContentType[] = "Content-Type:text/html; \r\n\tcharset=utf-8\r\n";

// A subject from HTML: its text, cut at a word within kSubjectLength bytes and then marked with
// "...".
void SubjectFromHtml(const char* html, char* out, size_t capacity) {
    constexpr size_t kSubjectLength = 80;
    static_assert(kSubjectLength + 4 <= kItemTitleCapacity, "a subject fits the title's room");
    char text[kItemTitleCapacity];
    bool cut = !HtmlToText(html, text, sizeof text);
    size_t length = strlen(text);
    if (length > kSubjectLength) {
        cut = true;
        length = kSubjectLength;
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
            --length;
        }
        // A cut inside a word goes back to the blank before it, when there is one.
        size_t end = length;
        while (text[length] != ' ' && end > 0 && text[end - 1] != ' ') {
            --end;
        }
        length = end > 0 ? end : length;
    }
    while (length > 0 && text[length - 1] == ' ') {
        --length;
    }
    text[length] = '\0';
    static_cast<void>(CopyText(out, capacity, text));
    if (cut && length > 0) {
        static_cast<void>(AppendText(out, capacity, "..."));
    }
}

// The note after a text that was cut to the message's room: the reader is pointed at the whole.
bool AppendCutNote(TextWriter* description, const char* htmlHref, const char* htmlLinkText) {
    return htmlHref[0] != '\0'
               ? description->Format(
                     "<p><i>This item is longer than a message holds. The whole of it is at <a "
                     "href=\"%s\">%s</a>.</i></p>",
                     htmlHref, htmlLinkText)
               : description->Put(
                     "<p><i>This item is longer than a message holds, and was cut here.</i></p>");
}

}  // namespace

void MakeMessageFolder(const char* folderId, const char* style, const char* displayName, time_t now,
                       MessageFolder* folder) {
    // The last level of the display name (which the host gives in its code page), else the
    // folder's id. Never blanks only: an empty sender would leave the host's index line an
    // empty field. Only shown as the sender's name: a longer one is shown cut, and one that
    // cannot be converted is not shown.
    char display[kDisplayNameCapacity];
    static_cast<void>(CopyText(display, sizeof display, displayName));
    char name[kDisplayNameCapacity];
    if (!AnsiToUtf8(LastPathComponent(display, "/"), name, sizeof name)) {
        name[0] = '\0';
    }
    CleanHeaderValue(name, folder->name, sizeof folder->name);
    if (folder->name[0] == '\0' && !AnsiToUtf8(folderId, folder->name, sizeof folder->name)) {
        static_cast<void>(CopyText(folder->name, sizeof folder->name, "Quillfeed"));
    }

    // A path that does not fit would name another file, and a style that is no file name of the
    // style directory would reach elsewhere: the message then links none, and the style is put
    // in when it is shown, if it can be there.
    char href[kEscapedPathCapacity];
    if (!StylesheetHref(style, href, sizeof href)) {
        Trace("no stylesheet path for %s", folderId);
        href[0] = '\0';
    }
    TextWriter link(folder->stylesheetLink, sizeof folder->stylesheetLink);
    if (!AppendStylesheetLink(&link, href)) {
        folder->stylesheetLink[0] = '\0';
    }
    FormatLocalTime(now, folder->now, sizeof folder->now);
}

bool ComposeMessage(const FeedItem& item, const MessageFolder& folder, MessageScratch* s) {
    s->message[0] = '\0';
    // The sender: the channel's title, else the folder's name.
    CleanHeaderValue(item.channelTitle, s->sender, sizeof s->sender);
    if (s->sender[0] == '\0') {
        static_cast<void>(CopyText(s->sender, sizeof s->sender, folder.name));
    }

    const char* headerDate = NormalizeFeedDate(item.date, s->headerDate, sizeof s->headerDate);
    if (headerDate == nullptr) {
        headerDate = NormalizeFeedDate(item.channelDate, s->headerDate, sizeof s->headerDate);
    }
    if (headerDate == nullptr) {
        headerDate = folder.now;
    }
    const char* bodyDate = !IsEmpty(item.date)          ? item.date
                           : !IsEmpty(item.channelDate) ? item.channelDate
                                                        : folder.now;
    // Header values on one line each; the Subject as written is also what the index lists. The
    // author is the item's, else the sender.
    CleanHeaderValue(item.author, s->headerAuthor, sizeof s->headerAuthor);
    if (s->headerAuthor[0] == '\0') {
        static_cast<void>(CopyText(s->headerAuthor, sizeof s->headerAuthor, s->sender));
    }
    CleanHeaderValue(headerDate, s->headerDateClean, sizeof s->headerDateClean);
    // A title written as HTML shows its text: its markup gone, its references decoded.
    if (item.titleIsHtml) {
        // A text cut to the title's room is still the start of the title.
        static_cast<void>(HtmlToText(item.title, s->titleText, sizeof s->titleText));
    } else {
        static_cast<void>(CopyText(s->titleText, sizeof s->titleText, item.title));
    }
    CleanHeaderValue(s->titleText, s->subject, sizeof s->subject);

    // The body is HTML that the client renders: plain values are escaped, URLs are only kept
    // when harmless, and the description passes the sanitizer.
    // Each buffer is sized for the most its value can grow (kHtmlGrowth), so none is ever cut.
    const bool showImage = !IsEmpty(item.imageUrl) && IsAllowedUrl(item.imageUrl, false);
    // Links and images of the text resolve against its base. A text longer than the message holds
    // was cut between elements: the reader is told, and pointed at the whole.
    const bool textCut =
        !SanitizeHtml(item.description, s->description, kDescriptionHtmlCapacity, item.baseUrl) ||
        item.descriptionCut;
    // Titles are optional: an untitled item gets a subject from the start of its description
    // (else its link), for the reader and for the index, where an empty one would never be found.
    const bool untitled = s->subject[0] == '\0';
    if (untitled) {
        SubjectFromHtml(s->description, s->subject, sizeof s->subject);
    }
    if (s->subject[0] == '\0') {
        CleanHeaderValue(item.link, s->subject, sizeof s->subject);
    }
    // Links reach the browser as the wire carries them, in ASCII; the reader sees them as written.
    char image[kUrlCheckCapacity];
    char href[kUrlCheckCapacity];
    const bool imageShown = showImage && AsciiUrl(item.imageUrl, image, sizeof image);
    if (!imageShown) {
        image[0] = '\0';
    }
    if (!IsAllowedUrl(item.link, false) || !AsciiUrl(item.link, href, sizeof href)) {
        href[0] = '\0';
    }
    bool escaped =
        EscapeHtmlText(untitled ? s->subject : s->titleText, s->htmlTitle, sizeof s->htmlTitle) &&
        EscapeHtmlText(image, s->htmlImage, sizeof s->htmlImage) &&
        EscapeHtmlText(s->headerAuthor, s->htmlAuthor, sizeof s->htmlAuthor) &&
        EscapeHtmlText(href, s->htmlHref, sizeof s->htmlHref) &&
        EscapeHtmlText(item.link, s->htmlLinkText, sizeof s->htmlLinkText) &&
        EscapeHtmlText(bodyDate, s->htmlDate, sizeof s->htmlDate) &&
        FormatEnclosures(item, strstr(s->description, "<img") != nullptr, s->enclosures,
                         sizeof s->enclosures);
    if (escaped && textCut) {
        TextWriter description(s->description, sizeof s->description, strlen(s->description));
        escaped = AppendCutNote(&description, s->htmlHref, s->htmlLinkText);
    }

    TextWriter message(s->message, sizeof s->message);
    const bool whole = AppendHeader(&message, "From", s->headerAuthor) &&
                       message.Format("To:%s\r\nDate:%s\r\nX-Mailer:Quillfeed %s\r\n%s", kRecipient,
                                      s->headerDateClean, PlugInVersion, kContentType) &&
                       AppendHeader(&message, "Subject", s->subject) &&
                       message.Format(
                           "\r\n"
                           "<HTML>\r\n"
                           "<HEAD>%s</HEAD>"
                           "<BODY><div id=banner><h2>%s</h2>"
                           "<img border=0 style=\"visibility:%s;float:right;\" src=\"%s\"></div>"
                           "<div id=author>%s</div>"
                           "<div id=desc>%s</div>"
                           "%s"
                           "<div id=link><a href=\"%s\">%s</a></div>"
                           "<div id=date>%s</div></BODY></HTML>",
                           folder.stylesheetLink, s->htmlTitle, imageShown ? "visible" : "hidden",
                           s->htmlImage, s->htmlAuthor, s->description, s->enclosures, s->htmlHref,
                           s->htmlLinkText, s->htmlDate);
    if (!escaped || !whole) {
        // Cannot happen with the record's capacities (see the assertion above); a cut message
        // would be a broken one.
        s->message[0] = '\0';
        return false;
    }
    return true;
}

bool IndexPath(const char* folderId, char* path, size_t capacity) {
    const char* dataFolder = g_hostApi.PXA_GetDataFolder ? g_hostApi.PXA_GetDataFolder() : nullptr;
    return FormatText(path, capacity, "%s" QF_PATH_SEPARATOR "%s" QF_PATH_SEPARATOR "Folder.idx",
                      dataFolder ? dataFolder : "", folderId);
}

bool IsDuplicateSubject(const char* folderId, const char* subject, FolderIndex* following) {
    if (folderId == nullptr || subject == nullptr) {
        return false;
    }
    // The line end a title may bring is not part of the subject; the caller's text stays as is.
    size_t length = strlen(subject);
    while (length > 0 && (subject[length - 1] == '\r' || subject[length - 1] == '\n')) {
        --length;
    }
    char path[kPathCapacity];
    if (!IndexPath(folderId, path, sizeof path)) {
        Trace("Open Idx file %s failed.\n", path);
        return false;
    }
    if (length == 0) {
        return false;
    }
    IndexAnswer answer =
        following != nullptr ? following->Lists(path, subject, length) : IndexAnswer::kUnknown;
    if (answer == IndexAnswer::kUnknown) {
        answer = ScanIndexFile(path, subject, length);
    }
    if (answer == IndexAnswer::kNoIndex) {
        Trace("Open Idx file %s failed.\n", path);
    }
    return answer == IndexAnswer::kListed;
}
