// Fuzzes the whole path of a refresh after its download: any bytes, as the fetcher hands on an
// answer, through the document-start search, the reader and the composer into a stand-in store,
// which checks that every message it is handed is well formed: bounded, a header of named lines
// (or folded continuations) ended by the first empty line, and a body that is the template's.
// A JSON Feed document is checked against a plain reading of it too: never more messages than it
// has items with something to know them by, and as many when each has an id of its own.
//
// Seeds: fuzz/seeds/fuzz_feed_document (answers with their HTTP header), the reader's documents
// in fuzz/seeds/fuzz_parse_feed and the real feeds of the shared corpus (../shared/corpus/feeds),
// which stay outside the repository. libFuzzer adds what it finds to the first folder it is
// given, so that one is a scratch folder. From the project's root, after a build with
// -DQF_FUZZ=ON in build-fuzz:
//   ./build-fuzz/fuzz_feed_document -dict=fuzz/feed.dict SCRATCH fuzz/seeds/fuzz_feed_document
//       fuzz/seeds/fuzz_parse_feed ../shared/corpus/feeds   (all on one line)
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <nlohmann/json.hpp>

#include <set>
#include <string>

#include "feed/discovery.h"
#include "fetch/answer_stream.h"
#include "refresh/refresh.h"
#include "base/hostapi.h"
#include "base/module.h"
#include "base/text.h"

namespace {

// No index and no settings exist there, so every item is new and every setting its default, and
// no run changes what the next one sees.
const char kDataFolder[] = "/nonexistent-quillfeed-fuzz";
const char kSettings[] = "/nonexistent-quillfeed-fuzz/pxQuillfeed.ini";

const char* QF_CALL DataFolder(void) {
    return kDataFolder;
}

const char* QF_CALL DisplayName(const char*) {
    return "Feeds/Fuzz";
}

bool StartsWith(const char* text, const char* start) {
    return strncmp(text, start, strlen(start)) == 0;
}

bool IsHeaderLine(const char* line, const char* end) {
    if (line < end && (*line == ' ' || *line == '\t')) {
        return true;  // a folded continuation of the line before
    }
    const char* at = line;
    while (at<end&& * at> ' ' && *at < 0x7F && *at != ':') {
        ++at;
    }
    return at > line && at < end && *at == ':';
}

void CheckMessage(const char* message) {
    const size_t length = strnlen(message, kMessageCapacity);
    if (length >= kMessageCapacity) {
        abort();
    }
    const char* headerEnd = strstr(message, "\r\n\r\n");
    if (headerEnd == nullptr) {
        abort();
    }
    const char* line = message;
    if (*line == ' ' || *line == '\t') {
        abort();  // the first line cannot continue another
    }
    while (line < headerEnd + 2) {
        const char* lineEnd = strstr(line, "\r\n");
        if (!IsHeaderLine(line, lineEnd)) {
            abort();
        }
        for (const char* at = line; at < lineEnd; ++at) {
            if (*at == '\r' || *at == '\n') {
                abort();
            }
        }
        line = lineEnd + 2;
    }
    const char* body = headerEnd + 4;
    const char* finish = "</div></BODY></HTML>";
    const size_t finishLength = strlen(finish);
    const size_t bodyLength = length - static_cast<size_t>(body - message);
    if (!StartsWith(body, "<HTML>\r\n<HEAD>") || bodyLength < finishLength ||
        strcmp(body + bodyLength - finishLength, finish) != 0) {
        abort();
    }
}

int g_messages = 0;

int QF_CALL Append(const char* folderId, const char* message) {
    if (folderId == nullptr || strcmp(folderId, "Fuzz") != 0 || message == nullptr) {
        abort();
    }
    CheckMessage(message);
    ++g_messages;
    return 1;
}

bool HasText(const nlohmann::json& value) {
    if (value.is_number()) {
        return true;
    }
    if (!value.is_string()) {
        return false;
    }
    // The reader's fields end at a NUL, as every text of the system does.
    for (const char c : value.get_ref<const std::string&>()) {
        if (c == '\0') {
            break;
        }
        if (c != ' ' && (c < '\t' || c > '\r')) {
            return true;
        }
    }
    return false;
}

// The id of an item as the reader keeps it: a string, trimmed and up to a NUL, or an integer as
// its digits; "" for none or one of another kind.
std::string PlainId(const nlohmann::json& item) {
    if (!item.is_object() || !item.contains("id")) {
        return "";
    }
    const nlohmann::json& id = item["id"];
    std::string text = id.is_number_integer() ? id.dump()
                       : id.is_string()       ? id.get<std::string>()
                                              : "";
    text = text.substr(0, text.find('\0'));
    const size_t start = text.find_first_not_of(" \t\r\n");
    const size_t end = text.find_last_not_of(" \t\r\n");
    return start == std::string::npos ? "" : text.substr(start, end - start + 1);
}

// What a whole-document parser reads of a JSON Feed document: how many objects the root's
// "items" array holds that have an id, an address, a title or a text (`*known`), and whether each
// of them has an id of its own, none twice and none longer than an id's room (`*ownIds`). False
// for a text that is no JSON, or one whose root names "items" twice (the plain parser keeps one).
bool PlainReading(const std::string& text, int* known, bool* ownIds) {
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (document.is_discarded() || text.find("\"items\"") != text.rfind("\"items\"")) {
        return false;
    }
    *known = 0;
    *ownIds = true;
    if (!document.is_object() || !document.contains("items") || !document["items"].is_array()) {
        return true;
    }
    static const char* const kNamed[] = {"id",           "url",          "external_url", "title",
                                         "content_html", "content_text", "summary"};
    std::set<std::string> ids;
    for (const nlohmann::json& item : document["items"]) {
        bool named = false;
        for (const char* name : kNamed) {
            named = named || (item.is_object() && item.contains(name) && HasText(item[name]));
        }
        if (!named) {
            continue;
        }
        ++*known;
        const std::string id = PlainId(item);
        *ownIds = *ownIds && !id.empty() && id.size() < 1000 && ids.insert(id).second;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_hostApi.PXA_GetDataFolder = DataFolder;
    g_hostApi.PXA_GetFolderDisplayName = DisplayName;
    g_hostApi.PXA_AppendMessage = Append;
    g_hostApi.PXA_SetMessageText = nullptr;
    static_cast<void>(CopyText(SettingsFilePath, sizeof SettingsFilePath, kSettings));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // As the fetcher hands an answer on: read as HTTP as it arrives, every byte of it.
    g_messages = 0;
    TextAnswerSource source(reinterpret_cast<const char*>(data), size);
    AnswerStream* answer = new AnswerStream(&source, kAnswerLimit);
    if (answer->ReadHeader()) {
        std::unique_ptr<Refresh> refresh = MakeRefresh("http://fuzz.example/feed.xml", "Fuzz");
        if (refresh != nullptr) {
            ReadFeedItems(refresh.get(), answer, "http://fuzz.example/feed.xml");
        }
    }
    delete answer;
    // A body without a status line, that is JSON, and holds no byte that ends a text early.
    if (size > 0 && data[0] != 'H' && memchr(data, '\0', size) == nullptr) {
        const std::string text(reinterpret_cast<const char*>(data), size);
        int known = 0;
        bool ownIds = false;
        // Never more messages than items; as many when each item is known by an id of its own.
        if (KindOfDocument(text.c_str(), size, "") == DocumentKind::kJson &&
            PlainReading(text, &known, &ownIds) &&
            (g_messages > known || (ownIds && g_messages != known))) {
            abort();
        }
    }
    return 0;
}
