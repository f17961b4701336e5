#include "refresh/server_said.h"

#include <cstring>
#include <ctime>

#include "base/settings_file.h"
#include "base/status.h"
#include "base/text.h"
#include "fetch/answer_header.h"
#include "refresh/refresh.h"

namespace {

// The longest pause a server may ask for.
constexpr long long kLongestHold = 7 * 24 * 3600;

// The validator a section keeps for `url`: what follows the address and a blank.
bool ReadValidator(const char* section, const char* folderId, const char* url, char* out,
                   size_t capacity) {
    char kept[kUrlCapacity + kValidatorCapacity + 2];
    out[0] = '\0';
    if (ReadSetting(section, folderId, kept, sizeof kept) == 0) {
        return false;
    }
    const size_t length = strlen(url);
    return strncmp(kept, url, length) == 0 && kept[length] == ' ' && kept[length + 1] != '\0' &&
           CopyText(out, capacity, kept + length + 1);
}

// Writes `value` after `url` into the section, or removes the folder's entry when the answer
// has none; only when that changes what is kept.
void KeepValidator(const char* section, const char* folderId, const char* url, const char* value) {
    char kept[kValidatorCapacity];
    const bool has = value[0] != '\0' && IsSettingText(value);
    const bool had = ReadValidator(section, folderId, url, kept, sizeof kept);
    if (has && (!had || strcmp(kept, value) != 0)) {
        char entry[kUrlCapacity + kValidatorCapacity + 2];
        if (!FormatText(entry, sizeof entry, "%s %s", url, value) ||
            !WriteSetting(section, folderId, entry)) {
            Trace("Fetch %s | cannot keep the [%s]", url, section);
        }
    } else if (!has && had && !DeleteSetting(section, folderId)) {
        Trace("Fetch %s | cannot forget the [%s]", url, section);
    }
}

}  // namespace

void ConditionalLines(const char* folderId, const char* url, char* out, size_t capacity) {
    TextWriter lines(out, capacity);
    char etag[kValidatorCapacity];
    char modified[kValidatorCapacity];
    if (ReadValidator(kETagSection, folderId, url, etag, sizeof etag)) {
        lines.Format("If-None-Match: %s\r\n", etag);
    }
    if (ReadValidator(kLastModifiedSection, folderId, url, modified, sizeof modified)) {
        lines.Format("If-Modified-Since: %s\r\n", modified);
    }
}

void KeepValidators(const char* folderId, const char* url, const AnswerHeader& header) {
    KeepValidator(kETagSection, folderId, url, header.etag);
    KeepValidator(kLastModifiedSection, folderId, url, header.lastModified);
}

bool TakeStatus(Refresh* refresh, const AnswerHeader& header) {
    const int status = header.status;
    if (status == 304) {
        refresh->failure = "no change";
        return false;
    }
    if (status == 0 || (status >= 200 && status < 300)) {
        return true;
    }
    const char* words = status == 404                    ? "the feed was not found"
                        : status == 410                  ? "the feed is gone"
                        : status == 401 || status == 403 ? "the server refused the feed"
                        : status == 429                  ? "asked too often, the server says"
                        : status >= 500                  ? "the server failed"
                                                         : "the server did not give the feed";
    TextWriter failure(refresh->failureText, sizeof refresh->failureText);
    failure.Format("%s (%d)", words, status);
    refresh->failure = refresh->failureText;
    Trace("Fetch %s | Status %d\n", refresh->url, status);
    if (status == 410) {
        if (WriteSetting(kGoneSection, refresh->folderId, refresh->url)) {
            failure.Put("; no more automatic refreshes");
        }
        return false;
    }
    const long long wait =
        (status == 429 || status == 503) && header.retryAfter[0] != '\0'
            ? RetryAfterSeconds(header.retryAfter, static_cast<long long>(time(nullptr)))
            : -1;
    if (wait > 0) {
        const long long held = wait < kLongestHold ? wait : kLongestHold;
        const unsigned until = static_cast<unsigned>(time(nullptr)) + static_cast<unsigned>(held);
        if (WriteSettingUnsigned(kHeldUntilSection, refresh->folderId, until)) {
            failure.Format("; held %lld min", (held + 59) / 60);
        }
    }
    return false;
}
