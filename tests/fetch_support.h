// What the downloader's and the refresh's tests share: refreshes run through a pool of the tests'
// own with the limits a test sets, waiting for workers, a reader that records the answer it was
// handed, and a status line that records what it was shown.
#pragma once

#include <string>
#include <vector>

#include "base/hostapi.h"
#include "base/text.h"
#include "fetch/fetch.h"
#include "refresh/refresh.h"

// Waits until every refresh worker has ended, the plug-in's and the tests' own, at most
// `seconds`. Returns false when time ran out; the workers are then still running, and the test
// must not end before they do.
bool WaitForFetchWorkers(int seconds);

// A long wait: only a worker that never ends comes near it on a loaded machine.
constexpr int kWorkerPatienceSeconds = 120;

struct RecordedAnswer {
    std::string text;
    std::string folderId;
};

// An answer reader that keeps every answer it is handed, from any worker thread: its header and
// as much of its body as arrived.
void RecordAnswer(AnswerStream* answer, Refresh* refresh);
std::vector<RecordedAnswer> RecordedAnswers();
void ForgetRecordedAnswers();
// An answer reader that reads nothing: the answer is received and thrown away.
void IgnoreAnswer(AnswerStream* answer, Refresh* refresh);

// The limits the tests' refreshes run with; the classes below change them for their life.
FetchLimits& TestFetchLimits();
// The time the tests' refreshes take for theirs (seconds since 1970; 0, the default, the clock's).
unsigned& TestRefreshNow();

// Queues a refresh of `folderId` from `url` in the tests' pool, with TestFetchLimits() and
// `reader` (null: the feed reader), at most `workers` at once. False when it was not queued.
bool QueueRefresh(const std::string& url, const std::string& folderId, AnswerReader reader,
                  int workers = 8);

// Runs one refresh so, and waits for it to end.
bool FetchAndWait(const std::string& url, const std::string& folderId = "Feeds",
                  AnswerReader reader = RecordAnswer);

// The feed reader's part of a refresh of `folderId` over an answer held whole in memory, up to its
// first zero byte (with a status line or without), its links relative to `documentUrl`: what a
// refresh does once the answer's header has arrived.
void ReadAnswerText(const char* answer, const char* folderId, const char* documentUrl);

// Sets the tests' time limit for the life of the object.
class FetchTimeLimit {
public:
    explicit FetchTimeLimit(unsigned milliseconds) : saved_(TestFetchLimits().stepMs) {
        TestFetchLimits().stepMs = milliseconds;
    }
    ~FetchTimeLimit() { TestFetchLimits().stepMs = saved_; }

private:
    unsigned saved_;
};

// Sets the tests' download deadline for the life of the object.
class FetchDeadline {
public:
    explicit FetchDeadline(unsigned milliseconds) : saved_(TestFetchLimits().deadlineMs) {
        TestFetchLimits().deadlineMs = milliseconds;
    }
    ~FetchDeadline() { TestFetchLimits().deadlineMs = saved_; }

private:
    unsigned saved_;
};

// Sets the tests' answer ceiling for the life of the object.
class FetchAnswerCeiling {
public:
    explicit FetchAnswerCeiling(size_t bytes) : saved_(TestFetchLimits().answerCeiling) {
        TestFetchLimits().answerCeiling = bytes;
    }
    ~FetchAnswerCeiling() { TestFetchLimits().answerCeiling = saved_; }

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
