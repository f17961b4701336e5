#include "feed/json_feed.h"

#include <nlohmann/json.hpp>

#include <cstring>
#include <memory>
#include <new>
#include <streambuf>
#include <string>

#include "base/text.h"
#include "base/url.h"

namespace {

// The bytes of a source as the parser's stream, read a piece at a time as they arrive.
class SourceBuffer final : public std::streambuf {
public:
    explicit SourceBuffer(XmlSource* source) : source_(source) {}
    bool Failed() const { return failed_; }

protected:
    int_type underflow() override {
        if (gptr() < egptr()) {
            return traits_type::to_int_type(*gptr());
        }
        const long got = done_ ? 0 : source_->Read(buffer_, sizeof buffer_);
        if (got <= 0) {
            done_ = true;
            failed_ = failed_ || got < 0;
            return traits_type::eof();
        }
        setg(buffer_, buffer_, buffer_ + got);
        return traits_type::to_int_type(*gptr());
    }

private:
    XmlSource* source_;
    char buffer_[16 * 1024];
    bool done_ = false;
    bool failed_ = false;
};

// Where a value of the document stands.
enum class Place : unsigned char {
    kRoot,
    kFeedAuthors,
    kFeedAuthor,
    kItems,
    kItem,
    kItemAuthors,
    kItemAuthor,
    kAttachments,
    kAttachment,
};

// The deepest the document's known places nest; anything deeper, or unknown, is skipped.
constexpr size_t kPlaceDepth = 8;
// The longest key the reader knows, and room to tell a longer one from it.
constexpr size_t kKeyCapacity = 32;

bool IsBlank(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (!IsAsciiSpace(text[i])) {
            return false;
        }
    }
    return true;
}

class JsonFeedHandler final : public nlohmann::json_sax<nlohmann::json> {
public:
    JsonFeedHandler(FeedItemCallback callback, void* context, const char* documentUrl)
        : callback_(callback), context_(context), documentUrl_(documentUrl) {
        memset(&record_, 0, sizeof record_);
        key_[0] = '\0';
        feedAuthor_[0] = '\0';
    }

    bool start_object(std::size_t) override { return Enter(false); }
    bool end_object() override { return Leave(); }
    bool start_array(std::size_t) override { return Enter(true); }
    bool end_array() override { return Leave(); }

    bool key(string_t& text) override {
        keyLength_ = text.size() < kKeyCapacity ? text.size() : kKeyCapacity;
        memcpy(key_, text.data(), keyLength_);
        key_[keyLength_] = '\0';
        return true;
    }

    bool string(string_t& text) override {
        if (skipped_ == 0 && depth_ > 0) {
            Take(text.data(), text.size());
        }
        return true;
    }
    // Numbers are kept as text: ids, sizes and durations as the feed wrote them.
    bool number_integer(number_integer_t value) override { return Number(std::to_string(value)); }
    bool number_unsigned(number_unsigned_t value) override { return Number(std::to_string(value)); }
    bool number_float(number_float_t, const string_t& written) override { return Number(written); }
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception& error) override {
        errorAt_ = position;
        static_cast<void>(CopyText(errorWords_, sizeof errorWords_, error.what()));
        return false;
    }

    std::size_t errorAt() const { return errorAt_; }
    const char* errorWords() const { return errorWords_; }

