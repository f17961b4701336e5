// Every real feed of the shared corpus, through the path of a refresh after its download: the
// document-start search, the reader and the composer, into a store. Each must end (no crash, no
// hang, no sanitizer report) and every message stored must be well formed.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "compose/seen_record.h"
#include "feed/parse_feed.h"
#include "base/hostapi.h"
#include "base/module.h"
#include "tests/fetch_support.h"
#include "tests/support.h"

namespace fs = std::filesystem;

namespace {

std::string g_dataFolder;
std::vector<std::string> g_stored;

const char* QF_CALL CorpusDataFolder(void) {
    return g_dataFolder.c_str();
}
const char* QF_CALL CorpusDisplayName(const char*) {
    return "Feeds/Corpus";
}
int QF_CALL CorpusAppend(const char*, const char* message) {
    g_stored.push_back(message);
    return 1;
}

thread_local std::set<std::string>* t_identities = nullptr;

int KeepIdentity(const FeedItem* item, void*) {
    const std::string identity =
        ItemIdentity(item->guid, item->link, item->title, item->description);
    if (!identity.empty()) {
        t_identities->insert(identity);
    }
    return 0;
}

bool IsHeaderName(const std::string& line) {
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    return std::all_of(line.begin(), line.begin() + static_cast<long>(colon),
                       [](char c) { return c > ' ' && c < 0x7F; });
}

// What is wrong with a stored message, or empty when it is well formed.
std::string Problem(const std::string& message) {
    if (message.size() >= kMessageCapacity) {
        return "longer than the message bound";
    }
    size_t end = message.find("\r\n\r\n");
    if (end == std::string::npos) {
        return "no empty line ends the header";
    }
    std::string header = message.substr(0, end + 2);
    size_t at = 0;
    bool first = true;
    while (at < header.size()) {
        size_t lineEnd = header.find("\r\n", at);
        std::string line = header.substr(at, lineEnd - at);
        if (line.find_first_of("\r\n") != std::string::npos) {
            return "a bare CR or LF in header line \"" + line + "\"";
        }
        bool continuation = !line.empty() && (line[0] == ' ' || line[0] == '\t');
        if ((first && continuation) || (!continuation && !IsHeaderName(line))) {
            return "header line without a name and a colon: \"" + line + "\"";
        }
        first = false;
        at = lineEnd + 2;
    }
    for (const char* name : {"From:", "To:", "Date:", "Subject:", "Content-Type:"}) {
        if (("\r\n" + header).find(std::string("\r\n") + name) == std::string::npos) {
            return std::string("no ") + name + " header";
        }
    }
    std::string body = message.substr(end + 4);
    const std::string start = "<HTML>\r\n<HEAD><LINK REL=\"stylesheet\" TYPE=\"text/css\" HREF=\"";
    if (body.compare(0, start.size(), start) != 0) {
        return "the body does not start as the template's";
    }
    const std::string finish = "</div></BODY></HTML>";
    if (body.size() < finish.size() ||
        body.compare(body.size() - finish.size(), finish.size(), finish) != 0) {
        return "the body does not end as the template's";
    }
    size_t previous = 0;
    for (const char* block : {"<BODY><div id=banner>", "<div id=author dir=\"auto\">",
                              "<div id=desc dir=\"auto\">", "<div id=link>", "<div id=date>"}) {
        size_t found = body.find(block, previous);
        if (found == std::string::npos) {
            return std::string("the body lacks ") + block + " in its place";
        }
        previous = found;
    }
    std::string lower = body;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return static_cast<char>(tolower(static_cast<unsigned char>(c)));
    });
    if (lower.find("<script") != std::string::npos) {
        return "a script element reached the body";
    }
    // Every link and image points somewhere whole: relative ones resolve against the feed.
    for (const char* attribute : {" href=\"", " src=\""}) {
        for (size_t at = body.find(attribute); at != std::string::npos;
             at = body.find(attribute, at + 1)) {
            const size_t start = at + strlen(attribute);
            const std::string url = lower.substr(start, 8);
            // An empty one is the template's own: no link, or no feed image.
            if (url[0] != '"' && url.compare(0, 7, "http://") != 0 &&
                url.compare(0, 8, "https://") != 0 && url.compare(0, 7, "mailto:") != 0) {
                return "a relative or odd URL in the body: " + body.substr(start, 60);
            }
        }
    }
    return std::string();
}

