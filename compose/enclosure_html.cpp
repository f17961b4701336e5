#include "compose/enclosure_html.h"

#include <cstring>
#include <initializer_list>

#include "base/text.h"
#include "base/url.h"
#include "compose/html_sanitizer.h"

namespace {

bool IsDigits(const char* text) {
    for (const char* at = text; *at != '\0'; ++at) {
        if (!IsAsciiDigit(*at)) {
            return false;
        }
    }
    return text[0] != '\0';
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
    UrlParts parts;
    SplitUrlReference(url, &parts);
    const size_t end = parts.path.at + parts.path.length;
    size_t start = end;
    while (start > parts.path.at && url[start - 1] != '/') {
        --start;
    }
    TextWriter name(out, capacity);
    static_cast<void>(start < end ? name.PutUtf8(url + start, end - start) : name.Put(url));
}

bool IsImageType(const char* type) {
    return StartsWithAsciiWord(type, strlen(type), "image/");
}

}  // namespace

bool FormatEnclosures(const FeedItem& item, bool textHasImage, char* out, size_t capacity) {
    TextWriter w(out, capacity);
    const char* image = item.thumbnail[0] != '\0' ? item.thumbnail : nullptr;
    bool whole = w.Put("<div id=enclosure>");
    bool any = false;
    for (size_t i = 0; i < item.enclosureCount && whole; ++i) {
        const FeedEnclosure& enclosure = item.enclosures[i];
        // The link as the wire carries it (in ASCII); one that cannot be put so is left out.
        char href[kUrlCheckCapacity];
        if (!MessageUrl(enclosure.url, href, sizeof href)) {
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
        char details[kEnclosureTypeCapacity + 2 * kEnclosureNumberCapacity + 8];
        TextWriter known(details, sizeof details);
        for (const char* part :
             {static_cast<const char*>(enclosure.type), static_cast<const char*>(size),
              static_cast<const char*>(duration)}) {
            if (part[0] != '\0') {
                static_cast<void>((known.length() == 0 || known.Put(", ")) && known.Put(part));
            }
        }
        whole = w.Put("<p><a href=\"") && w.PutEscapedHtml(href, strlen(href)) && w.Put("\">") &&
                w.PutEscapedHtml(name, strlen(name)) && w.Put("</a>") &&
                (details[0] == '\0' ||
                 (w.Put(" (") && w.PutEscapedHtml(details, strlen(details)) && w.Put(")"))) &&
                w.Put("</p>");
        any = true;
    }
    char src[kUrlCheckCapacity];
    if (whole && !textHasImage && image != nullptr && MessageUrl(image, src, sizeof src)) {
        whole = w.Put("<img src=\"") && w.PutEscapedHtml(src, strlen(src)) && w.Put("\">");
        any = true;
    }
    whole = whole && w.Put("</div>");
    if (!whole || !any) {
        w.TakeBack(0);
    }
    return whole;
}
