// A refresh from end to end inside the test program: StartFeedUpdate against a loopback server,
// the real completion, reader and composer, and messages ending in a stand-in store that the
// tests put in place of the host's append.
//
// Before each test the reader and the composer are run on a tiny feed: when they deliver nothing
// there, the fault is theirs, and the test fails at once instead of on a puzzling count.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>

#include "compose/compose.h"
#include "feed/parse_feed.h"
#include "base/module.h"
#include "tests/fetch_support.h"
#include "tests/loopback_server.h"

namespace {

struct StoredMessage {
    std::string folderId;
    std::string text;
};

std::mutex g_storeLock;
std::vector<StoredMessage> g_store;
std::string g_dataFolder;

const char* QF_CALL FakeGetDataFolder() {
    return g_dataFolder.c_str();
}

const char* QF_CALL FakeGetFolderDisplayName(const char* folderId) {
    thread_local std::string name;
    name = folderId ? folderId : "";
    return name.c_str();
}

int QF_CALL FakeAppendMessage(const char* folderId, const char* message) {
    std::lock_guard<std::mutex> hold(g_storeLock);
    g_store.push_back({folderId ? folderId : "", message ? message : ""});
    return 1;
}

void QF_CALL IgnoreStatus(HWND, const char*) {}

std::vector<StoredMessage> StoredMessages() {
    std::lock_guard<std::mutex> hold(g_storeLock);
    return g_store;
}

void ClearStore() {
    std::lock_guard<std::mutex> hold(g_storeLock);
    g_store.clear();
}

// The message's subject: what follows "Subject:" up to the line end, without leading blanks.
std::string SubjectOf(const std::string& message) {
    size_t at = message.find("Subject:");
    if (at == std::string::npos) {
        return "<no subject>";
    }
    at += 8;
    while (at < message.size() && message[at] == ' ') {
        ++at;
    }
    return message.substr(at, message.find_first_of("\r\n", at) - at);
}

std::vector<std::string> Subjects() {
    std::vector<std::string> subjects;
    for (const StoredMessage& message : StoredMessages()) {
        subjects.push_back(SubjectOf(message.text));
    }
    return subjects;
}

std::atomic<int> g_probeItems{0};

int CountProbeItem(const FeedItem*, const char*) {
    ++g_probeItems;
    return 0;
}

// Whether the reader hands out items and the composer appends them; see the top of the file.
bool ReaderAndComposerDeliver() {
    g_probeItems = 0;
    ParseFeed(
        "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Probe</title>"
        "<item><title>Probe item</title></item></channel></rss>",
        CountProbeItem, "Probe");
    if (g_probeItems == 0) {
        return false;
    }
    std::unique_ptr<FeedItem> item(new FeedItem());
    EXPECT_TRUE(CopyText(item->title, sizeof item->title, "Probe item"));
    EXPECT_TRUE(CopyText(item->channelTitle, sizeof item->channelTitle, "Probe"));
    OnFeedItem(item.get(), "Probe");
    bool appended = !StoredMessages().empty();
    ClearStore();
    return appended;
}

const char kRss2[] =
    "HTTP/1.0 200 OK\r\nContent-Type: application/rss+xml\r\n\r\n"
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<rss version=\"2.0\"><channel><title>Loopback News</title>"
    "<item><title>First story</title><link>http://example.invalid/1</link>"
    "<description>The first one.</description>"
    "<pubDate>Tue, 08 Dec 2026 10:00:00 GMT</pubDate></item>"
    "<item><title>Second story</title><link>http://example.invalid/2</link>"
    "<description>The second one.</description></item>"
    "</channel></rss>";

const char kAtom[] =
    "HTTP/1.0 200 OK\r\n\r\n<?xml version=\"1.0\"?>"
    "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Loopback Atom</title>"
    "<entry><title>Atom one</title><link href=\"http://example.invalid/a1\"/>"
    "<updated>2026-12-08T10:00:00Z</updated><summary>One.</summary></entry>"
    "<entry><title>Atom two</title><summary>Two.</summary></entry></feed>";

class FetchEndToEnd : public testing::Test {
protected:
    void SetUp() override {
        saved_ = g_hostApi;
        EXPECT_TRUE(CopyText(savedSettings_, sizeof savedSettings_, SettingsFilePath));
        scratch_ = std::filesystem::temp_directory_path() /
                   ("quillfeed-fetch-" +
                    std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        std::filesystem::create_directories(scratch_ / "Feeds");
        std::ofstream(scratch_ / "Feeds" / "Folder.idx", std::ios::binary)
            << "Pellix folder index 1\r\n";
        g_dataFolder = scratch_.string();
        EXPECT_TRUE(CopyText(SettingsFilePath, sizeof SettingsFilePath,
                             (scratch_ / "pxQuillfeed.ini").string().c_str()));
        g_hostApi.PXA_GetDataFolder = FakeGetDataFolder;
        g_hostApi.PXA_GetFolderDisplayName = FakeGetFolderDisplayName;
        g_hostApi.PXA_AppendMessage = FakeAppendMessage;
        g_hostApi.PXA_SetMessageText = IgnoreStatus;
        ClearStore();
        ASSERT_TRUE(ReaderAndComposerDeliver())
            << "the feed reader or the message composer delivers nothing";
    }

    void TearDown() override {
        EXPECT_TRUE(WaitForFetchWorkers(kWorkerPatienceSeconds));
        g_hostApi = saved_;
        EXPECT_TRUE(CopyText(SettingsFilePath, sizeof SettingsFilePath, savedSettings_));
        ClearStore();
        std::error_code ignored;
        std::filesystem::remove_all(scratch_, ignored);
    }

    // One refresh of folder "Feeds" through StartFeedUpdate, waited for.
    bool Refresh(const LoopbackServer& server) {
        if (StartFeedUpdate(server.Url("/feed.xml").c_str(), "Feeds") == -1) {
            return false;
        }
        return WaitForFetchWorkers(kWorkerPatienceSeconds);
    }

    HostApi saved_;
    char savedSettings_[kSettingsPathCapacity];
    std::filesystem::path scratch_;
};

TEST_F(FetchEndToEnd, FeedsInTheAnswerEndAsMessagesOfTheFolder) {
    struct FeedCase {
        const char* name;
        std::string answer;
        std::vector<std::string> subjects;
    };
    const FeedCase cases[] = {
        {"RSS 2.0", kRss2, {"First story", "Second story"}},
        {"Atom with a declaration", kAtom, {"Atom one", "Atom two"}},
        {"error status whose body is a feed",
         std::string("HTTP/1.0 404 Not Found\r\n") + (strstr(kRss2, "\r\n\r\n") + 2),
         {"First story", "Second story"}},
        {"RSS without a declaration",
         "HTTP/1.0 200 OK\r\n\r\n<rss version=\"0.91\"><channel><title>Old</title>"
         "<item><title>Plain item</title></item></channel></rss>",
         {"Plain item"}},
        {"HTML redirect page", "HTTP/1.0 302 Found\r\n\r\n<html><body>Moved</body></html>", {}},
        {"Atom without a declaration", strstr(kAtom, "<feed"), {"Atom one", "Atom two"}},
    };
    for (const FeedCase& row : cases) {
        SCOPED_TRACE(row.name);
        ClearStore();
        LoopbackServer server({Send(row.answer)});
        ASSERT_TRUE(Refresh(server));
        EXPECT_EQ(row.subjects, Subjects());
        for (const StoredMessage& message : StoredMessages()) {
            EXPECT_EQ("Feeds", message.folderId);
        }
    }
}

TEST_F(FetchEndToEnd, AConnectionResetAfterPartOfAFeedKeepsTheItemsBeforeTheCut) {
    std::string answer = kRss2;
    // Cut inside the second item's title: the first item's end tag is followed by more bytes, as
    // in a real cut (the reader under Wine drops an end tag that is the very last byte).
    std::string cut = answer.substr(0, answer.find("<item><title>Second") + 16);
    LoopbackServer server({Send(cut), Pause(50), Reset()});
    ASSERT_TRUE(Refresh(server));
    EXPECT_EQ(std::vector<std::string>{"First story"}, Subjects());
}

TEST_F(FetchEndToEnd, OneRefreshPerFolderRunsAtATimeAndOthersRunBesideIt) {
    // Both connections are held until both requests are in, so the two workers read, compose and
    // append at the same time. A second refresh of a folder whose refresh still runs would
    // append the same items again: it starts nothing.
    LoopbackServer server({WaitForRelease(), Send(kRss2)}, 2);
    ASSERT_NE(-1, StartFeedUpdate(server.Url("/feed.xml").c_str(), "Feeds"));
    EXPECT_EQ(-1, StartFeedUpdate(server.Url("/feed.xml").c_str(), "Feeds"));
    EXPECT_EQ(-1, StartFeedUpdate(server.Url("/feed.xml").c_str(), "FEEDS"));
    ASSERT_NE(-1, StartFeedUpdate(server.Url("/feed.xml").c_str(), "Other"));
    for (int waited = 0; server.Requests().size() < 2 && waited < 60 * 1000; waited += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    server.Release();
    ASSERT_TRUE(WaitForFetchWorkers(kWorkerPatienceSeconds));
    EXPECT_EQ(2u, server.Requests().size());

    // Every message is whole, and each folder has the feed's items once.
    std::vector<StoredMessage> messages = StoredMessages();
    ASSERT_EQ(4u, messages.size());
    for (const char* folder : {"Feeds", "Other"}) {
        std::vector<std::string> subjects;
        for (const StoredMessage& message : messages) {
            if (message.folderId != folder) {
                continue;
            }
            std::string subject = SubjectOf(message.text);
            subjects.push_back(subject);
            std::string body = subject == "First story" ? "The first one." : "The second one.";
            EXPECT_NE(std::string::npos, message.text.find(body)) << message.text;
        }
        std::sort(subjects.begin(), subjects.end());
        EXPECT_EQ((std::vector<std::string>{"First story", "Second story"}), subjects) << folder;
    }

    // Once it has ended, the folder can be refreshed again.
    ClearStore();
    LoopbackServer again({Send(kRss2)});
    ASSERT_TRUE(Refresh(again));
    EXPECT_EQ((std::vector<std::string>{"First story", "Second story"}), Subjects());
}

}  // namespace
