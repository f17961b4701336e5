// Work that several refresh workers do at the same time, each on its own: reading documents and
// rewriting dates. These run under ThreadSanitizer too (every test file named parallel_*, fetch_*
// or schedule_* does), where shared state would show as a race.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "compose/feed_date.h"
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
