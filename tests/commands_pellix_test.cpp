// The menu commands end to end: the built plug-in in the stand-in host, as a person drives it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform.h"
#include "tests/support.h"
#include "platform/profile.h"

namespace {

namespace fs = std::filesystem;

// A copy of the plug-in in a scratch directory of its own, with its style directory; the stand-in
// host runs there, so every path it is given is relative and needs no quoting.
class PellixSession : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(PluginPath().empty() || PellixPath().empty())
            << "run with --plugin=PATH --pellix=PATH";
        scratch_ = fs::temp_directory_path() /
                   ("qf-pellix-" +
                    std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(scratch_);
        fs::create_directories(scratch_ / "RssStyles");
        for (const char* name : {"Blue.css", "default.css"}) {
            std::ofstream(scratch_ / "RssStyles" / name) << "body {}\n";
        }
        plugin_ = fs::path(PluginPath()).filename().string();
        fs::copy_file(PluginPath(), scratch_ / plugin_);
        settings_ = (scratch_ / fs::path(plugin_).replace_extension(".ini")).string();
        pellix_ = fs::absolute(PellixPath()).string();
        previous_ = fs::current_path();
        fs::current_path(scratch_);
    }

    void TearDown() override {
        if (!previous_.empty()) {
            fs::current_path(previous_);
        }
        std::error_code ignored;
        fs::remove_all(scratch_, ignored);
    }

