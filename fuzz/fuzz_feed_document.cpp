// Fuzzes the whole path of a refresh after its download: any bytes, as the fetcher hands on an
// answer, through the document-start search, the reader and the composer into a stand-in store,
// which checks that every message it is handed is well formed: bounded, a header of named lines
// (or folded continuations) ended by the first empty line, and a body that is the template's.
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

int QF_CALL Append(const char* folderId, const char* message) {
    if (folderId == nullptr || strcmp(folderId, "Fuzz") != 0 || message == nullptr) {
        abort();
    }
    CheckMessage(message);
    return 1;
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
    TextAnswerSource source(reinterpret_cast<const char*>(data), size);
    AnswerStream* answer = new AnswerStream(&source, kAnswerLimit);
    if (answer->ReadHeader()) {
        std::unique_ptr<Refresh> refresh = MakeRefresh("http://fuzz.example/feed.xml", "Fuzz");
        if (refresh != nullptr) {
            ReadFeedItems(refresh.get(), answer, "http://fuzz.example/feed.xml");
        }
    }
    delete answer;
    return 0;
}
