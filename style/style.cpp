#include "style/style.h"

#include <climits>
#include <cstring>

#include "platform/files.h"
#include "platform/theme.h"
#include "base/hostapi.h"
#include "base/module.h"
#include "base/pxapi.h"
#include "base/status.h"
#include "base/text.h"
#include "base/settings_file.h"
#include "compose/stylesheet_link.h"

namespace {

const char kHeadEndMarker[] = "</HEAD>";
const char kShownMessageId[] = "TEMP";

// What the rewrite adds at most beyond the source and the path: the new element's two fixed
// parts and the terminator, less the marker that is always dropped.
constexpr size_t kRewriteGrowth = (sizeof kStyleLinkOpening - 1) + (sizeof kStyleLinkClose - 1) +
                                  1 - (sizeof kStyleLinkMarker - 1);

}  // namespace

const char* FindMessageBody(const char* source) {
    for (const char* line = source; *line != '\0';) {
        if (line[0] == '\n') {
            return line + 1;
        }
        if (line[0] == '\r' && line[1] == '\n') {
            return line + 2;
        }
        const char* end = strchr(line, '\n');
        if (end == nullptr) {
            break;
        }
        line = end + 1;
    }
    return source;
}

unsigned RewriteBlockSize(size_t sourceLength, size_t hrefLength) {
    size_t extra = kStyleBlockExtra;
    // Detect and prevent integer overflow
    if (hrefLength > SIZE_MAX - kRewriteGrowth) {
        return 0;
    }
    if (hrefLength + kRewriteGrowth > extra) {
        extra = hrefLength + kRewriteGrowth;
    }
    // Detect and prevent integer overflow
    if (sourceLength > UINT_MAX - extra) {
        return 0;
    }
    return static_cast<unsigned>(sourceLength + extra);
}

bool RewriteStylesheetLink(const char* source, const char* cssHref, char* block, size_t capacity) {
    if (capacity == 0) {
        return false;
    }
    block[0] = '\0';
    const char* link = strstr(FindMessageBody(source), kStyleLinkMarker);
    if (link == nullptr) {
        return false;
    }
    const char* headEnd = strstr(link, kHeadEndMarker);
    if (headEnd == nullptr) {
        return false;
    }
    TextWriter writer(block, capacity);
    const bool fits = writer.Put(source, static_cast<size_t>(link - source)) &&
                      AppendStylesheetLink(&writer, cssHref) && writer.Put(headEnd);
    if (!fits) {
        block[0] = '\0';
    }
    return fits;
}

int QF_CALL PXC_OnOpenMail(const char* mailId) {
    const char* folder = g_hostApi.PXA_GetCurrentFolder();
    Trace("OnOpenMail: %s", mailId ? mailId : "");
    if (folder == nullptr) {
        return 0;
    }
    // An id that does not fit is left alone: cut, it would name another folder's settings.
    char folderId[kFolderIdCapacity];
    if (!CopyText(folderId, sizeof folderId, folder)) {
        return 0;
    }
    Trace("current folder: %s", folderId);

    char url[kUrlCapacity];
    if (!ReadFeedUrl(folderId, url, sizeof url)) {
        Trace("Not a rss folder: %s", folderId);
        return 0;
    }
    const char* source = g_hostApi.PXA_GetSource(mailId);
    if (source == nullptr) {
        return 0;
    }
    QF_TRACE_DETAIL("shown message: %s", source);

    char style[kStyleNameCapacity];
    ReadSetting(kStylesSection, folderId, style, sizeof style);
    Trace("Style: %s", style);
    // In the dark theme, the style's dark sibling when the style directory has one. Only the
    // link on display changes: the stored message keeps the one it was written with.
    char dark[kStyleNameCapacity];
    char darkPath[kPathCapacity];
    if (AppsUseDarkTheme() && DarkStyleName(style, dark, sizeof dark) &&
        StylesheetPath(dark, darkPath, sizeof darkPath) && PathExists(darkPath)) {
        static_cast<void>(CopyText(style, sizeof style, dark));
        Trace("dark style: %s", style);
    }
    // A cut path names some other file, and a value that is no file name of the style directory
    // would reach elsewhere or end the link: the message then keeps the link it was stored with.
    char cssHref[kEscapedPathCapacity];
    if (!StylesheetHref(style, cssHref, sizeof cssHref)) {
        Trace("no stylesheet path for style %s", style);
        return 0;
    }
    QF_TRACE_DETAIL("stylesheet: %s", cssHref);

    unsigned size = RewriteBlockSize(strlen(source), strlen(cssHref));
    if (size == 0) {
        Trace("the shown message is too long to restyle");
        return 0;
    }
    char* block = static_cast<char*>(g_hostApi.PXA_Alloc(size));
    if (block == nullptr) {
        Trace("no memory of the host's for the restyled message (%u bytes)", size);
        return 0;
    }
    block[0] = '\0';

    if (RewriteStylesheetLink(source, cssHref, block, size)) {
        QF_TRACE_DETAIL("stylesheet link replaced in %s", mailId ? mailId : "");
        g_hostApi.PXA_SetSource(kShownMessageId, block);
        QF_TRACE_DETAIL("restyled message shown: %s", mailId ? mailId : "");
    }
    g_hostApi.PXA_Free(block);
    QF_TRACE_DETAIL("restyling of %s done", mailId ? mailId : "");
    return 0;
}
