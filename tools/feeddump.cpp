// feeddump: runs feed documents through the reader the way a refresh does after its download
// (the document-start search, then the reader, one for all documents) and writes every delivered
// item's fields, in the UTF-8 the reader hands them in, to one text file. Run on both builds, the
// two files show where the POSIX reader and the platform's own reader differ.
//
//   feeddump OUTPUT FILE...
//
// Each document's section starts with "== " and the file's name; bytes outside printable ASCII
// (and the backslash) are written as \xHH, so the output is plain ASCII whatever the feed held.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "feed/parse_feed.h"

namespace {

FILE* g_out;
int g_items;

void WriteEscaped(const char* label, const char* text) {
    fprintf(g_out, "%s: ", label);
    for (const unsigned char* at = reinterpret_cast<const unsigned char*>(text); *at; ++at) {
        if (*at < 0x20 || *at >= 0x7F || *at == '\\') {
            fprintf(g_out, "\\x%02X", *at);
        } else {
            fputc(*at, g_out);
        }
    }
    fputc('\n', g_out);
}

int DumpItem(const FeedItem* item, void*) {
    fprintf(g_out, "-- item %d\n", ++g_items);
    WriteEscaped("title", item->title);
    WriteEscaped("description", item->description);
    WriteEscaped("link", item->link);
    WriteEscaped("date", item->date);
    WriteEscaped("author", item->author);
    WriteEscaped("channelTitle", item->channelTitle);
    WriteEscaped("imageUrl", item->imageUrl);
    WriteEscaped("channelDate", item->channelDate);
    WriteEscaped("guid", item->guid);
    WriteEscaped("baseUrl", item->baseUrl);
    WriteEscaped("thumbnail", item->thumbnail);
    WriteEscaped("duration", item->duration);
    fprintf(g_out, "titleIsHtml: %d\ndescriptionCut: %d\n", item->titleIsHtml ? 1 : 0,
            item->descriptionCut ? 1 : 0);
    for (size_t i = 0; i < item->enclosureCount; ++i) {
        WriteEscaped("enclosure", item->enclosures[i].url);
        WriteEscaped("enclosureType", item->enclosures[i].type);
        WriteEscaped("enclosureLength", item->enclosures[i].length);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fputs("usage: feeddump OUTPUT FILE...\n", stderr);
        return 2;
    }
    g_out = fopen(argv[1], "wb");
    if (g_out == nullptr) {
        fprintf(stderr, "feeddump: cannot write %s\n", argv[1]);
        return 1;
    }
    // One reader for every document, as a refresh worker keeps one.
    unsigned long failure = 0;
    XmlReader* reader = OpenXmlReader(&failure);
    if (reader == nullptr) {
        fprintf(stderr, "feeddump: no XML reader (%08lX)\n", failure);
        fclose(g_out);
        return 1;
    }
    int documents = 0;
    int total = 0;
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            fprintf(stderr, "feeddump: cannot read %s\n", argv[i]);
            CloseXmlReader(reader);
            fclose(g_out);
            return 1;
        }
        std::ostringstream bytes;
        bytes << in.rdbuf();
        // As the receive buffer holds it: terminated after the last byte.
        std::string answer = bytes.str();
        std::string name = std::filesystem::path(argv[i]).filename().string();
        fprintf(g_out, "== %s\n", name.c_str());
        g_items = 0;
        const char* start = FindDocumentStart(answer.c_str());
        if (start == nullptr) {
            fprintf(g_out, "no document\n");
        } else {
            MemoryXmlSource source(start, strlen(start));
            XmlError error;
            ReadFeedDocument(reader, &source, DumpItem, nullptr, nullptr, &error);
            ++documents;
        }
        total += g_items;
    }
    CloseXmlReader(reader);
    fclose(g_out);
    printf("feeddump: %d files, %d documents read, %d items\n", argc - 2, documents, total);
    return 0;
}
