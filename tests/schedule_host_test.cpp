// The stand-in host's open, tick, update and show commands and its mail store, run as a person
// would run them against the built plug-in. Each test works on a copy of the plug-in in a scratch
// directory, so that the settings file next to it is the test's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform.h"
#include "platform/codepage.h"
#include "tests/loopback_server.h"
#include "tests/support.h"
#include "platform/profile.h"

namespace fs = std::filesystem;

namespace {

class PellixOpenTickShow : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(PluginPath().empty() || PellixPath().empty())
            << "run with --plugin=PATH --pellix=PATH";
        const fs::path plugin = PluginPath();
        plugin_ = scratch_.File(plugin.filename().string());
        fs::copy_file(plugin, plugin_);
        settings_ = fs::path(plugin_).replace_extension(".ini").string();
        data_ = scratch_.File("data");
    }

    // Runs one pellix command; returns its exit code and leaves its output in `output_`.
    int Pellix(const std::vector<std::string>& words) {
        std::string arguments = "--data \"" + data_ + "\" --plugin \"" + plugin_ + "\"";
        for (const std::string& word : words) {
            arguments += " \"" + word + "\"";
        }
        output_.clear();
        int status = RunProgram(PellixPath(), arguments, &output_);
        // The console of Windows ends lines in CR LF, even those that already had a CR.
        output_ = WithoutCarriageReturns(output_);
        return status;
    }
    static std::string WithoutCarriageReturns(std::string text) {
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        return text;
    }

    std::string Setting(const char* section, const char* key) {
        char value[1024];
        return ReadProfileValue(settings_.c_str(), section, key, value, sizeof value) ? value
                                                                                      : "(absent)";
    }
    void WriteSettings(const std::string& text) { ASSERT_TRUE(WriteFile(settings_, text)); }
    void WriteMessage(const char* folder, int number, const std::string& text) {
        ASSERT_TRUE(WriteFile(data_ + QF_PATH_SEPARATOR + folder + QF_PATH_SEPARATOR +
                                  std::to_string(number) + ".msg",
                              text));
    }

    std::string Folder(const char* folder) const { return data_ + QF_PATH_SEPARATOR + folder; }

    // The message files of a folder, by number.
    std::vector<int> MessageNumbers(const char* folder) const {
        std::vector<int> numbers;
        for (const auto& entry : fs::directory_iterator(Folder(folder))) {
            const std::string name = entry.path().filename().string();
            if (name.size() > 4 && name.substr(name.size() - 4) == ".msg") {
                numbers.push_back(static_cast<int>(std::strtol(name.c_str(), nullptr, 10)));
            }
        }
        std::sort(numbers.begin(), numbers.end());
        return numbers;
    }

    // The index lines after the header, each split at the byte 0x01.
    std::vector<std::vector<std::string>> IndexLines(const char* folder) const {
        std::vector<std::vector<std::string>> lines;
        const std::string index = ReadFile(Folder(folder) + QF_PATH_SEPARATOR "Folder.idx");
        size_t start = index.find("\r\n");
        while (start != std::string::npos && start + 2 < index.size()) {
            start += 2;
            size_t end = index.find("\r\n", start);
            std::vector<std::string> fields;
            std::string line = index.substr(start, end - start);
            for (size_t at = 0;;) {
                size_t next = line.find('\x01', at);
                fields.push_back(line.substr(at, next - at));
                if (next == std::string::npos) {
                    break;
                }
                at = next + 1;
            }
            lines.push_back(fields);
            start = end;
        }
        return lines;
    }

    // Every index line has four fields and names a message file whose subject it lists, and
    // every message file has its line.
    void ExpectIndexAndMessagesAgree(const char* folder) {
        std::vector<int> listed;
        for (const std::vector<std::string>& fields : IndexLines(folder)) {
            ASSERT_EQ(4u, fields.size());
            listed.push_back(static_cast<int>(std::strtol(fields[0].c_str(), nullptr, 10)));
            const std::string message =
                ReadFile(Folder(folder) + QF_PATH_SEPARATOR + fields[0] + ".msg");
            EXPECT_NE(std::string::npos, message.find("\r\nSubject:" + fields[3] + "\r\n"))
                << "message " << fields[0] << " is not the one its line lists";
        }
        std::sort(listed.begin(), listed.end());
        EXPECT_TRUE(std::adjacent_find(listed.begin(), listed.end()) == listed.end())
            << "two lines share a number";
        EXPECT_EQ(listed, MessageNumbers(folder));
    }

    ScratchDir scratch_;
    std::string plugin_, settings_, data_;
    std::string output_;
};

