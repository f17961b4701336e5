// Benchmarks of the work a refresh does after its download, over the large corpus feeds: the
// reader alone, and the reader with the composer into a store that keeps nothing. Targets are
// measured here, never in tests.
//
//   cmake -B build-bench -DCMAKE_BUILD_TYPE=Release -DQF_BENCH=ON && build-bench/bench_refresh
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "compose/compose.h"
#include "compose/feed_date.h"
#include "feed/parse_feed.h"
#include "fetch/fetch.h"
#include "base/hostapi.h"

namespace {

std::string ReadCorpusFile(const char* name) {
    std::ifstream in(std::string(QF_CORPUS_DIR) + "/big/" + name, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

int CountItem(const FeedItem*, const char*) {
    return 0;
}

const char* QF_CALL BenchDataFolder(void) {
    return "/nonexistent";
}
const char* QF_CALL BenchDisplayName(const char*) {
    return "Feeds/Bench";
}
int QF_CALL BenchAppend(const char*, const char* message) {
    benchmark::DoNotOptimize(message);
    return 1;
}

void ParseOnly(benchmark::State& state, const char* name) {
    std::string document = ReadCorpusFile(name);
    if (document.empty()) {
        state.SkipWithError("the corpus's big feeds are missing");
        return;
    }
    for (auto _ : state) {
        ParseFeed(FindDocumentStart(document.c_str()), CountItem, "Bench");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * document.size()));
}

void ParseAndCompose(benchmark::State& state, const char* name) {
    std::string document = ReadCorpusFile(name);
    if (document.empty()) {
        state.SkipWithError("the corpus's big feeds are missing");
        return;
    }
    g_hostApi.PXA_GetDataFolder = BenchDataFolder;
    g_hostApi.PXA_GetFolderDisplayName = BenchDisplayName;
    g_hostApi.PXA_AppendMessage = BenchAppend;
    for (auto _ : state) {
        OnFeedDownloaded(document.c_str(), "Bench");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * document.size()));
}

void NormalizeDates(benchmark::State& state) {
    const char* dates[] = {"Mon, 07 Dec 2026 09:15:00 +0100", "2026-12-05T10:00:00+01:00",
                           "2026-12-01", "not a date at all"};
    char out[256];
    for (auto _ : state) {
        for (const char* date : dates) {
            benchmark::DoNotOptimize(NormalizeFeedDate(date, out, sizeof out));
        }
    }
}

BENCHMARK_CAPTURE(ParseOnly, rss2_100k, "rss2_100k.xml")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ParseOnly, atom_300k, "atom_300k.xml")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ParseOnly, rss2_500k, "rss2_500k.xml")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ParseAndCompose, rss2_500k, "rss2_500k.xml")->Unit(benchmark::kMillisecond);
BENCHMARK(NormalizeDates);

}  // namespace

BENCHMARK_MAIN();
