#include "tests/fetch_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "fetch/answer_stream.h"

namespace {

std::mutex g_answersLock;
std::vector<RecordedAnswer> g_answers;

std::mutex g_statusLock;
std::vector<std::string> g_statusTexts;

void QF_CALL RecordStatus(HWND, const char* text) {
    std::lock_guard<std::mutex> hold(g_statusLock);
    g_statusTexts.push_back(text ? text : "");
}

}  // namespace

bool WaitForFetchWorkers(int seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (FetchWorkersRunning() > 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void RecordAnswer(AnswerStream* answer, const char* folderId, const char*) {
    // The header as it came, then the body as the reader would have it, up to where it ends.
    std::string text = answer->Header();
    char piece[4096];
    for (long got = answer->Read(piece, sizeof piece); got > 0;
         got = answer->Read(piece, sizeof piece)) {
        text.append(piece, static_cast<size_t>(got));
    }
    std::lock_guard<std::mutex> hold(g_answersLock);
    g_answers.push_back({text, folderId ? folderId : "<null>"});
}

std::vector<RecordedAnswer> RecordedAnswers() {
    std::lock_guard<std::mutex> hold(g_answersLock);
    return g_answers;
}

void ForgetRecordedAnswers() {
    std::lock_guard<std::mutex> hold(g_answersLock);
    g_answers.clear();
}

bool FetchAndWait(const std::string& url, const std::string& folderId, FetchCompletion completion) {
    FetchRequest* request = new FetchRequest;
    EXPECT_TRUE(CopyText(request->url, sizeof request->url, url.c_str()));
    request->completion = completion;
    EXPECT_TRUE(CopyText(request->folderId, sizeof request->folderId, folderId.c_str()));
    if (StartFetchWorker(request) == -1) {
        return false;
    }
    return WaitForFetchWorkers(kWorkerPatienceSeconds);
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