// A feed of `items` items with titles and dates, so that every message of it has a known size.
std::string FeedAnswer(int items) {
    std::string feed =
        "HTTP/1.0 200 OK\r\n\r\n<?xml version=\"1.0\"?><rss><channel><title>Store</title>";
    for (int i = 1; i <= items; ++i) {
        feed += "<item><title>Story " + std::to_string(i) +
                "</title><pubDate>Tue, 08 Dec 2026 10:00:00 GMT</pubDate>"
                "<description>Text of story " +
                std::to_string(i) + ".</description></item>";
    }
    return feed + "</channel></rss>";
}

// A feed whose server refuses at once, so that a refresh ends quickly and adds nothing.
const char kRefusedFeed[] = "http://127.0.0.1:1/feed.xml";

TEST_F(PellixOpenTickShow, OpenRefreshesAFeedFolderAndNothingElse) {
    ASSERT_EQ(0, Pellix({"mkfolder", "news"}));
    ASSERT_EQ(0, Pellix({"mkfolder", "plain"}));
    WriteSettings(std::string("[Feeds]\r\nnews=") + kRefusedFeed + "\r\n");

    EXPECT_EQ(0, Pellix({"open", "news"})) << output_;
    EXPECT_NE(std::string::npos, output_.find("opened folder news")) << output_;
    const std::string started = Setting("LastUpdateTime", "news");
    EXPECT_NE("(absent)", started);
    EXPECT_GT(std::strtoul(started.c_str(), nullptr, 10), 1700000000ul);

    EXPECT_EQ(0, Pellix({"open", "plain"})) << output_;
    EXPECT_EQ("(absent)", Setting("LastUpdateTime", "plain"));
}

TEST_F(PellixOpenTickShow, TickRefreshesDueFoldersAndForgetsVanishedOnes) {
    ASSERT_EQ(0, Pellix({"mkfolder", "news"}));
    ASSERT_EQ(0, Pellix({"mkfolder", "plain"}));
    WriteSettings(std::string("[Feeds]\r\nnews=") + kRefusedFeed +
                  "\r\ngone=http://gone.test/\r\nplain=\r\n"
                  "[Styles]\r\ngone=dark.css\r\n[LastUpdateTime]\r\ngone=1\r\n"
                  "[AutoRefresh]\r\ngone=30\r\n[ClickRefresh]\r\ngone=5\r\n");

    EXPECT_EQ(0, Pellix({"tick"})) << output_;

    EXPECT_NE("(absent)", Setting("LastUpdateTime", "news"));
    for (const char* section :
         {"Feeds", "Styles", "LastUpdateTime", "AutoRefresh", "ClickRefresh"}) {
        EXPECT_EQ("(absent)", Setting(section, "gone")) << section;
    }
    EXPECT_EQ("", Setting("Feeds", "plain"));
    EXPECT_EQ("(absent)", Setting("LastUpdateTime", "plain"));
}

