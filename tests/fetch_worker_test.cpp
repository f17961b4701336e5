// The download against a loopback server, run as a refresh whose answer a test reader takes: the
// request bytes it sends, what it delivers to its reader, and how it ends when the server
// misbehaves.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "refresh/feed_update.h"
#include "tests/fetch_support.h"
#include "tests/loopback_server.h"

namespace {

// The answer ceiling these tests set: a megabyte stands for the real one of 32.
constexpr size_t kFull = 1024 * 1024;
// Long enough that a loaded machine never trips it where a test does not mean it to.
constexpr unsigned kRelaxedLimitMs = 30 * 1000;
// Short, for the tests whose server goes silent on purpose.
constexpr unsigned kSilenceLimitMs = 300;

std::string RequestFor(const std::string& path, const std::string& host) {
    return "GET " + path + " HTTP/1.1\r\nHost: " + host +
           "\r\nUser-Agent: PellixQuillfeed 1.31\r\nAccept: application/rss+xml, "
           "application/atom+xml, application/feed+json, application/rdf+xml;q=0.9, "
           "application/xml;q=0.8, "
           "text/xml;q=0.8, */*;q=0.5\r\nAccept-Encoding: gzip, deflate\r\nPragma: "
           "no-cache\r\nCache-Control: "
           "no-cache\r\nConnection: close\r\n\r\n";
}

// `pattern` with every "%PORT%" replaced by the server's port.
std::string WithPort(std::string pattern, int port) {
    const std::string mark = "%PORT%";
    for (size_t at = pattern.find(mark); at != std::string::npos; at = pattern.find(mark)) {
        pattern.replace(at, mark.size(), std::to_string(port));
    }
    return pattern;
}

class FetchWorkerTest : public testing::Test {
protected:
    void SetUp() override { ForgetRecordedAnswers(); }
    void TearDown() override {
        // A test that failed half-way must not leave a worker behind for the next one.
        ASSERT_TRUE(WaitForFetchWorkers(kWorkerPatienceSeconds));
        ForgetRecordedAnswers();
    }
    FetchTimeLimit limit_{kRelaxedLimitMs};
};

TEST_F(FetchWorkerTest, SendsOneRequestShapedByTheUrl) {
    struct RequestCase {
        const char* url;  // %PORT% is the server's port
        const char* path;
    };
    const RequestCase cases[] = {
        {"http://127.0.0.1:%PORT%/a/b?c=1#d", "/a/b?c=1"},
        {"http://127.0.0.1:%PORT%", "/"},
        {"127.0.0.1:%PORT%/feed", "/feed"},
        {"http://127.0.0.1:%PORT%/x:81/y", "/x:81/y"},
        {"http://127.0.0.1:%PORT%/a%20b/?q=\"x\"&r=<y>", "/a%20b/?q=\"x\"&r=<y>"},
        // A blank would end the path in the request line.
        {"http://127.0.0.1:%PORT%/my feed/a b.xml?q=x y", "/my%20feed/a%20b.xml?q=x%20y"},
    };
    for (const RequestCase& row : cases) {
        SCOPED_TRACE(row.url);
        LoopbackServer server({Send("HTTP/1.0 200 OK\r\n\r\nfine")});
        ASSERT_TRUE(server.Listening());
        RecordedStatusLine status;
        std::string url = WithPort(row.url, server.Port());
        ForgetRecordedAnswers();
        ASSERT_TRUE(FetchAndWait(url, "Feeds\\Row"));

        std::vector<std::string> requests = server.Requests();
        ASSERT_EQ(1u, requests.size());
        // The port is not the scheme's own, so the Host header names it.
        EXPECT_EQ(RequestFor(row.path, "127.0.0.1:" + std::to_string(server.Port())), requests[0]);
        std::vector<RecordedAnswer> answers = RecordedAnswers();
        ASSERT_EQ(1u, answers.size());
        EXPECT_EQ("HTTP/1.0 200 OK\r\n\r\nfine", answers[0].text);
        EXPECT_EQ("Feeds\\Row", answers[0].folderId);
        // The URL when the download starts, and at its end how the refresh went.
        std::vector<std::string> shown = status.Texts();
        ASSERT_EQ(2u, shown.size());
        EXPECT_EQ("RSS:" + url, shown[0]);
        EXPECT_EQ("Feeds\\Row: not a feed", shown[1]);
    }
}

TEST_F(FetchWorkerTest, DeliversWhateverArrivedUntilTheConnectionEnded) {
    const std::string feed =
        "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n<?xml version=\"1.0\"?>"
        "<rss version=\"2.0\"><channel><item><title>One</title></item></channel></rss>";
    std::string almostFull(kFull - 1, 'a');
    std::string full(kFull, 'b');
    struct DeliveryCase {
        const char* name;
        std::vector<ServerStep> script;
        bool delivered;
        std::string text;
        const char* outcome;
    };
    const DeliveryCase cases[] = {
        {"whole answer at once", {Send(feed)}, true, feed, "nothing new"},
        {"nothing before the close", {}, true, "", "not a feed"},
        // A status that is no success ends the refresh, whatever the body holds.
        {"error status with a body",
         {Send("HTTP/1.0 500 Oops\r\n\r\n<?xml version=\"1.0\"?><x/>")},
         false,
         "",
         "the server failed (500)"},
        {"reset after part",
         {Send(feed.substr(0, 70)), Pause(50), Reset()},
         true,
         feed.substr(0, 70),
         "connection cut"},
        {"one byte short of the ceiling", {Send(almostFull)}, true, almostFull, "not a feed"},
        // The answer streams to the reader until it reaches the ceiling, and the refresh ends
        // there.
        {"exactly the ceiling", {Send(full)}, true, full, "the feed is larger than 1 MB"},
        {"more than the ceiling",
         {Send(full), Send("more")},
         true,
         full,
         "the feed is larger than 1 MB"},
        {"the ceiling in two pieces",
         {Send(full.substr(0, 1000)), Pause(20), Send(full.substr(1000))},
         true,
         full,
         "the feed is larger than 1 MB"},
        {"a zero byte inside", {Send(std::string("ab\0cd", 5))}, true, {"ab\0cd", 5}, "not a feed"},
    };
    FetchAnswerCeiling ceiling(kFull);
    for (const DeliveryCase& row : cases) {
        SCOPED_TRACE(row.name);
        LoopbackServer server(row.script);
        ASSERT_TRUE(server.Listening());
        ForgetRecordedAnswers();
        RecordedStatusLine status;
        ASSERT_TRUE(FetchAndWait(server.Url("/feed")));
        std::vector<RecordedAnswer> answers = RecordedAnswers();
        if (row.delivered) {
            ASSERT_EQ(1u, answers.size());
            EXPECT_EQ(row.text.size(), answers[0].text.size());
            EXPECT_TRUE(row.text == answers[0].text);
        } else {
            EXPECT_TRUE(answers.empty());
        }
        ASSERT_FALSE(status.Texts().empty());
        EXPECT_EQ(std::string("Feeds: ") + row.outcome, status.Texts().back());
    }
}

TEST_F(FetchWorkerTest, PiecesOfAnySizeMakeTheSameAnswer) {
    std::string answer = "HTTP/1.0 200 OK\r\n\r\n<?xml version=\"1.0\"?><rss>";
    for (int i = 0; i < 40; ++i) {
        answer += "<item><title>Item " + std::to_string(i) + "</title></item>";
    }
    answer += "</rss>";
    for (size_t pieceSize : {1, 2, 3, 5, 7, 1000}) {
        SCOPED_TRACE(pieceSize);
        std::vector<ServerStep> script = pieceSize == 1 ? SendInPieces(answer.substr(0, 200), 1)
                                                        : SendInPieces(answer, pieceSize);
        std::string expected = pieceSize == 1 ? answer.substr(0, 200) : answer;
        LoopbackServer server(script);
        ForgetRecordedAnswers();
        ASSERT_TRUE(FetchAndWait(server.Url("/")));
        std::vector<RecordedAnswer> answers = RecordedAnswers();
        ASSERT_EQ(1u, answers.size());
        EXPECT_EQ(expected, answers[0].text);
    }
}

TEST_F(FetchWorkerTest, ASilentServerLosesItsWorkerAfterTheTimeLimit) {
    FetchTimeLimit shortLimit(kSilenceLimitMs);
    struct SilenceCase {
        const char* name;
        std::vector<ServerStep> script;
        std::vector<std::string> delivered;
    };
    const SilenceCase cases[] = {
        {"silent from the start", {WaitForRelease()}, {}},
        {"silent after part of the answer",
         {Send("HTTP/1.0 200 OK\r\n\r\n<?xml"), WaitForRelease(), Send(" never sent")},
         {"HTTP/1.0 200 OK\r\n\r\n<?xml"}},
    };
    for (const SilenceCase& row : cases) {
        SCOPED_TRACE(row.name);
        LoopbackServer server(row.script);
        ForgetRecordedAnswers();
        // The server stays silent until released, which happens only after this wait: the
        // worker has to end on its own.
        bool ended = FetchAndWait(server.Url("/feed"));
        server.Release();
        ASSERT_TRUE(ended);
        std::vector<std::string> texts;
        for (const RecordedAnswer& answer : RecordedAnswers()) {
            texts.push_back(answer.text);
        }
        EXPECT_EQ(row.delivered, texts);
    }
}

TEST_F(FetchWorkerTest, AServerThatTricklesEndsAtTheDownloadDeadline) {
    // A byte every 100 ms is progress enough for the no-progress limit, and the whole answer
    // would take 20 s; the deadline ends the download long before, with what arrived delivered.
    FetchTimeLimit limit(2000);
    FetchDeadline deadline(1000);
    std::vector<ServerStep> script;
    for (int i = 0; i < 200; ++i) {
        script.push_back(Send("x"));
        script.push_back(Pause(100));
    }
    LoopbackServer server(script);
    ASSERT_TRUE(FetchAndWait(server.Url("/feed")));
    std::vector<RecordedAnswer> answers = RecordedAnswers();
    ASSERT_EQ(1u, answers.size());
    EXPECT_FALSE(answers[0].text.empty());
    EXPECT_LT(answers[0].text.size(), 200u);
    EXPECT_EQ(std::string(answers[0].text.size(), 'x'), answers[0].text);
}

TEST_F(FetchWorkerTest, TheDeadlineCoversTheRedirectsToo) {
    // Each answer comes well within the deadline, a redirect to the next; the second is already
    // past it, counted from the refresh's start. Were each hop given a deadline of its own, the
    // refresh would follow all five redirects.
    FetchDeadline deadline(3000);
    LoopbackServer server({Pause(2000), Send("HTTP/1.0 302 Found\r\nLocation: /next\r\n\r\n")}, 6);
    RecordedStatusLine status;
    ASSERT_TRUE(FetchAndWait(server.Url("/feed")));
    EXPECT_TRUE(RecordedAnswers().empty());
    EXPECT_LE(server.Requests().size(), 2u);
    ASSERT_FALSE(status.Texts().empty());
    EXPECT_EQ("Feeds: no answer in time", status.Texts().back());
}

TEST_F(FetchWorkerTest, ANoticeablePauseIsNotTakenForSilence) {
    // Pauses shorter than the limit, each followed by progress, must not end the receiving.
    FetchTimeLimit limit(2000);
    LoopbackServer server({Send("first "), Pause(300), Send("second "), Pause(300), Send("third")});
    ASSERT_TRUE(FetchAndWait(server.Url("/")));
    std::vector<RecordedAnswer> answers = RecordedAnswers();
    ASSERT_EQ(1u, answers.size());
    EXPECT_EQ("first second third", answers[0].text);
}

TEST_F(FetchWorkerTest, GivesUpConnectingToAServerThatNeverAccepts) {
    FullListener full;
    if (!full.Full()) {
        GTEST_SKIP() << "this platform does not leave a connection to a full listener pending";
    }
    FetchTimeLimit shortLimit(kSilenceLimitMs);
    ASSERT_TRUE(FetchAndWait("http://127.0.0.1:" + std::to_string(full.Port()) + "/feed"));
    EXPECT_TRUE(RecordedAnswers().empty());
}

TEST_F(FetchWorkerTest, EndsQuietlyWhenNoAnswerCanBeHad) {
    RefusingPort refusing;
    LoopbackServer unused({});
    const std::string urls[] = {
        "http://no-such-host.invalid/feed",
        "http://127.0.0.1:" + std::to_string(refusing.Port()) + "/feed",
        // A colon without digits names port 0, which nobody can connect to.
        "http://127.0.0.1:/feed",
    };
    for (const std::string& url : urls) {
        SCOPED_TRACE(url);
        ASSERT_TRUE(FetchAndWait(url));
        EXPECT_TRUE(RecordedAnswers().empty());
    }
    EXPECT_TRUE(unused.Requests().empty());
}

TEST_F(FetchWorkerTest, AWorkerWhoseReaderReadsNothingStillEnds) {
    LoopbackServer server({Send("HTTP/1.0 200 OK\r\n\r\nignored")});
    ASSERT_TRUE(FetchAndWait(server.Url("/"), "Feeds", IgnoreAnswer));
    EXPECT_EQ(1u, server.Requests().size());
    EXPECT_TRUE(RecordedAnswers().empty());
}

TEST_F(FetchWorkerTest, WorkersRunningAtOnceKeepTheirOwnRequestAndAnswer) {
    constexpr int kWorkers = 8;
    // The first connections are held until two are in (the most one host gets at a time), so
    // the workers really overlap.
    LoopbackServer server({Send("HTTP/1.0 200 OK\r\n\r\n"), WaitForRelease(), Send("<rss/>")},
                          kWorkers);
    for (int i = 0; i < kWorkers; ++i) {
        ASSERT_TRUE(QueueRefresh(server.Url("/feed" + std::to_string(i)),
                                 "Feeds\\" + std::to_string(i), RecordAnswer, kWorkers));
    }
    for (int waited = 0; server.Requests().size() < 2 && waited < 60 * 1000; waited += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    server.Release();
    ASSERT_TRUE(WaitForFetchWorkers(kWorkerPatienceSeconds));

    std::set<std::string> paths;
    for (const std::string& request : server.Requests()) {
        paths.insert(request.substr(0, request.find(" HTTP/1.0")));
    }
    std::vector<RecordedAnswer> answers = RecordedAnswers();
    ASSERT_EQ(static_cast<size_t>(kWorkers), answers.size());
    std::set<std::string> folders;
    for (const RecordedAnswer& answer : answers) {
        EXPECT_EQ("HTTP/1.0 200 OK\r\n\r\n<rss/>", answer.text);
        folders.insert(answer.folderId);
    }
    EXPECT_EQ(static_cast<size_t>(kWorkers), folders.size());
    EXPECT_EQ(static_cast<size_t>(kWorkers), paths.size());
}

TEST_F(FetchWorkerTest, StartFeedUpdateCopiesItsTextsAndReturnsBeforeTheDownload) {
    LoopbackServer server({WaitForRelease(), Send("HTTP/1.0 302 Found\r\n\r\n<html>moved</html>")});
    char url[kUrlCapacity];
    char folder[kFolderIdCapacity];
    EXPECT_TRUE(CopyText(url, sizeof url, server.Url("/original").c_str()));
    EXPECT_TRUE(CopyText(folder, sizeof folder, "Feeds\\News"));
    // The server holds its answer until released, so a StartFeedUpdate that waited for the
    // download would never come back here.
    ASSERT_NE(-1, StartFeedUpdate(url, folder));
    EXPECT_TRUE(CopyText(url, sizeof url, server.Url("/changed").c_str()));
    EXPECT_TRUE(CopyText(folder, sizeof folder, "Elsewhere"));
    EXPECT_EQ(1, RefreshWorkersRunning());
    server.Release();
    ASSERT_TRUE(WaitForFetchWorkers(kWorkerPatienceSeconds));
    std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(RequestFor("/original", "127.0.0.1:" + std::to_string(server.Port())), requests[0]);
}

}  // namespace
