// Work that several refresh workers do at the same time, each on its own: reading documents and
// rewriting dates; and the pool that runs them. These run under ThreadSanitizer too (every test
// file named parallel_*, fetch_* or schedule_* does), where shared state would show as a race.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"
#include "compose/feed_date.h"
#include "refresh/refresh_pool.h"
#include "tests/feed_date_cases.h"
#include "tests/feed_support.h"

namespace {

TEST(ParallelWorkers, ParsesKeepTheirOwnRecords) {
    // Each worker parses its own document, with text beyond ASCII, many times.
    std::vector<std::thread> workers;
    std::vector<int> mismatches(4, 0);
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([w, &mismatches] {
            std::string title = "Worker " + std::to_string(w) + " caf\xC3\xA9 \xE6\x97\xA5";
            std::string document =
                "<rss><channel><title>C" + std::to_string(w) + "</title><item><title>" + title +
                "</title></item><item><title>" + title + "</title></item></channel></rss>";
            const std::string& expected = title;
            for (int round = 0; round < 50; ++round) {
                for (const SeenItem& item : ParseItems(document)) {
                    mismatches[w] += item.title != expected;
                    mismatches[w] += item.channelTitle != "C" + std::to_string(w);
                }
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

TEST(ParallelWorkers, DateRewritesKeepTheirOwnResults) {
    // Each thread interleaves shape tests and rewrites; shared tokenizer or conversion state
    // would mix their pieces.
    std::vector<std::thread> workers;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([t, &failures] {
            for (int round = 0; round < 500; ++round) {
                for (const DateCase& c : kDateCases) {
                    char out[kFeedDateCapacity];
                    const char* result = NormalizeFeedDate(c.source, out, sizeof out);
                    const bool ok =
                        c.expected ? (result && std::string(out) == c.expected) : result == nullptr;
                    failures[t] += ok ? 0 : 1;
                }
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    for (int count : failures) {
        EXPECT_EQ(count, 0);
    }
}

}  // namespace

// The pool of refresh workers with a fake job that only notes what it ran: every request runs
// once, in the order queued, no more at once than the pool's workers, and a folder queued or
// running is not queued again.
namespace {

std::mutex g_lock;
std::condition_variable g_changed;
std::vector<std::string> g_ran;
int g_running = 0;
int g_mostRunning = 0;
bool g_hold = false;  // the jobs wait while this is set

void FakeJob(RefreshRequest* request, RefreshWorker*) {
    std::unique_lock<std::mutex> hold(g_lock);
    ++g_running;
    g_mostRunning = std::max(g_mostRunning, g_running);
    g_ran.push_back(request->folderId);
    g_changed.notify_all();
    g_changed.wait(hold, [] { return !g_hold; });
    --g_running;
    hold.unlock();
    delete request;
}

RefreshRequest* Request(const std::string& folder) {
    RefreshRequest* request = new RefreshRequest();
    EXPECT_TRUE(CopyText(request->folderId, sizeof request->folderId, folder.c_str()));
    return request;
}

void Reset(bool holdJobs) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_ran.clear();
    g_running = g_mostRunning = 0;
    g_hold = holdJobs;
}

void Release() {
    std::lock_guard<std::mutex> hold(g_lock);
    g_hold = false;
    g_changed.notify_all();
}

// Waits until `count` jobs have started.
bool WaitForStarts(size_t count) {
    std::unique_lock<std::mutex> hold(g_lock);
    return g_changed.wait_for(hold, std::chrono::seconds(60),
                              [count] { return g_ran.size() >= count; });
}

bool WaitForIdle(const RefreshPool& pool) {
    for (int i = 0; i < 6000 && pool.Workers() > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pool.Workers() == 0;
}

TEST(ParallelWorkers, ThePoolRunsEveryFolderOnceInOrderAndNoMoreAtOnce) {
    const struct {
        int workers;
        int folders;
    } cases[] = {{1, 50}, {3, 200}, {8, 1000}};
    for (const auto& c : cases) {
        RefreshPool pool(FakeJob);
        Reset(false);
        std::vector<std::string> queued;
        for (int i = 0; i < c.folders; ++i) {
            queued.push_back("Feeds\\" + std::to_string(i));
            ASSERT_EQ(pool.Submit(Request(queued.back()), c.workers), Queued::kQueued);
        }
        ASSERT_TRUE(WaitForIdle(pool));
        std::lock_guard<std::mutex> hold(g_lock);
        EXPECT_LE(g_mostRunning, c.workers) << c.workers;
        ASSERT_EQ(g_ran.size(), queued.size()) << c.workers;
        if (c.workers == 1) {
            EXPECT_EQ(g_ran, queued);  // one worker takes them in the order they came
        } else {
            std::vector<std::string> ran = g_ran;
            std::sort(ran.begin(), ran.end());
            std::sort(queued.begin(), queued.end());
            EXPECT_EQ(ran, queued) << c.workers;
        }
    }
}

TEST(ParallelWorkers, AFolderQueuedOrRunningIsNotQueuedAgain) {
    RefreshPool pool(FakeJob);
    Reset(true);
    ASSERT_EQ(pool.Submit(Request("Feeds\\A"), 1), Queued::kQueued);
    ASSERT_TRUE(WaitForStarts(1));  // A runs, held
    ASSERT_EQ(pool.Submit(Request("Feeds\\B"), 1), Queued::kQueued);
    EXPECT_EQ(pool.Submit(Request("feeds\\a"), 1), Queued::kAlreadyThere);  // running
    EXPECT_EQ(pool.Submit(Request("Feeds\\b"), 1), Queued::kAlreadyThere);  // waiting
    EXPECT_EQ(pool.Waiting(), 1u);
    Release();
    ASSERT_TRUE(WaitForIdle(pool));
    // Once done, a folder may come again.
    EXPECT_EQ(pool.Submit(Request("Feeds\\A"), 1), Queued::kQueued);
    ASSERT_TRUE(WaitForIdle(pool));
    std::lock_guard<std::mutex> hold(g_lock);
    EXPECT_EQ(g_ran, (std::vector<std::string>{"Feeds\\A", "Feeds\\B", "Feeds\\A"}));
}

TEST(ParallelWorkers, StoppingWithBusyWorkersAndAFullQueueEndsInBoundedTime) {
    RefreshPool pool(FakeJob);
    Reset(true);
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(pool.Submit(Request("Feeds\\" + std::to_string(i)), 4), Queued::kQueued);
    }
    ASSERT_TRUE(WaitForStarts(4));
    // The workers are busy: the stop drops the queue but cannot end them before their work ends.
    EXPECT_FALSE(pool.Stop(50));
    EXPECT_EQ(pool.Waiting(), 0u);
    Release();
    EXPECT_TRUE(pool.Stop(60 * 1000));
    std::lock_guard<std::mutex> hold(g_lock);
    EXPECT_EQ(g_ran.size(), 4u);  // only those that were running when it stopped
}

}  // namespace