TEST_F(PellixOpenTickShow, ShowDisplaysAFeedMessageInItsFolderStyle) {
    ASSERT_EQ(0, Pellix({"mkfolder", "news"}));
    ASSERT_EQ(0, Pellix({"mkfolder", "plain"}));
    const std::string message =
        "From: Example\r\nSubject: Why <LINK REL matters\r\n\r\n<HTML>\r\n"
        "<HEAD><LINK REL=\"stylesheet\" TYPE=\"text/css\" HREF=\"old.css\" ></HEAD>"
        "<BODY>hi</BODY></HTML>";
    WriteMessage("news", 1, message);
    WriteMessage("plain", 1, message);
    WriteSettings(std::string("[Feeds]\r\nnews=") + kRefusedFeed +
                  "\r\nplain=\r\n[Styles]\r\nnews=dark blue.css\r\n");

    EXPECT_EQ(0, Pellix({"show", "news", "1"})) << output_;
    EXPECT_NE(std::string::npos,
              output_.find("Subject: Why <LINK REL matters\n\n<HTML>\n<HEAD><LINK "
                           "REL=\"stylesheet\" TYPE=\"text/css\" HREF=\""))
        << output_;
    EXPECT_NE(std::string::npos,
              output_.find(QF_PATH_SEPARATOR "RssStyles" QF_PATH_SEPARATOR
                                             "dark blue.css\" ></HEAD><BODY>hi</BODY></HTML>"))
        << output_;

    EXPECT_EQ(0, Pellix({"show", "plain", "1"})) << output_;
    EXPECT_NE(std::string::npos, output_.find(WithoutCarriageReturns(message))) << output_;

    EXPECT_NE(0, Pellix({"show", "news", "2"}));
    EXPECT_NE(std::string::npos, output_.find("no message 2 in news")) << output_;
}

