// What the fetcher's tests share: waiting for workers, a completion that records what it was
// handed, a shorter time limit, and a status line that records what it was shown.
#pragma once

#include <string>
#include <vector>

#include "fetch/fetch.h"
#include "base/hostapi.h"

// Waits until every started worker has ended, at most `seconds`. Returns false when time ran
// out; the workers are then still running, and the test must not end before they do.
bool WaitForFetchWorkers(int seconds);

// A long wait: only a worker that never ends comes near it on a loaded machine.
constexpr int kWorkerPatienceSeconds = 120;

struct RecordedAnswer {
    std::string text;
    std::string folderId;
};

// A completion for FetchRequest that keeps every answer it is handed, from any worker thread:
// its header and as much of its body as arrived.
void RecordAnswer(AnswerStream* answer, const char* folderId, const char* documentUrl);
std::vector<RecordedAnswer> RecordedAnswers();
void ForgetRecordedAnswers();

// Starts a worker for `url` with RecordAnswer (or `completion`) and waits for it to end.
bool FetchAndWait(const std::string& url, const std::string& folderId = "Feeds",
                  FetchCompletion completion = RecordAnswer);

// Sets the fetcher's time limit for the life of the object.
class FetchTimeLimit {
public:
    explicit FetchTimeLimit(unsigned milliseconds) : saved_(FetchTimeLimitMs()) {
        SetFetchTimeLimitMs(milliseconds);
    }
    ~FetchTimeLimit() { SetFetchTimeLimitMs(saved_); }

private:
    unsigned saved_;
};

// Sets the fetcher's download deadline for the life of the object.
class FetchDeadline {
public:
    explicit FetchDeadline(unsigned milliseconds) : saved_(FetchDeadlineMs()) {
        SetFetchDeadlineMs(milliseconds);
    }
    ~FetchDeadline() { SetFetchDeadlineMs(saved_); }

private:
    unsigned saved_;
};

// Sets the fetcher's answer ceiling for the life of the object.
class FetchAnswerCeiling {
public:
    explicit FetchAnswerCeiling(size_t bytes) : saved_(FetchAnswerLimit()) {
        SetFetchAnswerLimit(bytes);
    }
    ~FetchAnswerCeiling() { SetFetchAnswerLimit(saved_); }

private:
    size_t saved_;
};

// Points the host's status line at a recorder for the life of the object.
class RecordedStatusLine {
public:
    RecordedStatusLine();
    ~RecordedStatusLine();
    std::vector<std::string> Texts() const;

private:
    HostFn::PXA_SetMessageText saved_;
};