private:
    struct Frame {
        Place place;
        bool array;
    };

    bool Number(const std::string& text) {
        std::string copy = text;
        return string(copy);
    }

    bool Is(const char* key) const { return strcmp(key_, key) == 0; }

    // The place a new object or array stands in, by where it is and the key that names it;
    // false for one the reader does not know.
    bool PlaceOf(bool array, Place* place) const {
        if (depth_ == 0) {
            *place = Place::kRoot;
            return !array;
        }
        const Frame& parent = frames_[depth_ - 1];
        switch (parent.place) {
            case Place::kRoot:
                *place = Is("items")     ? Place::kItems
                         : Is("authors") ? Place::kFeedAuthors
                                         : Place::kFeedAuthor;
                return (Is("items") && array) || (Is("authors") && array) ||
                       (Is("author") && !array);
            case Place::kItems:
                *place = Place::kItem;
                return !array;
            case Place::kFeedAuthors:
                *place = Place::kFeedAuthor;
                return !array;
            case Place::kItemAuthors:
                *place = Place::kItemAuthor;
                return !array;
            case Place::kAttachments:
                *place = Place::kAttachment;
                return !array;
            case Place::kItem:
                *place = Is("attachments") ? Place::kAttachments
                         : Is("authors")   ? Place::kItemAuthors
                                           : Place::kItemAuthor;
                return (Is("attachments") && array) || (Is("authors") && array) ||
                       (Is("author") && !array);
            default:
                return false;
        }
    }

    bool Enter(bool array) {
        Place place;
        if (skipped_ > 0 || depth_ == kPlaceDepth || !PlaceOf(array, &place)) {
            ++skipped_;
            return true;
        }
        frames_[depth_++] = {place, array};
        if (place == Place::kItem) {
            EmptyItem();
        } else if (place == Place::kAttachment) {
            enclosure_ = record_.enclosureCount < kEnclosureCount
                             ? &record_.enclosures[record_.enclosureCount]
                             : nullptr;
            if (enclosure_ != nullptr) {
                memset(enclosure_, 0, sizeof *enclosure_);
            }
        }
        return true;
    }

    bool Leave() {
        if (skipped_ > 0) {
            --skipped_;
            return true;
        }
        if (depth_ == 0) {
            return true;
        }
        const Place place = frames_[--depth_].place;
        if (place == Place::kItem) {
            Deliver();
        } else if (place == Place::kAttachment && enclosure_ != nullptr) {
            // An attachment without an address is no file to reach.
            if (enclosure_->url[0] != '\0') {
                ++record_.enclosureCount;
            }
            enclosure_ = nullptr;
        }
        return true;
    }

    void EmptyItem() {
        record_.title[0] = '\0';
        record_.description[0] = '\0';
        record_.link[0] = '\0';
        record_.date[0] = '\0';
        record_.author[0] = '\0';
        record_.guid[0] = '\0';
        record_.baseUrl[0] = '\0';
        record_.titleIsHtml = false;
        record_.descriptionCut = false;
        record_.enclosureCount = 0;
        record_.thumbnail[0] = '\0';
        record_.duration[0] = '\0';
        textRank_ = linkRank_ = imageRank_ = dateRank_ = 0;
        enclosure_ = nullptr;
    }

    void Deliver() {
        if (record_.author[0] == '\0') {
            static_cast<void>(CopyText(record_.author, sizeof record_.author, feedAuthor_));
        }
        static_cast<void>(
            CopyText(record_.baseUrl, sizeof record_.baseUrl, documentUrl_ ? documentUrl_ : ""));
        if (callback_ != nullptr) {
            callback_(&record_, context_);
        }
    }

    // A text into a field, cut between characters.
    static void Copy(const char* text, size_t length, char* field, size_t capacity) {
        size_t used = 0;
        field[0] = '\0';
        static_cast<void>(AppendUtf8(field, capacity, &used, text, length));
    }

    // An address into a field, resolved against the document's.
    void Address(const char* text, size_t length, char* field, size_t capacity) {
        char written[kItemLinkCapacity];
        Copy(text, length, written, sizeof written);
        if (documentUrl_ == nullptr || documentUrl_[0] == '\0' ||
            !ResolveReference(documentUrl_, written, field, capacity, UrlFragment::kKeep)) {
            static_cast<void>(CopyText(field, capacity, written));
        }
    }

    // The item's text: HTML as written, plain text escaped; cut at the field's end between
    // elements, and said so.
    void Text(const char* text, size_t length, bool html) {
        TextWriter w(record_.description, sizeof record_.description);
        const bool whole = html ? w.PutUtf8(text, length) : w.PutEscapedHtml(text, length);
        record_.descriptionCut = !whole;
        if (!whole) {
            // What stays ends before any tag or reference the cut fell into.
            char* const open = strrchr(record_.description, '<');
            if (open != nullptr && strchr(open, '>') == nullptr) {
                *open = '\0';
            }
            char* const amp = strrchr(record_.description, '&');
            if (amp != nullptr && strchr(amp, ';') == nullptr) {
                *amp = '\0';
            }
        }
    }

    // Of the values that fill one field, the one of the highest rank stays; a blank one counts
    // as none.
    static bool Outranks(int rank, int* held, const char* text, size_t length) {
        if (rank <= *held || IsBlank(text, length)) {
            return false;
        }
        *held = rank;
        return true;
    }

    void Take(const char* text, size_t length) {
        const Place place = frames_[depth_ - 1].place;
        switch (place) {
            case Place::kRoot:
                if (Is("title")) {
                    Copy(text, length, record_.channelTitle, sizeof record_.channelTitle);
                } else if ((Is("icon") && Outranks(2, &iconRank_, text, length)) ||
                           (Is("favicon") && Outranks(1, &iconRank_, text, length))) {
                    Address(text, length, record_.imageUrl, sizeof record_.imageUrl);
                }
                return;
            case Place::kFeedAuthor:
                if (Is("name") && feedAuthor_[0] == '\0') {
                    Copy(text, length, feedAuthor_, sizeof feedAuthor_);
                }
                return;
            case Place::kItem:
                TakeItemValue(text, length);
                return;
            case Place::kItemAuthor:
                // The first author's name is the item's.
                if (Is("name") && record_.author[0] == '\0') {
                    Copy(text, length, record_.author, sizeof record_.author);
                }
                return;
            case Place::kAttachment:
                if (enclosure_ == nullptr) {
                    return;
                }
                if (Is("url")) {
                    Address(text, length, enclosure_->url, sizeof enclosure_->url);
                } else if (Is("mime_type")) {
                    Copy(text, length, enclosure_->type, sizeof enclosure_->type);
                } else if (Is("size_in_bytes")) {
                    Copy(text, length, enclosure_->length, sizeof enclosure_->length);
                } else if (Is("duration_in_seconds")) {
                    // Whole seconds, as the list of files shows them.
                    Copy(text, strcspn(text, "."), enclosure_->duration,
                         sizeof enclosure_->duration);
                }
                return;
            default:
                return;
        }
    }

    void TakeItemValue(const char* text, size_t length) {
        if (Is("id")) {
            Copy(text, length, record_.guid, sizeof record_.guid);
        } else if (Is("title")) {
            Copy(text, length, record_.title, sizeof record_.title);
        } else if ((Is("url") && Outranks(2, &linkRank_, text, length)) ||
                   (Is("external_url") && Outranks(1, &linkRank_, text, length))) {
            Address(text, length, record_.link, sizeof record_.link);
        } else if (Is("content_html") && Outranks(3, &textRank_, text, length)) {
            Text(text, length, true);
        } else if ((Is("content_text") && Outranks(2, &textRank_, text, length)) ||
                   (Is("summary") && Outranks(1, &textRank_, text, length))) {
            Text(text, length, false);
        } else if ((Is("image") && Outranks(2, &imageRank_, text, length)) ||
                   (Is("banner_image") && Outranks(1, &imageRank_, text, length))) {
            Address(text, length, record_.thumbnail, sizeof record_.thumbnail);
        } else if ((Is("date_published") && Outranks(2, &dateRank_, text, length)) ||
                   (Is("date_modified") && Outranks(1, &dateRank_, text, length))) {
            Copy(text, length, record_.date, sizeof record_.date);
        }
    }

    FeedItemCallback callback_;
    void* context_;
    const char* documentUrl_;
    FeedItem record_;
    FeedEnclosure* enclosure_ = nullptr;
    char feedAuthor_[kItemAuthorCapacity];
    Frame frames_[kPlaceDepth];
    size_t depth_ = 0;
    size_t skipped_ = 0;
    char key_[kKeyCapacity + 1];
    size_t keyLength_ = 0;
    int textRank_ = 0;
    int linkRank_ = 0;
    int imageRank_ = 0;
    int dateRank_ = 0;
    int iconRank_ = 0;
    std::size_t errorAt_ = 0;
    char errorWords_[kXmlErrorWordsCapacity] = {};
};

}  // namespace