// Ends the process with a message when one document takes longer than any parse should: a hang
// must fail the run, not stall it.
class Watchdog {
public:
    explicit Watchdog(int seconds)
        : seconds_(seconds * TimeScale()), thread_([this] { Watch(); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> hold(lock_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    void Start(const std::string& name) {
        std::lock_guard<std::mutex> hold(lock_);
        current_ = name;
        started_ = std::chrono::steady_clock::now();
    }

private:
    void Watch() {
        std::unique_lock<std::mutex> hold(lock_);
        while (!done_) {
            wake_.wait_for(hold, std::chrono::seconds(1));
            if (!done_ && !current_.empty() &&
                std::chrono::steady_clock::now() - started_ > std::chrono::seconds(seconds_)) {
                fprintf(stderr, "corpus: %s did not end within %d seconds\n", current_.c_str(),
                        seconds_);
                fflush(stderr);
                std::_Exit(1);
            }
        }
    }

    int seconds_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool done_ = false;
    std::string current_;
    std::chrono::steady_clock::time_point started_;
    std::thread thread_;
};

class Corpus : public testing::Test {
protected:
    void SetUp() override {
        saved = g_hostApi;
        memcpy(savedSettings, SettingsFilePath, sizeof savedSettings);
        EXPECT_TRUE(CopyText(SettingsFilePath, sizeof SettingsFilePath,
                             scratch.File("pxQuillfeed.ini").c_str()));
        g_dataFolder = scratch.path();
        g_hostApi.PXA_GetDataFolder = CorpusDataFolder;
        g_hostApi.PXA_GetFolderDisplayName = CorpusDisplayName;
        g_hostApi.PXA_AppendMessage = CorpusAppend;
        g_hostApi.PXA_SetMessageText = nullptr;
    }
    void TearDown() override {
        g_hostApi = saved;
        memcpy(SettingsFilePath, savedSettings, sizeof savedSettings);
    }

    ScratchDir scratch;
    HostApi saved;
    char savedSettings[kSettingsPathCapacity];
};

std::vector<fs::path> CorpusFiles() {
    std::vector<fs::path> files;
    for (const char* folder : {"feeds", "big"}) {
        fs::path dir = fs::path(QF_CORPUS_DIR) / folder;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(dir, error)) {
            if (entry.is_regular_file()) {
                files.push_back(entry.path());
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST_F(Corpus, EveryFeedEndsAndEveryMessageIsWellFormed) {
    std::vector<fs::path> files = CorpusFiles();
    ASSERT_FALSE(files.empty()) << "the shared feed corpus is missing: expected it at "
                                << QF_CORPUS_DIR;
    Watchdog watchdog(300);
    size_t messages = 0;
    for (const fs::path& file : files) {
        std::string name = file.filename().string();
        watchdog.Start(name);
        g_stored.clear();
        std::error_code ignored;
        fs::remove_all(scratch.File("pxQuillfeed.seen"), ignored);
        std::string answer = ReadFile(file.string());
        ReadAnswerText(answer.c_str(), "Corpus", "http://corpus.example/feed.xml");
        for (size_t i = 0; i < g_stored.size(); ++i) {
            std::string problem = Problem(g_stored[i]);
            EXPECT_EQ(problem, "") << name << ", message " << i + 1;
        }
        // One message per identity: no two items the feed tells apart collapse into one.
        const char* start = FindDocumentStart(answer.c_str());
        std::set<std::string> identities;
        t_identities = &identities;
        if (start != nullptr) {
            ParseFeed(start, KeepIdentity, nullptr, "http://corpus.example/feed.xml");
        }
        t_identities = nullptr;
        EXPECT_EQ(g_stored.size(), identities.size()) << name;
        // A second refresh of the same feed adds nothing.
        const size_t first = g_stored.size();
        ReadAnswerText(answer.c_str(), "Corpus", "http://corpus.example/feed.xml");
        EXPECT_EQ(g_stored.size(), first) << name << ": a second refresh added messages";
        messages += first;
    }
    printf("corpus: %zu files, %zu messages stored\n", files.size(), messages);
}

// A podcast platform writes every episode's content:encoded empty and its show notes in the
// description: the notes reach every message.
TEST_F(Corpus, EmptyContentLeavesAPodcastsShowNotesInEveryMessage) {
    const std::string answer = ReadFile(std::string(QF_CORPUS_DIR) + "/feeds/nnw_atp.rss");
    ASSERT_FALSE(answer.empty());
    g_stored.clear();
    ReadAnswerText(answer.c_str(), "Corpus", "http://corpus.example/feed.xml");
    ASSERT_EQ(g_stored.size(), 100u);
    for (size_t i = 0; i < g_stored.size(); ++i) {
        const std::string& message = g_stored[i];
        const size_t desc = message.find("<div id=desc dir=\"auto\">");
        ASSERT_NE(desc, std::string::npos);
        EXPECT_NE(message.compare(desc, strlen("<div id=desc dir=\"auto\"></div>"),
                                  "<div id=desc dir=\"auto\"></div>"),
                  0)
            << "message " << i + 1;
    }
}

}  // namespace