    // Runs `pellix --data data --plugin PLUGIN words` and answers its output.
    std::string Run(const std::string& words, int* status = nullptr) {
        std::string command = pellix_ + " --data data --plugin " + (scratch_ / plugin_).string() +
                              " " + words + " > output.txt 2>&1";
        int result = std::system(command.c_str());
        if (status != nullptr) {
            *status = result;
        }
        std::ifstream in("output.txt");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string Setting(const char* section, const char* key) {
        char value[1024] = {};
        return ReadProfileValue(settings_.c_str(), section, key, value, sizeof value) ? value
                                                                                      : "<absent>";
    }

    fs::path scratch_;
    fs::path previous_;
    std::string plugin_;
    std::string pellix_;
    std::string settings_;
};

TEST_F(PellixSession, MenuShowsBothCommandsOfKindTwo) {
    std::string menu = Run("menu");
    EXPECT_NE(std::string::npos, menu.find("&Update RSS -> \"RSS Update\" (kind 2)")) << menu;
    EXPECT_NE(std::string::npos, menu.find("&RSS Setup -> \"RSS Setup\" (kind 2)")) << menu;
    EXPECT_LT(menu.find("&Update RSS"), menu.find("&RSS Setup"));
    EXPECT_NE(std::string::npos, Run("menu 1").find("0 item(s)"));
}

TEST_F(PellixSession, SetupWritesWhatWasTypedAndUpdateLeavesTheScheduleAlone) {
    std::string setup = Run("setup News --url http://127.0.0.1:9/feed --style blue --click 007");
    EXPECT_NE(std::string::npos, setup.find("dialog opened: url \"\", click \"1\", auto \"20\""))
        << setup;
    EXPECT_NE(std::string::npos, setup.find("dialog ended with 1 (OK)")) << setup;
    EXPECT_EQ("http://127.0.0.1:9/feed", Setting("Feeds", "News"));
    EXPECT_EQ("Blue.css", Setting("Styles", "News"));
    EXPECT_EQ("007", Setting("ClickRefresh", "News"));
    EXPECT_EQ("20", Setting("AutoRefresh", "News"));

    ASSERT_TRUE(WriteProfileValue(settings_.c_str(), "LastUpdateTime", "News", "1234"));
    int status = -1;
    std::string update = Run("update News", &status);
    EXPECT_EQ(0, status) << update;
    EXPECT_EQ(std::string::npos, update.find("message box")) << update;
    // The refresh started (however recent the last one), and the schedule was left alone.
    EXPECT_NE(std::string::npos, update.find("status: RSS:http://127.0.0.1:9/feed")) << update;
    EXPECT_EQ("1234", Setting("LastUpdateTime", "News"));
}

TEST_F(PellixSession, SetupRefusingTheAutoIntervalPrintsTheBoxAndKeepsTheDialogOpen) {
    std::string setup = Run("setup News --url http://a/ --auto 19");
    EXPECT_NE(std::string::npos,
              setup.find("The interval must not be less than 20 minutes. Set to default value."))
        << setup;
    EXPECT_NE(std::string::npos, setup.find("dialog still open: url \"http://a/\", click \"1\", "
                                            "auto \"20\""))
        << setup;
    EXPECT_NE(std::string::npos, setup.find("dialog ended with 2 (Cancel)")) << setup;
    EXPECT_EQ("1", Setting("ClickRefresh", "News"));
    EXPECT_EQ("<absent>", Setting("AutoRefresh", "News"));
}

TEST_F(PellixSession, WithoutAFolderOnScreenBothCommandsSaySo) {
    for (const char* words : {"setup \"\"", "update \"\""}) {
        std::string output = Run(words);
        EXPECT_NE(std::string::npos, output.find("Invalid Current Folder!")) << output;
    }
    EXPECT_FALSE(fs::exists(settings_));
}

TEST_F(PellixSession, AboutShowsTheVersion) {
    std::string about = Run("about");
    EXPECT_NE(std::string::npos, about.find("message box \"About Quillfeed\"")) << about;
    EXPECT_NE(std::string::npos, about.find("Version:1.31")) << about;
    EXPECT_NE(std::string::npos, about.find("PXC_OnPlugInSetup answered 1")) << about;
}

// Sets a variable of the environment the commands inherit, and unsets it again at the end.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) { Set(value); }
    ~ScopedVariable() { Set(""); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    void Set(const char* value) {
#ifdef _WIN32
        _putenv_s(name_, value);
#else
        setenv(name_, value, 1);
#endif
    }
    const char* name_;
};

TEST_F(PellixSession, PrintedTextIsInTheEncodingTheLocaleNames) {
    ASSERT_NE(std::string::npos, Run("mkfolder News").find("made folder News"));
    // A line as the store writes it, in the ANSI code page (1252: "á" is the byte E1).
    const std::string subject = "Tom\xE1s at the caf\xE9";
    {
        std::ofstream index("data/News/Folder.idx", std::ios::binary | std::ios::app);
        index << "1\x01Mon, 07 Dec 2026 09:15:00 +0100\x01Ines\x01" << subject << "\r\n";
    }
    struct Row {
        const char* lcAll;
        const char* lang;
        const char* shown;
    };
    const Row rows[] = {
        {"C.UTF-8", "", "Tom\xC3\xA1s at the caf\xC3\xA9"},
        {"", "en_GB.utf8", "Tom\xC3\xA1s at the caf\xC3\xA9"},
        {"", "de_DE.UTF-8@euro", "Tom\xC3\xA1s at the caf\xC3\xA9"},
        // LC_ALL, when set, is the one that counts.
        {"C", "en_GB.UTF-8", subject.c_str()},
        {"", "fr_FR.ISO-8859-1", subject.c_str()},
        {"", "", subject.c_str()},
    };
    for (const Row& row : rows) {
        ScopedVariable lcAll("LC_ALL", row.lcAll);
        ScopedVariable lcType("LC_CTYPE", "");
        ScopedVariable lang("LANG", row.lang);
        const std::string list = Run("list News");
        EXPECT_NE(std::string::npos, list.find(std::string("| Ines | ") + row.shown))
            << row.lcAll << " " << row.lang << ": " << list;
    }
    // What is stored stays as the plug-in and the store wrote it.
    std::ifstream index("data/News/Folder.idx", std::ios::binary);
    std::stringstream stored;
    stored << index.rdbuf();
    EXPECT_NE(std::string::npos, stored.str().find(subject));
}

}  // namespace