TEST_F(PellixOpenTickShow, AFullDiskLeavesNeitherAMessageNorATornIndexLine) {
    // The store is told its disk has only so many bytes left: none, half a message, and a message
    // and half its index line. Each time nothing may count as stored, and once there is room again
    // the refresh stores every item, each line whole.
    LoopbackServer server({Send(FeedAnswer(3))}, 7);
    ASSERT_EQ(0, Pellix({"mkfolder", "probe"}));
    std::string settings = "[Feeds]\r\nprobe=" + server.Url("/feed.xml") + "\r\n";
    for (const char* folder : {"none", "half", "line"}) {
        ASSERT_EQ(0, Pellix({"mkfolder", folder}));
        settings += std::string(folder) + "=" + server.Url("/feed.xml") + "\r\n";
    }
    WriteSettings(settings);
    ASSERT_EQ(0, Pellix({"update", "probe"})) << output_;
    const size_t message = ReadFile(Folder("probe") + QF_PATH_SEPARATOR "1.msg").size();
    ASSERT_GT(message, 0u);
    const size_t line =
        2 + std::string("1\x01Tue, 08 Dec 2026 10:00:00 GMT\x01Store\x01Story 1").size();
    const std::string header = ReadFile(Folder("none") + QF_PATH_SEPARATOR "Folder.idx");

    const struct {
        const char* folder;
        size_t room;
    } cases[] = {{"none", 0}, {"half", message / 2}, {"line", message + line / 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        EXPECT_EQ(0, Pellix({"--disk-room", std::to_string(c.room), "update", c.folder}))
            << output_;
        // Nothing counts as stored, and the status line says why.
        EXPECT_NE(output_.find("3 could not be stored: the disk is full"), std::string::npos)
            << output_;
        EXPECT_EQ(header, ReadFile(Folder(c.folder) + QF_PATH_SEPARATOR "Folder.idx"));
        EXPECT_TRUE(MessageNumbers(c.folder).empty());

        EXPECT_EQ(0, Pellix({"update", c.folder})) << output_;
        EXPECT_EQ(3u, IndexLines(c.folder).size());
        ExpectIndexAndMessagesAgree(c.folder);
    }
}

TEST_F(PellixOpenTickShow, ThreeHostsOnOneDataFolderKeepEveryMessageOnce) {
    // The refreshes are held until every request is in, so the processes append at once.
    LoopbackServer server({WaitForRelease(), Send(FeedAnswer(20))}, 3);
    ASSERT_EQ(0, Pellix({"mkfolder", "news"}));
    WriteSettings("[Feeds]\r\nnews=" + server.Url("/feed.xml") + "\r\n");
    const std::string arguments =
        "--data \"" + data_ + "\" --plugin \"" + plugin_ + "\" update news";
    std::string outputs[3];
    std::thread hosts[3];
    for (int i = 0; i < 3; ++i) {
        hosts[i] = std::thread([&, i] { RunProgram(PellixPath(), arguments, &outputs[i]); });
    }
    for (int waited = 0; server.Requests().size() < 3 && waited < 60 * 1000; waited += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    server.Release();
    for (std::thread& host : hosts) {
        host.join();
    }
    // The folder's record of seen items is taken by one refresh at a time, whichever process
    // runs it: every item lands once.
    EXPECT_EQ(IndexLines("news").size(), 20u) << outputs[0] << outputs[1] << outputs[2];
    ExpectIndexAndMessagesAgree("news");
}

// Feeds in scripts beyond the system's code page land with every character, in the message's
// UTF-8 body and its encoded header; the host's index holds its own code page's form of each
// title, which the next refresh finds.
TEST_F(PellixOpenTickShow, FeedsInEveryScriptLandWithEveryCharacterAndOnce) {
    const char* const titles[] = {
        "\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF\xE6\x99\xB4\xE3\x82\x8C\xE3\x80\x82",  // Japanese
        "\xD0\x98\xD1\x82\xD0\xBE\xD0\xB3\xD0\xB8 \xD0\xB4\xD0\xBD\xD1\x8F",         // Russian
        "Launch \xF0\x9F\x9A\x80 day",                                               // an emoji
        "Caf\xC3\xA9 au lait",
    };
    std::string feed =
        "HTTP/1.0 200 OK\r\n\r\n<?xml version=\"1.0\" encoding=\"utf-8\"?>"
        "<rss><channel><title>\xE4\xB8\x96\xE7\x95\x8C</title>";
    for (const char* title : titles) {
        feed += std::string("<item><title>") + title + "</title><description>&lt;p&gt;" + title +
                "&lt;/p&gt;</description></item>";
    }
    feed += "</channel></rss>";
    LoopbackServer server({Send(feed)}, 2);
    ASSERT_EQ(0, Pellix({"mkfolder", "world"}));
    WriteSettings("[Feeds]\r\nworld=" + server.Url("/feed.xml") + "\r\n");

    ASSERT_EQ(0, Pellix({"update", "world"})) << output_;
    const std::vector<std::vector<std::string>> lines = IndexLines("world");
    ASSERT_EQ(lines.size(), 4u) << output_;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string title = titles[i];
        char ansi[64];
        ASSERT_TRUE(Utf8ToAnsi(title.data(), title.size(), ansi, sizeof ansi));
        ASSERT_EQ(lines[i].size(), 4u);
        EXPECT_EQ(lines[i][3], ansi) << title;
        const std::string message =
            ReadFile(Folder("world") + QF_PATH_SEPARATOR + lines[i][0] + ".msg");
        EXPECT_NE(message.find("<h2 dir=\"auto\">" + title + "</h2>"), std::string::npos)
            << message;
        EXPECT_NE(message.find("<p>" + title + "</p>"), std::string::npos) << message;
        EXPECT_NE(message.find("charset=utf-8"), std::string::npos);
    }

    ASSERT_EQ(0, Pellix({"update", "world"})) << output_;
    EXPECT_EQ(IndexLines("world").size(), 4u) << output_;
    EXPECT_NE(output_.find("nothing new"), std::string::npos) << output_;
}

// An item is told by its guid: a message the user deleted does not come back, an edited title
// adds nothing, and two items with one title both land. The status line counts what was there.
TEST_F(PellixOpenTickShow, ADeletedMessageStaysDeletedAndAnEditedTitleAddsNothing) {
    auto feed = [](const char* secondTitle) {
        return std::string("HTTP/1.0 200 OK\r\n\r\n<rss><channel><title>T</title>") +
               "<item><guid>g1</guid><title>Photo</title></item>"
               "<item><guid>g2</guid><title>Photo</title></item>"
               "<item><guid>g3</guid><title>" +
               secondTitle + "</title></item></channel></rss>";
    };
    LoopbackServer server(LoopbackServer::Scripts{{Send(feed("Tpyo"))}, {Send(feed("Typo"))}}, 2);
    ASSERT_EQ(0, Pellix({"mkfolder", "news"}));
    WriteSettings("[Feeds]\r\nnews=" + server.Url("/feed.xml") + "\r\n");
    ASSERT_EQ(0, Pellix({"update", "news"})) << output_;
    ASSERT_EQ(IndexLines("news").size(), 3u) << output_;
    EXPECT_NE(output_.find("status: news: 3 new messages"), std::string::npos) << output_;

    // The user deletes the first message: its line and its file go.
    const std::string index = ReadFile(Folder("news") + QF_PATH_SEPARATOR "Folder.idx");
    const size_t first = index.find("\r\n") + 2;
    ASSERT_TRUE(WriteFile(Folder("news") + QF_PATH_SEPARATOR "Folder.idx",
                          index.substr(0, first) + index.substr(index.find("\r\n", first) + 2)));
    fs::remove(Folder("news") + QF_PATH_SEPARATOR "1.msg");

    ASSERT_EQ(0, Pellix({"update", "news"})) << output_;
    EXPECT_EQ(IndexLines("news").size(), 2u) << output_;
    EXPECT_NE(output_.find("status: news: nothing new"), std::string::npos) << output_;
}

// An index without even its header line (a host's file emptied by hand) gets its header before
// the first line, which readers would otherwise skip; a hand-edited line without a number at the
// index's end never makes the store write over a message.
TEST_F(PellixOpenTickShow, AnEmptyIndexAndAHandEditedOneKeepEveryMessage) {
    LoopbackServer server({Send(FeedAnswer(2))}, 2);
    ASSERT_EQ(0, Pellix({"mkfolder", "news"}));
    ASSERT_TRUE(WriteFile(Folder("news") + QF_PATH_SEPARATOR "Folder.idx", ""));
    WriteSettings("[Feeds]\r\nnews=" + server.Url("/feed.xml") + "\r\n");
    ASSERT_EQ(0, Pellix({"update", "news"})) << output_;
    EXPECT_EQ(IndexLines("news").size(), 2u);
    ExpectIndexAndMessagesAgree("news");

    ASSERT_TRUE(WriteFile(Folder("news") + QF_PATH_SEPARATOR "Folder.idx",
                          ReadFile(Folder("news") + QF_PATH_SEPARATOR "Folder.idx") +
                              std::string(5000, 'n') + "\r\n"));
    const std::string firstMessage = ReadFile(Folder("news") + QF_PATH_SEPARATOR "1.msg");
    fs::remove_all(settings_.substr(0, settings_.size() - 4) + ".seen");
    ASSERT_TRUE(WriteFile(Folder("news") + QF_PATH_SEPARATOR "Folder.idx",
                          "Pellix folder index 1\r\n" + std::string(5000, 'n') + "\r\n"));
    ASSERT_EQ(0, Pellix({"update", "news"})) << output_;
    EXPECT_EQ(ReadFile(Folder("news") + QF_PATH_SEPARATOR "1.msg"), firstMessage);
    EXPECT_EQ(MessageNumbers("news"), (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(PellixOpenTickShow, APlugInWhoseWorkersDoNotEndStaysLoaded) {
    // Unloading a module while its worker waits on a silent server would crash the host when
    // the worker goes on.
    LoopbackServer server({WaitForRelease()});
    ASSERT_EQ(0, Pellix({"mkfolder", "news"}));
    WriteSettings("[Feeds]\r\nnews=" + server.Url("/feed.xml") + "\r\n");
    EXPECT_EQ(1, Pellix({"--worker-wait", "1", "update", "news"})) << output_;
    EXPECT_NE(std::string::npos,
              output_.find("the plug-in's workers did not end within 1 s; it stays loaded"))
        << output_;
    server.Release();
}

}  // namespace
