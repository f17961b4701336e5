#include "compose/compose.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <string>
#include <unordered_set>

#include "platform.h"
#include "platform/codepage.h"
#include "platform/time_zone.h"
#include "compose/civil_time.h"
#include "compose/enclosure_html.h"
#include "compose/feed_date.h"
#include "compose/folder_index.h"
#include "compose/header_value.h"
#include "compose/html_sanitizer.h"
#include "compose/seen_record.h"
#include "compose/stylesheet_link.h"
#include "base/hostapi.h"
#include "base/module.h"
#include "base/status.h"
#include "base/text.h"
#include "base/settings_file.h"

namespace {

// The one recipient every item message is addressed to.
constexpr char kRecipient[] = "feeds@quillfeed.invalid";

constexpr size_t Escaped(size_t capacity) {
    return kHtmlGrowth * capacity;
}

// What a message whose text was cut says after it: the words and the item's link twice, escaped.
constexpr size_t kCutNoteCapacity = 2 * Escaped(kItemLinkCapacity) + 256;

// Everything one item needs, on the heap: a worker's stack also holds the fetcher's receive
// buffer, and this is larger than a default Windows thread stack can spare.
struct Scratch {
    // The folder whose stylesheet the fields below hold, for the rest of a refresh.
    bool styleReady = false;
    char styleFolder[kFolderIdCapacity];
    char message[kMessageCapacity];
    // The sanitized text, and room after it for the note that says where the rest is.
    char description[kDescriptionHtmlCapacity + kCutNoteCapacity];
    char enclosures[kEnclosureHtmlCapacity];
    char titleText[kItemTitleCapacity];
    char displayName[kDisplayNameCapacity];
    char sender[kDisplayNameCapacity];
    char style[kStyleNameCapacity];
    char stylesheetPath[kPathCapacity];
    char stylesheetPathUtf8[kPathCapacity];
    char headerDate[kFeedDateCapacity];
    char headerAuthor[kDisplayNameCapacity];
    char headerTitle[kItemTitleCapacity];
    char headerDateClean[kFeedDateCapacity];
    char indexTitle[kItemTitleCapacity];
    char htmlStylesheet[Escaped(kPathCapacity)];
    // The link element to it (compose/stylesheet_link.h).
    char stylesheetLink[Escaped(kPathCapacity) + 64];
    char htmlTitle[Escaped(kItemTitleCapacity)];
    char htmlImage[Escaped(kImageUrlCapacity)];
    char htmlAuthor[Escaped(kDisplayNameCapacity)];
    char htmlHref[Escaped(kItemLinkCapacity)];
    char htmlLinkText[Escaped(kItemLinkCapacity)];
    char htmlDate[Escaped(kFeedDateCapacity)];
};

// The fixed text of the template around the fourteen values, with room to spare for the
// Content-Type lines.
constexpr size_t kTemplateText = 1024;
// The most a header value of `capacity` bytes takes once encoded and folded (see header_value.h).
constexpr size_t Encoded(size_t capacity) {
    return 2 * capacity + 64;
}
static_assert(Encoded(kDisplayNameCapacity) + kFeedDateCapacity + sizeof PlugInVersion +
                      Encoded(kItemTitleCapacity) + sizeof(Scratch::stylesheetLink) +
                      sizeof(Scratch::htmlTitle) + sizeof(Scratch::htmlImage) +
                      sizeof(Scratch::htmlAuthor) + sizeof(Scratch::description) +
                      sizeof(Scratch::enclosures) + sizeof(Scratch::htmlHref) +
                      sizeof(Scratch::htmlLinkText) + sizeof(Scratch::htmlDate) + kTemplateText <=
                  kMessageCapacity,
              "every filled template fits the message text");

bool IsEmpty(const char* text) {
    return text == nullptr || text[0] == '\0';
}

// The local time now, as "Mon, 07 Dec 2026 21:15:23 +0800". The zone setting is read again
// first, so each item sees the zone in force at that moment.
void FormatCurrentTime(char* out, size_t capacity) {
    RefreshTimeZone();
    const time_t now = time(nullptr);
    struct tm local;
    struct tm universal;
    out[0] = '\0';
    if (!ToLocalTime(now, &local) || !ToUniversalTime(now, &universal)) {
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

// The folder's index file: the host's data folder, the folder id and "Folder.idx". False when
// the path does not fit, since a cut one names some other file.
bool IndexPath(const char* folderId, char* path, size_t capacity) {
    const char* dataFolder = g_hostApi.PXA_GetDataFolder ? g_hostApi.PXA_GetDataFolder() : nullptr;
    return FormatText(path, capacity, "%s" QF_PATH_SEPARATOR "%s" QF_PATH_SEPARATOR "Folder.idx",
                      dataFolder ? dataFolder : "", folderId);
}

// What this thread's refresh did so far, for the worker's report.
thread_local RefreshCounts t_counts;

// The record of the items this thread's folder has seen, while a SeenReading lives.
thread_local SeenRecord* t_seen = nullptr;
thread_local char t_seenFolder[kFolderIdCapacity];
// The subjects (in the index's form) that this refresh appended while the index decided.
thread_local std::unordered_set<std::string>* t_newTitles = nullptr;
// The scratch of this thread's refresh, made once for all its items rather than for each.
thread_local Scratch* t_scratch = nullptr;

// What this thread's duplicate checks have read of a folder's index, while an IndexReading lives.
thread_local FolderIndex* t_index = nullptr;

}  // namespace

int OnFeedItem(const FeedItem* item, const char* folderId) {
    if (item == nullptr || folderId == nullptr) {
        return 0;
    }
    // An item is known by its identity. One with no id, link, title or text has nothing to show
    // and nothing to know it by: it is no message (a feed of empty items would otherwise add one
    // at every refresh).
    const std::string identity =
        ItemIdentity(item->guid, item->link, item->title, item->description);
    if (identity.empty()) {
        QF_TRACE_DETAIL("an item of %s has no id, link, title or text: nothing to show", folderId);
        return 0;
    }
    SeenRecord* record =
        t_seen != nullptr && strcmp(t_seenFolder, folderId) == 0 ? t_seen : nullptr;
    const bool recordDecides = record != nullptr && record->state() == SeenRecord::State::kRead;
    if (record != nullptr && record->Holds(identity)) {
        // Whatever its title now, and whether or not the user kept its message.
        QF_TRACE_DETAIL("item %s of %s: seen before", identity.c_str(), folderId);
        ++t_counts.alreadyHere;
        return 1;
    }
    // A refresh keeps one scratch for all its items; an item composed on its own gets its own.
    std::unique_ptr<Scratch> own;
    Scratch* s = t_scratch;
    if (s == nullptr) {
        own.reset(new (std::nothrow) Scratch);
        s = own.get();
    }
    if (s == nullptr) {
        Trace("no memory for the message of %s", folderId);
        return 0;
    }

    // The sender: the channel's title, else the last level of the folder's display name (which
    // the host gives in its code page), else the folder's id. Never blanks only: an empty sender
    // would leave the host's index line an empty field.
    CleanHeaderValue(item->channelTitle, s->sender, sizeof s->sender);
    if (s->sender[0] == '\0') {
        const char* display = g_hostApi.PXA_GetFolderDisplayName
                                  ? g_hostApi.PXA_GetFolderDisplayName(folderId)
                                  : nullptr;
        // Only shown as the sender's name: a longer one is shown cut, and one that cannot be
        // converted is not shown.
        static_cast<void>(CopyText(s->displayName, sizeof s->displayName, display));
        char name[kDisplayNameCapacity];
        if (!AnsiToUtf8(LastPathComponent(s->displayName, "/"), name, sizeof name)) {
            name[0] = '\0';
        }
        CleanHeaderValue(name, s->sender, sizeof s->sender);
    }
    if (s->sender[0] == '\0' && !AnsiToUtf8(folderId, s->sender, sizeof s->sender)) {
        static_cast<void>(CopyText(s->sender, sizeof s->sender, "Quillfeed"));
    }

    char now[kTimeTextCapacity];
    FormatCurrentTime(now, sizeof now);

    // The folder's stylesheet, read and converted once a refresh: a path that does not fit would
    // name another file, and a style that is no file name of the style directory would reach
    // elsewhere; the message then links none, and the style is put in when it is shown, if it can
    // be there.
    if (!s->styleReady || strcmp(s->styleFolder, folderId) != 0) {
        ReadSetting(kStylesSection, folderId, s->style, sizeof s->style);
        if (!StylesheetPath(s->style, s->stylesheetPath, sizeof s->stylesheetPath) ||
            !AnsiToUtf8(s->stylesheetPath, s->stylesheetPathUtf8, sizeof s->stylesheetPathUtf8)) {
            Trace("no stylesheet path for %s", folderId);
            s->stylesheetPathUtf8[0] = '\0';
        }
        // The path fits its escaped room (kHtmlGrowth) whole, and the link its own.
        size_t linkLength = 0;
        s->styleReady =
            EscapeHtmlText(s->stylesheetPathUtf8, s->htmlStylesheet, sizeof s->htmlStylesheet) &&
            AppendStylesheetLink(s->stylesheetLink, sizeof s->stylesheetLink, &linkLength,
                                 s->htmlStylesheet) &&
            CopyText(s->styleFolder, sizeof s->styleFolder, folderId);
    }

    const char* headerDate = NormalizeFeedDate(item->date, s->headerDate, sizeof s->headerDate);
    if (headerDate == nullptr) {
        headerDate = NormalizeFeedDate(item->channelDate, s->headerDate, sizeof s->headerDate);
    }
    if (headerDate == nullptr) {
        headerDate = now;
    }
    const char* bodyDate = !IsEmpty(item->date)          ? item->date
                           : !IsEmpty(item->channelDate) ? item->channelDate
                                                         : now;
    // Header values on one line each; the Subject as written is also what the index lists. The
    // author is the item's, else the sender.
    CleanHeaderValue(item->author, s->headerAuthor, sizeof s->headerAuthor);
    if (s->headerAuthor[0] == '\0') {
        static_cast<void>(CopyText(s->headerAuthor, sizeof s->headerAuthor, s->sender));
    }
    const char* author = s->headerAuthor;
    CleanHeaderValue(headerDate, s->headerDateClean, sizeof s->headerDateClean);
    // A title written as HTML shows its text: its markup gone, its references decoded.
    if (item->titleIsHtml) {
        // A text cut to the title's room is still the start of the title.
        static_cast<void>(HtmlToText(item->title, s->titleText, sizeof s->titleText));
    } else {
        static_cast<void>(CopyText(s->titleText, sizeof s->titleText, item->title));
    }
    CleanHeaderValue(s->titleText, s->headerTitle, sizeof s->headerTitle);

    // The body is HTML that the client renders: plain values are escaped, URLs are only kept
    // when harmless, and the description passes the sanitizer.
    // Each buffer is sized for the most its value can grow (kHtmlGrowth), so none is ever cut.
    const bool showImage = !IsEmpty(item->imageUrl) && IsAllowedUrl(item->imageUrl, false);
    // Links and images of the text resolve against its base. A text longer than the message holds
    // was cut between elements: the reader is told, and pointed at the whole.
    const bool textCut =
        !SanitizeHtml(item->description, s->description, kDescriptionHtmlCapacity, item->baseUrl) ||
        item->descriptionCut;
    // Titles are optional: an untitled item gets a subject from the start of its description
    // (else its link), for the reader and for the index, where an empty one would never be found
    // and the item would be appended again at every refresh.
    const bool untitled = s->headerTitle[0] == '\0';
    if (untitled) {
        SubjectFromHtml(s->description, s->headerTitle, sizeof s->headerTitle);
    }
    if (s->headerTitle[0] == '\0') {
        CleanHeaderValue(item->link, s->headerTitle, sizeof s->headerTitle);
    }
    bool escaped =
        s->styleReady &&
        EscapeHtmlText(untitled ? s->headerTitle : s->titleText, s->htmlTitle,
                       sizeof s->htmlTitle) &&
        EscapeHtmlText(showImage ? item->imageUrl : "", s->htmlImage, sizeof s->htmlImage) &&
        EscapeHtmlText(author, s->htmlAuthor, sizeof s->htmlAuthor) &&
        EscapeHtmlText(IsAllowedUrl(item->link, false) ? item->link : "", s->htmlHref,
                       sizeof s->htmlHref) &&
        EscapeHtmlText(item->link, s->htmlLinkText, sizeof s->htmlLinkText) &&
        EscapeHtmlText(bodyDate, s->htmlDate, sizeof s->htmlDate) &&
        FormatEnclosures(*item, strstr(s->description, "<img") != nullptr, s->enclosures,
                         sizeof s->enclosures);
    if (escaped && textCut) {
        const size_t end = strlen(s->description);
        escaped = s->htmlHref[0] != '\0'
                      ? FormatText(s->description + end, sizeof s->description - end,
                                   "<p><i>This item is longer than a message holds. The whole of "
                                   "it is at <a href=\"%s\">%s</a>.</i></p>",
                                   s->htmlHref, s->htmlLinkText)
                      : FormatText(s->description + end, sizeof s->description - end, "%s",
                                   "<p><i>This item is longer than a message holds, and was cut "
                                   "here.</i></p>");
    }

    size_t used = 0;
    s->message[0] = '\0';
    bool whole = AppendHeader(s->message, sizeof s->message, &used, "From", s->headerAuthor) &&
                 FormatText(s->message + used, sizeof s->message - used,
                            "To:%s\r\n"
                            "Date:%s\r\n"
                            "X-Mailer:Quillfeed %s\r\n"
                            "%s",
                            kRecipient, s->headerDateClean, PlugInVersion, kContentType);
    used += strlen(s->message + used);
    whole = whole && AppendHeader(s->message, sizeof s->message, &used, "Subject", s->headerTitle);
    whole =
        whole && FormatText(s->message + used, sizeof s->message - used,
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
                            s->stylesheetLink, s->htmlTitle, showImage ? "visible" : "hidden",
                            s->htmlImage, s->htmlAuthor, s->description, s->enclosures, s->htmlHref,
                            s->htmlLinkText, s->htmlDate);
    if (!escaped || !whole) {
        // Cannot happen with the record's capacities (see the assertion above); a cut message
        // would be a broken one.
        Trace("message for %s does not fit", folderId);
        return 0;
    }

    // Without an index to check, every item would be appended again at every refresh.
    char indexPath[kPathCapacity];
    if (!IndexPath(folderId, indexPath, sizeof indexPath)) {
        Trace("Open Idx file %s failed.\n", indexPath);
        return 0;
    }
    if (!recordDecides) {
        // Without a record to go by (a folder refreshed for the first time since records were
        // kept, or one whose record is unreadable) the index decides once, by the subject as the
        // host reads the header: decoded into its code page.
        if (!Utf8ToAnsi(s->headerTitle, strlen(s->headerTitle), s->indexTitle,
                        sizeof s->indexTitle)) {
            Trace("no index form of the subject of an item of %s", folderId);
            return 0;
        }
        // A subject this refresh appended itself is no message of before: a second item with the
        // same title is another item.
        if (IsDuplicateSubject(folderId, s->indexTitle) &&
            (t_newTitles == nullptr || t_newTitles->count(s->indexTitle) == 0)) {
            QF_TRACE_DETAIL("item %s of %s: listed in the index", identity.c_str(), folderId);
            if (record != nullptr) {
                record->Add(identity);
            }
            ++t_counts.alreadyHere;
            return 1;
        }
    }
    if (g_hostApi.PXA_AppendMessage == nullptr) {
        return 0;
    }
    QF_TRACE_DETAIL("item %s of %s: new", identity.c_str(), folderId);
    const int appended = g_hostApi.PXA_AppendMessage(folderId, s->message);
    // An item the host did not take is not recorded: the next refresh tries it again.
    if (appended != 0 && record != nullptr) {
        record->Add(identity);
    }
    if (appended != 0 && !recordDecides && t_newTitles != nullptr) {
        t_newTitles->insert(s->indexTitle);
    }
    ++t_counts.appended;
    return appended;
}

RefreshCounts TakeRefreshCounts() {
    const RefreshCounts counts = t_counts;
    t_counts = RefreshCounts();
    return counts;
}

SeenReading::SeenReading(const char* folderId) {
    if (t_seen == nullptr && folderId != nullptr &&
        CopyText(t_seenFolder, sizeof t_seenFolder, folderId)) {
        owner_ = true;
        t_seen = new (std::nothrow) SeenRecord(folderId);
        t_newTitles = new (std::nothrow) std::unordered_set<std::string>;
        t_scratch = new (std::nothrow) Scratch;
    }
}

SeenReading::~SeenReading() {
    if (!owner_) {
        return;
    }
    if (t_seen != nullptr) {
        // Written before the count is taken, so that a record that could not be kept is said.
        t_seen->SaveIfChanged();
        if (t_seen->trouble()[0] != '\0') {
            t_counts.trouble = t_seen->trouble();
        }
        delete t_seen;
        t_seen = nullptr;
    }
    delete t_newTitles;
    t_newTitles = nullptr;
    delete t_scratch;
    t_scratch = nullptr;
}

bool IsDuplicateSubject(const char* folderId, const char* subject) {
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
        t_index != nullptr ? t_index->Lists(path, subject, length) : IndexAnswer::kUnknown;
    if (answer == IndexAnswer::kUnknown) {
        answer = ScanIndexFile(path, subject, length);
    }
    if (answer == IndexAnswer::kNoIndex) {
        Trace("Open Idx file %s failed.\n", path);
    }
    return answer == IndexAnswer::kListed;
}

IndexReading::IndexReading() {
    if (t_index == nullptr) {
        t_index = new (std::nothrow) FolderIndex;
        owner_ = t_index != nullptr;
    }
}

IndexReading::~IndexReading() {
    if (owner_) {
        delete t_index;
        t_index = nullptr;
    }
}
