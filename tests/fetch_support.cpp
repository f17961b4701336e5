#include "tests/fetch_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "fetch/answer_stream.h"
#include "refresh/feed_update.h"
#include "refresh/refresh_pool.h"
#include "tests/support.h"

namespace {

std::mutex g_answersLock;
std::vector<RecordedAnswer> g_answers;

std::mutex g_statusLock;
std::vector<std::string> g_statusTexts;

void QF_CALL RecordStatus(HWND, const char* text) {
    std::lock_guard<std::mutex> hold(g_statusLock);
    g_statusTexts.push_back(text ? text : "");
}

FetchLimits g_limits;
unsigned g_now = 0;

// The tests' pool, which runs what the plug-in's runs; kept for the whole test program.
RefreshPool& TestPool() {
    static RefreshPool* pool = new RefreshPool(RunRefreshRequest);
    return *pool;
}

}  // namespace

FetchLimits& TestFetchLimits() {
    return g_limits;
}

unsigned& TestRefreshNow() {
    return g_now;
}

bool WaitForFetchWorkers(int seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds * TimeScale());
    while (RefreshWorkersRunning() > 0 || TestPool().Workers() > 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void RecordAnswer(AnswerStream* answer, Refresh* refresh) {
    // The header as it came, then the body as the reader would have it, up to where it ends.
    std::string text = answer->Header();
    char piece[4096];
    for (long got = answer->Read(piece, sizeof piece); got > 0;
         got = answer->Read(piece, sizeof piece)) {
        text.append(piece, static_cast<size_t>(got));
    }
    std::lock_guard<std::mutex> hold(g_answersLock);
    g_answers.push_back({text, refresh->folderId});
}

void IgnoreAnswer(AnswerStream*, Refresh*) {}

std::vector<RecordedAnswer> RecordedAnswers() {
    std::lock_guard<std::mutex> hold(g_answersLock);
    return g_answers;
}

void ForgetRecordedAnswers() {
    std::lock_guard<std::mutex> hold(g_answersLock);
    g_answers.clear();
}

bool QueueRefresh(const std::string& url, const std::string& folderId, AnswerReader reader,
                  int workers) {
    RefreshRequest* request = new RefreshRequest;
    EXPECT_TRUE(CopyText(request->url, sizeof request->url, url.c_str()));
    EXPECT_TRUE(CopyText(request->folderId, sizeof request->folderId, folderId.c_str()));
    request->limits = g_limits;
    request->readAnswer = reader;
    request->now = g_now;
    return TestPool().Submit(request, workers) == Queued::kQueued;
}

bool FetchAndWait(const std::string& url, const std::string& folderId, AnswerReader reader) {
    return QueueRefresh(url, folderId, reader) && WaitForFetchWorkers(kWorkerPatienceSeconds);
}

RecordedStatusLine::RecordedStatusLine() : saved_(g_hostApi.PXA_SetMessageText) {
    std::lock_guard<std::mutex> hold(g_statusLock);
    g_statusTexts.clear();
    g_hostApi.PXA_SetMessageText = RecordStatus;
}

RecordedStatusLine::~RecordedStatusLine() {
    g_hostApi.PXA_SetMessageText = saved_;
}

std::vector<std::string> RecordedStatusLine::Texts() const {
    std::lock_guard<std::mutex> hold(g_statusLock);
    return g_statusTexts;
}

void ReadAnswerText(const char* answer, const char* folderId, const char* documentUrl) {
    std::unique_ptr<Refresh> refresh = MakeRefresh(documentUrl, folderId);
    ASSERT_NE(refresh, nullptr);
    TextAnswerSource source(answer, strlen(answer));
    std::unique_ptr<AnswerStream> stream(new AnswerStream(&source, kAnswerLimit));
    if (stream->ReadHeader()) {
        ReadFeedItems(refresh.get(), stream.get(), documentUrl);
    }
}
