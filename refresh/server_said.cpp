#include "refresh/server_said.h"

#include <cstring>

#include "base/settings_file.h"
#include "base/status.h"
#include "base/text.h"
#include "base/url.h"
#include "compose/html_sanitizer.h"
#include "fetch/answer_header.h"
#include "fetch/answer_stream.h"
#include "refresh/refresh.h"

namespace {

// How long a host that says it is asked too often, without saying for how long, is left alone.
constexpr long long kUnsaidHold = 3600;

// Words that the pages of sites' bot checks hold, which no feed does.
const char* const kChallengeMarks[] = {"cf-chl", "challenge-platform", "Just a moment...",
                                       "Checking your browser", "captcha-delivery"};

// Whether a 403 or 503 is a site's check for a browser: its header says so, or its page is one.
bool IsBrowserCheck(AnswerStream* answer) {
    if (answer->Fields().challenge) {
        return true;
    }
    size_t length = 0;
    const char* page = answer->Lookahead(&length);
    for (const char* mark : kChallengeMarks) {
        if (strstr(page, mark) != nullptr) {
            return true;
        }
    }
    return false;
}

// Keeps the host of the refresh's address held until `until`.
bool HoldHost(const Refresh& refresh, unsigned until) {
    char host[kUrlCapacity];
    return FeedHost(refresh.url, host, sizeof host) &&
           WriteSettingUnsigned(kHostHoldsSection, host, until);
}

// Tells the folder once that its feed is gone.
void SayGone(Refresh* refresh) {
    char url[kHtmlGrowth * kUrlCapacity];
    char html[2 * kHtmlGrowth * kUrlCapacity + 512];
    if (EscapeHtmlText(refresh->url, url, sizeof url) &&
        FormatText(html, sizeof html,
                   "<p>The server says the feed at <a href=\"%s\">%s</a> is gone for good (410)."
                   "</p><p>Quillfeed no longer refreshes this folder on its own; Update RSS still "
                   "tries. If the site has a new feed, type its address in RSS Setup.</p>",
                   url, url)) {
        static_cast<void>(AppendNotice(refresh, "This feed is gone", html));
    }
}

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

namespace {

// What a 401 says, by how the download's login went.
const char* LoginWords(const Refresh& refresh, const Download& download) {
    switch (download.ServerLogin()) {
        case LoginOutcome::kRefused:
            return "the login was refused";
        case LoginOutcome::kPlainRefused:
            return "the server asks for a login over plain http";
        default:
            return refresh.loginUnreadable ? "the saved login cannot be read"
                                           : "the server asks for a login";
    }
}

}  // namespace

bool TakeStatus(Refresh* refresh, const Download& download) {
    AnswerStream* answer = download.Answer();
    const AnswerHeader& header = answer->Fields();
    const int status = header.status;
    if (status == 304) {
        refresh->failure = "no change";
        return false;
    }
    if (status == 0 || (status >= 200 && status < 300)) {
        return true;
    }
    const char* words = status == 404   ? "the feed was not found"
                        : status == 410 ? "the feed is gone"
                        : status == 401 ? LoginWords(*refresh, download)
                        : status == 403 ? "the server refused the feed"
                        : status == 429 ? "asked too often, the server says"
                        : status >= 500 ? "the server failed"
                                        : "the server did not give the feed";
    const bool browserCheck = (status == 403 || status == 503) && IsBrowserCheck(answer);
    TextWriter failure(refresh->failureText, sizeof refresh->failureText);
    failure.Format("%s (%d)", browserCheck ? "the site asks for a browser check" : words, status);
    refresh->failure = refresh->failureText;
    Trace("Fetch %s | Status %d\n", refresh->url, status);
    if (status == 410) {
        char gone[kUrlCapacity];
        const bool told = ReadSetting(kGoneSection, refresh->folderId, gone, sizeof gone) > 0 &&
                          strcmp(gone, refresh->url) == 0;
        if (WriteSetting(kGoneSection, refresh->folderId, refresh->url)) {
            failure.Put("; no more automatic refreshes");
            if (!told) {
                SayGone(refresh);
            }
        }
        return false;
    }
    const long long now = refresh->now;
    long long wait = (status == 429 || status == 503) && header.retryAfter[0] != '\0'
                         ? RetryAfterSeconds(header.retryAfter, now)
                         : -1;
    if (status == 429 && wait < 0) {
        wait = kUnsaidHold;
    }
    if (wait > 0) {
        const long long held =
            wait < static_cast<long long>(kLongestHoldSeconds) ? wait : kLongestHoldSeconds;
        if (HoldHost(*refresh, static_cast<unsigned>(now) + static_cast<unsigned>(held))) {
            failure.Format("; held %lld min", (held + 59) / 60);
        }
    }
    return false;
}
