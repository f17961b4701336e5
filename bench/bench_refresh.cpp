// Benchmarks of the work a refresh does after its download, over the large corpus feeds: the bare
// expat parse that no reader can beat, the feed reader alone, and the reader with the composer
// into a host that keeps messages in memory, beside folder indexes of several sizes. Targets are
// measured here, never in tests; scripts/bench.sh runs this with the whole-refresh and peer
// figures and prints the ratios.
//
//   cmake -B build-bench -DCMAKE_BUILD_TYPE=Release -DQF_BENCH=ON && build-bench/bench_refresh
#include <benchmark/benchmark.h>
#include <expat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "base/hostapi.h"
#include "base/module.h"
#include "compose/feed_date.h"
#include "feed/parse_feed.h"
#include "fetch/answer_stream.h"
#include "platform/xml_reader.h"
#include "refresh/refresh.h"

namespace {

const char* const kFeeds[] = {"rss2_100k.xml", "atom_300k.xml", "rss2_500k.xml"};
// The feed whose figures the targets are about.
const char kMainFeed[] = "rss2_500k.xml";
const char kFolderId[] = "Bench";

std::string ReadCorpusFile(const char* name) {
    std::ifstream in(std::string(QF_CORPUS_DIR) + "/big/" + name, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// Reads one of the big feeds into `document`; a benchmark without it ends with an error that
// the report names.
bool LoadFeed(benchmark::State& state, const char* name, std::string* document) {
    *document = ReadCorpusFile(name);
    if (document->empty()) {
        state.SkipWithError("the corpus's big feeds are missing");
        return false;
    }
    return true;
}

// The limit: expat over the same bytes with namespaces, as the reader sets it up, and handlers
// that do nothing.
void XMLCALL NoStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL NoEnd(void*, const XML_Char*) {}
void XMLCALL NoText(void*, const XML_Char*, int) {}

void BareExpat(benchmark::State& state, const char* name) {
    std::string document;
    if (!LoadFeed(state, name, &document)) {
        return;
    }
    const char* start = FindDocumentStart(document.c_str());
    for (auto _ : state) {
        XML_Parser parser = XML_ParserCreateNS(nullptr, '\x01');
        XML_SetReturnNSTriplet(parser, 1);
        XML_SetElementHandler(parser, NoStart, NoEnd);
        XML_SetCharacterDataHandler(parser, NoText);
        benchmark::DoNotOptimize(XML_Parse(parser, start, static_cast<int>(strlen(start)), 1));
        XML_ParserFree(parser);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * document.size()));
}

// The platform's reader into a handler that does nothing: the reader's own cost over bare expat.
class NoHandler final : public XmlHandler {
public:
    void StartElement(const XmlName&, const XmlAttribute*, size_t) override {}
    void EndElement(const XmlName&) override {}
    void Text(const char*, size_t) override {}
};

void XmlReaderAlone(benchmark::State& state, const char* name) {
    std::string document;
    if (!LoadFeed(state, name, &document)) {
        return;
    }
    const char* start = FindDocumentStart(document.c_str());
    const size_t length = strlen(start);
    XmlReader* reader = OpenXmlReader(nullptr);
    if (reader == nullptr) {
        state.SkipWithError("no reader");
        return;
    }
    NoHandler handler;
    for (auto _ : state) {
        MemoryXmlSource source(start, length);
        benchmark::DoNotOptimize(ReadXml(reader, &source, &handler, nullptr));
    }
    CloseXmlReader(reader);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * document.size()));
}

void ParseFeedAlone(benchmark::State& state, const char* name) {
    std::string document;
    if (!LoadFeed(state, name, &document)) {
        return;
    }
    const char* start = FindDocumentStart(document.c_str());
    for (auto _ : state) {
        ParseFeed(start, nullptr, nullptr, "http://bench.example/feed.xml");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * document.size()));
}

// The in-memory host: a data folder that holds only the folder's index, and messages counted
// rather than stored.
std::filesystem::path g_dataFolder;
std::string g_dataFolderText;
int g_appended = 0;

const char* QF_CALL BenchDataFolder(void) {
    return g_dataFolderText.c_str();
}
const char* QF_CALL BenchDisplayName(const char*) {
    return "Feeds/Bench";
}
int QF_CALL BenchAppend(const char*, const char* message) {
    benchmark::DoNotOptimize(message);
    ++g_appended;
    return 1;
}

// An index of `lines` messages as a host writes it, none of them an item of the feed.
void WriteIndex(int64_t lines) {
    std::ofstream out(g_dataFolder / kFolderId / "Folder.idx", std::ios::binary | std::ios::trunc);
    out << "Folder index\r\n";
    for (int64_t i = 1; i <= lines; ++i) {
        out << i
            << "\x01Mon, 07 Dec 2026 09:15:00 +0100\x01"
               "Example News <news@example.com>\x01"
               "Earlier story number "
            << i << " of the folder\r\n";
    }
}

void ParseAndCompose(benchmark::State& state) {
    std::string document;
    if (!LoadFeed(state, kMainFeed, &document)) {
        return;
    }
    char pattern[] = "/tmp/quillfeed-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        state.SkipWithError("no scratch folder");
        return;
    }
    g_dataFolder = pattern;
    g_dataFolderText = g_dataFolder.string();
    std::filesystem::create_directories(g_dataFolder / kFolderId);
    WriteIndex(state.range(0));
    g_hostApi.PXA_GetDataFolder = BenchDataFolder;
    g_hostApi.PXA_GetFolderDisplayName = BenchDisplayName;
    g_hostApi.PXA_AppendMessage = BenchAppend;
    static_cast<void>(CopyText(SettingsFilePath, sizeof SettingsFilePath,
                               (g_dataFolder / "settings.ini").string().c_str()));
    g_appended = 0;
    for (auto _ : state) {
        // Every refresh is a folder's first: the items are composed and the index checked, and
        // the record of what the folder has seen is written.
        state.PauseTiming();
        std::error_code kept;
        std::filesystem::remove_all(g_dataFolder / "settings.seen", kept);
        state.ResumeTiming();
        // A refresh's reading of an answer whose header has arrived, with its own reader.
        std::unique_ptr<Refresh> refresh = MakeRefresh("http://bench.example/feed.xml", kFolderId);
        TextAnswerSource source(document.data(), document.size());
        AnswerStream answer(&source, kAnswerLimit);
        if (refresh != nullptr && answer.ReadHeader()) {
            ReadFeedItems(refresh.get(), &answer, "http://bench.example/feed.xml");
        }
    }
    state.counters["messages"] =
        benchmark::Counter(static_cast<double>(g_appended), benchmark::Counter::kAvgIterations);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * document.size()));
    std::error_code ignored;
    std::filesystem::remove_all(g_dataFolder, ignored);
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

void RegisterAll() {
    for (const char* feed : kFeeds) {
        const std::string name = std::string(feed).substr(0, strlen(feed) - 4);
        benchmark::RegisterBenchmark(("BareExpat/" + name).c_str(), BareExpat, feed)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("XmlReader/" + name).c_str(), XmlReaderAlone, feed)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("ParseFeed/" + name).c_str(), ParseFeedAlone, feed)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("ParseAndCompose/index_lines", ParseAndCompose)
        ->Arg(0)
        ->Arg(1000)
        ->Arg(10000)
        ->Arg(100000)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("NormalizeDates", NormalizeDates);
}

}  // namespace

int main(int argc, char** argv) {
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
