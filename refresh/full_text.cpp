#include "refresh/full_text.h"

#include <cstring>
#include <memory>
#include <new>

#include "base/settings_file.h"
#include "base/status.h"
#include "base/text.h"
#include "base/url.h"
#include "compose/article.h"
#include "compose/html_sanitizer.h"
#include "fetch/answer_stream.h"
#include "fetch/fetch.h"
#include "fetch/host_gate.h"
#include "refresh/refresh.h"

namespace {

// How much of the feed's text and of the article is compared to tell whether the one starts the
// other.
constexpr size_t kCompareCapacity = 8 * 1024;

bool IsWebPageType(const char* type) {
    const size_t length = strlen(type);
    return length == 0 || StartsWithAsciiWord(type, length, "text/html") ||
           StartsWithAsciiWord(type, length, "application/xhtml+xml");
}

// A teaser's text without the mark that says there is more ("...", "…", "[…]", "Read more").
void WithoutMoreMark(char* text) {
    size_t length = strlen(text);
    bool changed = true;
    while (changed) {
        changed = false;
        for (const char* mark : {"\xE2\x80\xA6", "...", "[]", "[", "]", "Read more", "read more",
                                 "Continue reading", " "}) {
            const size_t markLength = strlen(mark);
            if (length >= markLength && memcmp(text + length - markLength, mark, markLength) == 0) {
                length -= markLength;
                text[length] = '\0';
                changed = true;
            }
        }
    }
}

// Whether the feed's text is the start of the article: then only the article is shown.
bool SummaryStartsArticle(const char* summary, const char* article) {
    std::unique_ptr<char[]> summaryText(new (std::nothrow) char[kCompareCapacity]);
    std::unique_ptr<char[]> articleText(new (std::nothrow) char[kCompareCapacity]);
    if (summaryText == nullptr || articleText == nullptr) {
        return false;
    }
    static_cast<void>(HtmlToText(summary, summaryText.get(), kCompareCapacity));
    static_cast<void>(HtmlToText(article, articleText.get(), kCompareCapacity));
    WithoutMoreMark(summaryText.get());
    const size_t length = strlen(summaryText.get());
    return length == 0 || strncmp(summaryText.get(), articleText.get(), length) == 0;
}

// Adds the line that says why the article is missing under the feed's text, when it fits.
void SayNoArticle(FeedItem* item, const char* why) {
    char line[kStatusTextMax + 128];
    char escaped[kHtmlGrowth * sizeof line];
    if (FormatText(line, sizeof line, "The whole article could not be fetched: %s.", why) &&
        EscapeHtmlText(line, escaped, sizeof escaped)) {
        TextWriter text(item->description, sizeof item->description, strlen(item->description));
        static_cast<void>(text.Format("<p><i>%s</i></p>", escaped));
    }
    Trace("article of %s: %s", item->link, why);
}

// The page an item links to, read whole into `page` (kArticlePageLimit bytes and one more): its
// length, and the address it came from after redirects in `pageUrl`; 0, with `why` set, when it
// could not be had.
size_t FetchPage(Refresh* refresh, const char* link, char* page, char* pageUrl, size_t urlCapacity,
                 const char** why, char* whyText, size_t whyCapacity) {
    const long long left = refresh->deadlineMs - SteadyMilliseconds();
    if (left <= 0) {
        *why = "the refresh had no time left for it";
        return 0;
    }
    FetchLimits limits = refresh->limits;
    limits.deadlineMs = left < limits.deadlineMs ? static_cast<unsigned>(left) : limits.deadlineMs;
    limits.answerCeiling = kArticlePageLimit + 1;
    DownloadSettings settings;
    settings.userAgent = refresh->userAgent;
    settings.login = &refresh->login;
    settings.plainLogin = refresh->plainLogin;
    settings.proxySetting = refresh->proxySetting;
    settings.proxyLogin = &refresh->proxyLogin;
    std::unique_ptr<Download> download(new (std::nothrow) Download(link, limits, settings));
    if (download == nullptr) {
        *why = "out of memory";
        return 0;
    }
    if (!download->Open()) {
        static_cast<void>(CopyText(whyText, whyCapacity, download->Failure()));
        *why = whyText;
        return 0;
    }
    AnswerStream* answer = download->Answer();
    if (answer->Status() != 200) {
        static_cast<void>(
            answer->Status() == 404
                ? CopyText(whyText, whyCapacity, "the page was not found (404)")
                : FormatText(whyText, whyCapacity, "the server answered %d", answer->Status()));
        *why = whyText;
        return 0;
    }
    if (!IsWebPageType(answer->Fields().contentType)) {
        static_cast<void>(FormatText(whyText, whyCapacity, "it is no web page (%.60s)",
                                     answer->Fields().contentType));
        *why = whyText;
        return 0;
    }
    size_t length = 0;
    while (length <= kArticlePageLimit) {
        const long got = answer->Read(page + length, kArticlePageLimit + 1 - length);
        if (got <= 0) {
            break;
        }
        length += static_cast<size_t>(got);
    }
    if (length > kArticlePageLimit || answer->End() == AnswerEnd::kTooLarge) {
        static_cast<void>(FormatText(whyText, whyCapacity, "the page is larger than %u MB",
                                     static_cast<unsigned>(kArticlePageLimit >> 20)));
        *why = whyText;
        return 0;
    }
    if (answer->End() != AnswerEnd::kWhole) {
        const char* failure = download->Failure();
        static_cast<void>(
            CopyText(whyText, whyCapacity, failure != nullptr ? failure : "connection cut"));
        *why = whyText;
        return 0;
    }
    page[length] = '\0';
    static_cast<void>(CopyText(pageUrl, urlCapacity, download->AnswerUrl()));
    return length;
}

}  // namespace

