// The stand-in host's open, tick and show commands, run as a person would run them against the
// built plug-in. Each test works on a copy of the plug-in in a scratch directory, so that the
// settings file next to it is the test's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform.h"
#include "tests/support.h"

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
        GetPrivateProfileStringA(section, key, "(absent)", value, sizeof value, settings_.c_str());
        return value;
    }
    void WriteSettings(const std::string& text) { ASSERT_TRUE(WriteFile(settings_, text)); }
    void WriteMessage(const char* folder, int number, const std::string& text) {
        ASSERT_TRUE(WriteFile(data_ + QF_PATH_SEPARATOR + folder + QF_PATH_SEPARATOR +
                                  std::to_string(number) + ".msg",
                              text));
    }

    ScratchDir scratch_;
    std::string plugin_, settings_, data_;
    std::string output_;
};

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
                                             "dark blue.css\"></HEAD><BODY>hi</BODY></HTML>"))
        << output_;

    EXPECT_EQ(0, Pellix({"show", "plain", "1"})) << output_;
    EXPECT_NE(std::string::npos, output_.find(WithoutCarriageReturns(message))) << output_;

    EXPECT_NE(0, Pellix({"show", "news", "2"}));
    EXPECT_NE(std::string::npos, output_.find("no message 2 in news")) << output_;
}

}  // namespace
