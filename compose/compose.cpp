#include "compose/compose.h"

#include <cstring>
#include <string>

#include "platform.h"
#include "platform/codepage.h"
#include "platform/digests.h"
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
#include "compose/seen_record.h"
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
static_assert(Encoded(kDisplayNameCapacity) + kItemAuthorCapacity + 3 * kMessageIdCapacity +
                      kFeedDateCapacity + sizeof PlugInVersion + Encoded(kItemTitleCapacity) +
                      kStylesheetLinkCapacity + sizeof(MessageScratch::htmlTitle) +
                      sizeof(MessageScratch::htmlImage) + sizeof(MessageScratch::htmlAuthor) +
                      sizeof(MessageScratch::description) + sizeof(MessageScratch::enclosures) +
                      sizeof(MessageScratch::htmlHref) + sizeof(MessageScratch::htmlLinkText) +
                      sizeof(MessageScratch::htmlDate) + kTemplateText <=
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

// How far past kSubjectCharacters a sentence may end and still be the subject whole.
constexpr size_t kSentenceSlack = 10;
static_assert(4 * (kSubjectCharacters + kSentenceSlack) + 4 <= kItemTitleCapacity,
              "a subject fits the title's room");

// The bytes of the UTF-8 character at `p`.
size_t CharacterLength(const char* p) {
    size_t length = 1;
    while (p[length] != '\0' && (static_cast<unsigned char>(p[length]) & 0xC0) == 0x80) {
        ++length;
    }
    return length;
}

enum class SentenceMark { kNone, kBeforeBlank, kAlways };

// Whether the character at `p` of `length` bytes ends a sentence: the stops of scripts written
// with blanks when a blank or the end follows, the ideographic ones wherever they stand.
SentenceMark SentenceMarkOf(const char* p, size_t length) {
    static const char* const kBeforeBlank[] = {".",
                                               "!",
                                               "?",
                                               "\xE2\x80\xA6" /* ellipsis */,
                                               "\xD8\x9F" /* Arabic question mark */,
                                               "\xDB\x94" /* Urdu full stop */,
                                               "\xE0\xA5\xA4" /* danda */};
    static const char* const kAlways[] = {"\xE3\x80\x82", "\xEF\xBC\x81", "\xEF\xBC\x9F"};
    for (const char* mark : kBeforeBlank) {
        if (strlen(mark) == length && memcmp(mark, p, length) == 0) {
            return SentenceMark::kBeforeBlank;
        }
    }
    for (const char* mark : kAlways) {
        if (strlen(mark) == length && memcmp(mark, p, length) == 0) {
            return SentenceMark::kAlways;
        }
    }
    return SentenceMark::kNone;
}

// Whether a text is only an address, as a post that is only a link shows.
bool IsOnlyAnAddress(const char* text) {
    const size_t length = strlen(text);
    return strchr(text, ' ') == nullptr && (StartsWithAsciiWord(text, length, "http://") ||
                                            StartsWithAsciiWord(text, length, "https://") ||
                                            StartsWithAsciiWord(text, length, "www."));
}

// The kind of picture or file an untitled item without text holds, for its subject: "Photo",
// "Video", "Audio" or "File" by its first file's type; null when it holds none.
const char* KindOfContent(const FeedItem& item, const char* html) {
    if (item.enclosureCount > 0) {
        const char* type = item.enclosures[0].type;
        const size_t length = strlen(type);
        return StartsWithAsciiWord(type, length, "image/")   ? "Photo"
               : StartsWithAsciiWord(type, length, "video/") ? "Video"
               : StartsWithAsciiWord(type, length, "audio/") ? "Audio"
                                                             : "File";
    }
    if (!IsEmpty(item.thumbnail) || strstr(html, "<img") != nullptr) {
        return "Photo";
    }
    return nullptr;
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
    static_cast<void>(CopyText(folder->id, sizeof folder->id, folderId));
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

void SubjectFromText(const char* html, char* out, size_t capacity) {
    char text[kItemTitleCapacity];
    // A text cut to this room is still the start of the text: more than a subject takes.
    static_cast<void>(HtmlToText(html, text, sizeof text, TextBlocks::kLineBreak));
    size_t characters = 0;
    size_t at = 0;
    size_t end = 0;           // where the first sentence ends, once found
    size_t lastBlank = 0;     // the last blank within kSubjectCharacters characters
    size_t characterEnd = 0;  // the end of the kSubjectCharacters-th character
    bool sentence = false;
    while (characters < kSubjectCharacters + kSentenceSlack) {
        if (text[at] == '\0' || text[at] == '\n') {
            end = at;
            sentence = true;
            break;
        }
        const size_t length = CharacterLength(text + at);
        const size_t next = at + length;
        const SentenceMark mark = SentenceMarkOf(text + at, length);
        if (mark == SentenceMark::kAlways ||
            (mark == SentenceMark::kBeforeBlank &&
             (text[next] == '\0' || text[next] == ' ' || text[next] == '\n'))) {
            end = next;
            sentence = true;
            break;
        }
        if (++characters <= kSubjectCharacters) {
            lastBlank = text[at] == ' ' ? at : lastBlank;
            characterEnd = next;
        }
        at = next;
    }
    if (!sentence) {
        // Cut between words; a text without blanks (a script written without them, or one long
        // word) between characters.
        end = text[characterEnd] == ' ' || lastBlank == 0 ? characterEnd : lastBlank;
        while (end > 0 && strchr(" ,;:-", text[end - 1]) != nullptr) {
            --end;
        }
    }
    text[end] = '\0';
    if (IsOnlyAnAddress(text)) {
        text[0] = '\0';
    }
    const bool whole = CopyText(out, capacity, text);
    if (!sentence && whole && text[0] != '\0') {
        static_cast<void>(AppendText(out, capacity, "\xE2\x80\xA6"));
    }
}

bool MessageIdOf(const char* folderId, const char* identity, char* out, size_t capacity) {
    // The folder's id and the identity, apart by a byte that neither holds.
    const std::string both = std::string(folderId) + '\n' + identity;
    char digest[65];
    return DigestHex(DigestKind::kSha256, both.data(), both.size(), digest, sizeof digest) &&
           FormatText(out, capacity, "<%.32s@quillfeed.invalid>", digest);
}

bool ComposeMessage(const FeedItem& item, const MessageFolder& folder, MessageScratch* s) {
    s->message[0] = '\0';
    // The sender: the channel's title, else the folder's name.
    CleanHeaderValue(item.channelTitle, s->sender, sizeof s->sender);
    if (s->sender[0] == '\0') {
        static_cast<void>(CopyText(s->sender, sizeof s->sender, folder.name));
    }
    // The author's address, when it is one a header may carry.
    CleanHeaderValue(item.authorEmail, s->senderAddress, sizeof s->senderAddress);
    if (!IsMailAddress(s->senderAddress)) {
        s->senderAddress[0] = '\0';
    }
    // The ids: this item's, and the one of the item it answers, in this folder. The identity is
    // the one the refresh knows the item by.
    const std::string identity = ItemIdentity(item.guid, item.link, item.title, item.description);
    if (!MessageIdOf(folder.id, identity.c_str(), s->messageId, sizeof s->messageId)) {
        Trace("no message id for an item of %s", folder.id);
        s->messageId[0] = '\0';
    }
    const std::string answered = ItemIdentity(item.inReplyTo, "", "", "");
    if (answered.empty() ||
        !MessageIdOf(folder.id, answered.c_str(), s->replyId, sizeof s->replyId)) {
        s->replyId[0] = '\0';
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
    // author is the item's, else the sender; an author known by an address alone is the sender
    // of the message, by that address.
    CleanHeaderValue(item.author, s->headerAuthor, sizeof s->headerAuthor);
    const char* fromName = s->headerAuthor;
    if (s->headerAuthor[0] == '\0') {
        const bool byAddress = s->senderAddress[0] != '\0';
        static_cast<void>(CopyText(s->headerAuthor, sizeof s->headerAuthor,
                                   byAddress ? s->senderAddress : s->sender));
        fromName = byAddress ? "" : s->headerAuthor;
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
    // An embedded player leaves a link to its video, with the item's picture.
    const bool textCut = !SanitizeHtml(item.description, s->description, kDescriptionHtmlCapacity,
                                       item.baseUrl, item.thumbnail) ||
                         item.descriptionCut;
    // Titles are optional: an untitled item gets a subject from the start of its text, else from
    // what it holds, for the reader and for the index, where an empty one would never be found.
    const bool untitled = s->subject[0] == '\0';
    if (untitled) {
        SubjectFromText(s->description, s->subject, sizeof s->subject);
    }
    if (s->subject[0] == '\0') {
        const char* kind = KindOfContent(item, s->description);
        static_cast<void>(FormatText(s->subject, sizeof s->subject, "%s from %s",
                                     kind != nullptr ? kind : "Post", s->sender));
    }
    // Links reach the browser as the wire carries them, in ASCII, and without what tracks who
    // followed them; the reader sees them as written.
    char image[kUrlCheckCapacity];
    char href[kUrlCheckCapacity];
    const bool imageShown = showImage && MessageUrl(item.imageUrl, image, sizeof image);
    if (!imageShown) {
        image[0] = '\0';
    }
    if (!MessageUrl(item.link, href, sizeof href)) {
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
    // Each of the title, author and text shows in its own script's direction.
    const bool whole =
        AppendAddressHeader(&message, "From", fromName, s->senderAddress) &&
        message.Format("To:%s\r\nDate:%s\r\n", kRecipient, s->headerDateClean) &&
        (s->messageId[0] == '\0' || message.Format("Message-ID:%s\r\n", s->messageId)) &&
        (s->replyId[0] == '\0' ||
         message.Format("In-Reply-To:%s\r\nReferences:%s\r\n", s->replyId, s->replyId)) &&
        message.Format("X-Mailer:Quillfeed %s\r\n%s", PlugInVersion, kContentType) &&
        AppendHeader(&message, "Subject", s->subject) &&
        message.Format(
            "\r\n"
            "<HTML>\r\n"
            "<HEAD>%s</HEAD>"
            "<BODY><div id=banner><h2 dir=\"auto\">%s</h2>"
            "<img border=0 style=\"visibility:%s;float:right;\" src=\"%s\"></div>"
            "<div id=author dir=\"auto\">%s</div>"
            "<div id=desc dir=\"auto\">%s</div>"
            "%s"
            "<div id=link><a href=\"%s\">%s</a></div>"
            "<div id=date>%s</div></BODY></HTML>",
            folder.stylesheetLink, s->htmlTitle, imageShown ? "visible" : "hidden", s->htmlImage,
            s->htmlAuthor, s->description, s->enclosures, s->htmlHref, s->htmlLinkText,
            s->htmlDate);
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
