#include "compose/stylesheet_link.h"

#include "base/module.h"
#include "base/text.h"
#include "compose/html_sanitizer.h"
#include "platform/codepage.h"

bool StylesheetHref(const char* style, char* out, size_t capacity) {
    char path[kPathCapacity];
    char pathUtf8[kPathCapacity];
    return StylesheetPath(style, path, sizeof path) &&
           AnsiToUtf8(path, pathUtf8, sizeof pathUtf8) && EscapeHtmlText(pathUtf8, out, capacity);
}

bool AppendStylesheetLink(TextWriter* out, const char* escapedHref) {
    const size_t start = out->length();
    if (out->Put(kStyleLinkOpening) && out->Put(escapedHref) && out->Put(kStyleLinkClose)) {
        return true;
    }
    out->TakeBack(start);
    return false;
}