void ReadFullTextSettings(Refresh* refresh) {
    char mode[16];
    ReadSetting(kFullTextSection, refresh->folderId, mode, sizeof mode);
    refresh->fullText = SameAsciiWord(mode, strlen(mode), "always")  ? FullTextMode::kAlways
                        : SameAsciiWord(mode, strlen(mode), "short") ? FullTextMode::kShort
                                                                     : FullTextMode::kOff;
    ReadSetting(kFullTextSelectorSection, refresh->folderId, refresh->fullTextSelector,
                sizeof refresh->fullTextSelector);
}

bool WantsArticle(FullTextMode mode, const FeedItem& item) {
    const size_t length = strlen(item.link);
    if (mode == FullTextMode::kOff || !(StartsWithAsciiWord(item.link, length, "http://") ||
                                        StartsWithAsciiWord(item.link, length, "https://"))) {
        return false;
    }
    if (mode == FullTextMode::kAlways) {
        return true;
    }
    // Short: fewer characters of plain text than a teaser has at the most.
    char text[4 * kShortTextCharacters];
    static_cast<void>(HtmlToText(item.description, text, sizeof text));
    size_t characters = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        characters += (static_cast<unsigned char>(*p) & 0xC0) != 0x80 ? 1 : 0;
    }
    return characters < kShortTextCharacters;
}

void ReadArticle(Refresh* refresh, FeedItem* item) {
    std::unique_ptr<char[]> page(new (std::nothrow) char[kArticlePageLimit + 2]);
    std::unique_ptr<char[]> found(new (std::nothrow) char[kItemDescriptionCapacity]);
    std::unique_ptr<char[]> clean(new (std::nothrow) char[kItemDescriptionCapacity]);
    std::unique_ptr<char[]> text(new (std::nothrow) char[kItemDescriptionCapacity]);
    if (page == nullptr || found == nullptr || clean == nullptr || text == nullptr) {
        SayNoArticle(item, "out of memory");
        return;
    }
    char pageUrl[kUrlCapacity + 8];
    const char* why = nullptr;
    char whyText[kStatusTextMax + 1];
    const size_t length = FetchPage(refresh, item->link, page.get(), pageUrl, sizeof pageUrl, &why,
                                    whyText, sizeof whyText);
    if (length == 0) {
        SayNoArticle(item, why != nullptr ? why : "the page is empty");
        return;
    }
    std::unique_ptr<ArticleFacts> facts(new (std::nothrow) ArticleFacts());
    if (facts == nullptr) {
        SayNoArticle(item, "out of memory");
        return;
    }
    switch (FindArticle(page.get(), length, refresh->fullTextSelector, found.get(),
                        kItemDescriptionCapacity, facts.get())) {
        case ArticleFound::kFound:
            break;
        case ArticleFound::kNone:
            SayNoArticle(item, refresh->fullTextSelector[0] != '\0'
                                   ? "the page holds nothing the folder's selector names"
                                   : "no article was found in the page");
            return;
        case ArticleFound::kBadSelector:
            SayNoArticle(item, "the folder's selector is none Quillfeed can read");
            return;
    }
    // Links and images resolve against the page's own base, else its address; the article is
    // sanitized as feed text is, so that it is whole and harmless however the page was written.
    char base[kUrlCapacity + 8];
    if (facts->base[0] == '\0' ||
        !ResolveReference(pageUrl, facts->base, base, sizeof base, UrlFragment::kDrop)) {
        static_cast<void>(CopyText(base, sizeof base, pageUrl));
    }
    const bool articleWhole =
        SanitizeHtml(found.get(), clean.get(), kItemDescriptionCapacity, base, item->thumbnail);
    TextWriter w(text.get(), kItemDescriptionCapacity);
    bool whole = true;
    if (!SummaryStartsArticle(item->description, clean.get())) {
        // The feed's text above the article when it leaves the article half the room at least;
        // a feed text that fills the message is kept alone, never cut for the article.
        if (strlen(item->description) + 32 > kItemDescriptionCapacity / 2) {
            SayNoArticle(item, "the feed's own text fills the message already");
            return;
        }
        whole = w.Put("<div>") && w.Put(item->description) && w.Put("</div><hr>");
    }
    whole = whole && PutMarkupBetweenElements(&w, kItemDescriptionCapacity, clean.get(),
                                              strlen(clean.get()));
    if (!whole && w.length() == 0) {
        SayNoArticle(item, "it does not fit a message");
        return;
    }
    static_cast<void>(CopyText(item->description, sizeof item->description, text.get()));
    item->descriptionCut = item->descriptionCut || !whole || !articleWhole || facts->cut;
    Trace("article of %s: %u bytes from %s", item->link,
          static_cast<unsigned>(strlen(item->description)), pageUrl);
}
