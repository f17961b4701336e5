#include "compose/enclosure_html.h"

#include <cstring>
#include <initializer_list>

#include "base/text.h"
#include "compose/html_sanitizer.h"

namespace {

bool IsDigits(const char* text) {
    return text[0] != '\0' && strspn(text, "0123456789") == strlen(text);
}

// A size in bytes as people read it ("24.3 MB"); "" for a size that is no number or is 0, which
// feeds write when they do not know it.
void FormatSize(const char* bytes, char* out, size_t capacity) {
    out[0] = '\0';
    if (!IsDigits(bytes) || strlen(bytes) > 15) {
        return;
    }
    unsigned long long value = 0;
    for (const char* at = bytes; *at != '\0'; ++at) {
        value = value * 10 + static_cast<unsigned long long>(*at - '0');
    }
    if (value == 0) {
        return;
    }
    static const char* const kUnits[] = {"bytes", "KB", "MB", "GB", "TB"};
    size_t unit = 0;
    unsigned long long tenths = value * 10;
    while (tenths >= 10240 && unit + 1 < sizeof kUnits / sizeof *kUnits) {
        tenths /= 1024;
        ++unit;
    }
    static_cast<void>(unit == 0 ? FormatText(out, capacity, "%llu bytes", value)
                                : FormatText(out, capacity, "%llu.%llu %s", tenths / 10,
                                             tenths % 10, kUnits[unit]));
}

// A duration as a clock ("1:02:03"), from seconds ("3723") or as the feed wrote it.
void FormatDuration(const char* written, char* out, size_t capacity) {
    if (!IsDigits(written) || strlen(written) > 9) {
        static_cast<void>(CopyText(out, capacity, written));
        return;
    }
    unsigned long seconds = 0;
    for (const char* at = written; *at != '\0'; ++at) {
        seconds = seconds * 10 + static_cast<unsigned long>(*at - '0');
    }
    static_cast<void>(seconds >= 3600
                          ? FormatText(out, capacity, "%lu:%02lu:%02lu", seconds / 3600,
                                       seconds / 60 % 60, seconds % 60)
                          : FormatText(out, capacity, "%lu:%02lu", seconds / 60, seconds % 60));
}

// The name a link to a file shows: the last segment of its path, else the whole URL.
void FileName(const char* url, char* out, size_t capacity) {
    const size_t pathEnd = strcspn(url, "?#");
    size_t start = pathEnd;
    while (start > 0 && url[start - 1] != '/') {
        --start;
    }
    // The path begins after the server's name, when the URL has one.
    const char* scheme = strstr(url, "://");
    const char* path = scheme != nullptr ? scheme + 3 + strcspn(scheme + 3, "/?#") : url;
    const bool hasName = start < pathEnd && url + start > path;
    size_t used = 0;
    out[0] = '\0';
    static_cast<void>(hasName ? AppendUtf8(out, capacity, &used, url + start, pathEnd - start)
                              : CopyText(out, capacity, url));
}

bool IsImageType(const char* type) {
    return strncmp(type, "image/", 6) == 0;
}

}  // namespace

bool FormatEnclosures(const FeedItem& item, bool textHasImage, char* out, size_t capacity) {
    if (capacity == 0) {
        return false;
    }
    out[0] = '\0';
    const char* image = item.thumbnail[0] != '\0' ? item.thumbnail : nullptr;
    bool whole = AppendText(out, capacity, "<div id=enclosure>");
    bool any = false;
    for (size_t i = 0; i < item.enclosureCount && whole; ++i) {
        const FeedEnclosure& enclosure = item.enclosures[i];
        if (!IsAllowedUrl(enclosure.url, false)) {
            continue;
        }
        if (image == nullptr && IsImageType(enclosure.type)) {
            image = enclosure.url;
        }
        char name[kItemLinkCapacity];
        FileName(enclosure.url, name, sizeof name);
        char size[kEnclosureNumberCapacity];
        FormatSize(enclosure.length, size, sizeof size);
        // The item's duration belongs to its episode: the first file without one of its own.
        char duration[kEnclosureNumberCapacity];
        FormatDuration(enclosure.duration[0] != '\0' ? enclosure.duration
                       : i == 0                      ? item.duration
                                                     : "",
                       duration, sizeof duration);
        // What is known about the file, in parentheses: "(audio/mpeg, 24.3 MB, 1:02:03)".
        char details[kEnclosureTypeCapacity + 2 * kEnclosureNumberCapacity + 8] = "";
        for (const char* part :
             {static_cast<const char*>(enclosure.type), static_cast<const char*>(size),
              static_cast<const char*>(duration)}) {
            if (part[0] != '\0') {
                static_cast<void>(
                    (details[0] != '\0' ? AppendText(details, sizeof details, ", ") : true) &&
                    AppendText(details, sizeof details, part));
            }
        }
        char htmlUrl[kHtmlGrowth * kItemLinkCapacity];
        char htmlName[kHtmlGrowth * kItemLinkCapacity];
        char htmlDetails[kHtmlGrowth * sizeof details];
        whole = EscapeHtmlText(enclosure.url, htmlUrl, sizeof htmlUrl) &&
                EscapeHtmlText(name, htmlName, sizeof htmlName) &&
                EscapeHtmlText(details, htmlDetails, sizeof htmlDetails) &&
                AppendText(out, capacity, "<p><a href=\"") && AppendText(out, capacity, htmlUrl) &&
                AppendText(out, capacity, "\">") && AppendText(out, capacity, htmlName) &&
                AppendText(out, capacity, "</a>") &&
                (htmlDetails[0] == '\0' ||
                 (AppendText(out, capacity, " (") && AppendText(out, capacity, htmlDetails) &&
                  AppendText(out, capacity, ")"))) &&
                AppendText(out, capacity, "</p>");
        any = true;
    }
    if (whole && !textHasImage && image != nullptr && IsAllowedUrl(image, false)) {
        char htmlImage[kHtmlGrowth * kImageUrlCapacity];
        whole = EscapeHtmlText(image, htmlImage, sizeof htmlImage) &&
                AppendText(out, capacity, "<img src=\"") && AppendText(out, capacity, htmlImage) &&
                AppendText(out, capacity, "\">");
        any = true;
    }
    whole = whole && AppendText(out, capacity, "</div>");
    if (!whole || !any) {
        out[0] = '\0';
    }
    return whole;
}