XmlOutcome ReadJsonFeed(XmlSource* source, FeedItemCallback itemCallback, void* context,
                        const char* documentUrl, XmlError* error) {
    // The handler holds a whole item record, far more than a worker's stack can spare.
    std::unique_ptr<JsonFeedHandler> handler(
        new (std::nothrow) JsonFeedHandler(itemCallback, context, documentUrl));
    std::unique_ptr<SourceBuffer> buffer(new (std::nothrow) SourceBuffer(source));
    if (handler == nullptr || buffer == nullptr) {
        return XmlOutcome::kSourceFailed;
    }
    // The parser keeps its own stack of what is open, so that a document nested ever deeper
    // costs no stack of the worker's; the document ends with its value, whatever follows it.
    // Nothing it throws (no memory) leaves this function.
    bool read = false;
    try {
        std::istream stream(buffer.get());
        read = nlohmann::json::sax_parse(stream, handler.get(),
                                         nlohmann::json::input_format_t::json, false);
    } catch (...) {
        read = false;
    }
    if (read) {
        return XmlOutcome::kWellFormed;
    }
    if (buffer->Failed()) {
        return XmlOutcome::kSourceFailed;
    }
    if (error != nullptr) {
        error->line = 1;
        error->column = static_cast<unsigned long>(handler->errorAt());
        static_cast<void>(CopyText(error->words, sizeof error->words, handler->errorWords()));
    }
    return XmlOutcome::kMalformed;
}
