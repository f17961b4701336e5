// The settings file, through the platform's profile functions: the same cases run against the
// POSIX stand-in and against the real functions under Wine.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "base/module.h"
#include "base/settings_file.h"
#include "tests/support.h"

namespace {

// Points SettingsFilePath at a file of a scratch directory for one test.
class SettingsFile : public testing::Test {
protected:
    void SetUp() override {
        memcpy(saved, SettingsFilePath, sizeof saved);
        UseFile(scratch.File("pxQuillfeed.ini"));
    }
    void TearDown() override { memcpy(SettingsFilePath, saved, sizeof saved); }

    void UseFile(const std::string& path) {
        ASSERT_LT(path.size(), sizeof SettingsFilePath);
        EXPECT_TRUE(CopyText(SettingsFilePath, sizeof SettingsFilePath, path.c_str()));
    }

    std::string Read(const char* section, const char* key, size_t capacity = kUrlCapacity) {
        std::string buffer(capacity, '#');
        ReadSetting(section, key, &buffer[0], capacity);
        return buffer.c_str();
    }

    // The key list as the names it holds, joined with "|", and the count the read returned.
    std::string Keys(const char* section, size_t capacity, size_t* count) {
        std::string buffer(capacity + 4, '#');
        *count = ReadSettingKeys(section, &buffer[0], capacity);
        EXPECT_EQ(buffer[capacity], '#') << "wrote past the capacity";
        std::string joined;
        for (size_t at = 0; at < capacity && buffer[at] != '\0';) {
            std::string name = &buffer[at];
            joined += (joined.empty() ? "" : "|") + name;
            at += name.size() + 1;
        }
        return joined;
    }

    ScratchDir scratch;
    char saved[kSettingsPathCapacity];
};

TEST_F(SettingsFile, WithoutAFileEveryReadGivesItsDefault) {
    EXPECT_EQ(Read(kFeedsSection, "Inbox"), "");
    EXPECT_EQ(ReadSettingInt(kClickRefreshSection, "Inbox"), 0);
    EXPECT_EQ(ReadSettingUnsigned(kLastUpdateTimeSection, "Inbox"), 0u);
    char url[kUrlCapacity] = "stale";
    EXPECT_FALSE(ReadFeedUrl("Inbox", url, sizeof url));
    size_t count = 99;
    EXPECT_EQ(Keys(kFeedsSection, kKeyListCapacity, &count), "");
    EXPECT_EQ(count, 0u);
}

TEST_F(SettingsFile, ValuesWrittenReadBackUnchanged) {
    const char* values[] = {
        "http://example.com/feed.xml?a=1&b=2#top",
        "C:\\Program Files\\Pellix\\x y.css",
        "007",
        "1700000000",
        "semi;colon = equals [brackets]",
    };
    for (const char* value : values) {
        EXPECT_TRUE(WriteSetting(kFeedsSection, "Inbox\\News", value));
        EXPECT_EQ(Read(kFeedsSection, "Inbox\\News"), value);
    }
}

TEST_F(SettingsFile, SectionsAndKeysMatchWithoutRegardToCase) {
    EXPECT_TRUE(WriteSetting(kFeedsSection, "Inbox\\News", "http://a/"));
    EXPECT_EQ(Read("FEEDS", "inbox\\news"), "http://a/");
    EXPECT_TRUE(WriteSetting("feeds", "INBOX\\NEWS", "http://b/"));
    EXPECT_EQ(Read(kFeedsSection, "Inbox\\News"), "http://b/");
    size_t count = 0;
    EXPECT_EQ(Keys(kFeedsSection, kKeyListCapacity, &count), "Inbox\\News");
}

TEST_F(SettingsFile, ANullValueDeletesTheKeyOnly) {
    EXPECT_TRUE(WriteSetting(kFeedsSection, "A", "http://a/"));
    EXPECT_TRUE(WriteSetting(kFeedsSection, "B", "http://b/"));
    EXPECT_TRUE(WriteSetting(kStylesSection, "A", "blue.css"));
    EXPECT_TRUE(DeleteSetting(kFeedsSection, "A"));
    EXPECT_TRUE(DeleteSetting(kFeedsSection, "never there"));
    EXPECT_EQ(Read(kFeedsSection, "A"), "");
    EXPECT_EQ(Read(kFeedsSection, "B"), "http://b/");
    EXPECT_EQ(Read(kStylesSection, "A"), "blue.css");

    // Several at once, matched as single keys are; the others and the other sections stay.
    for (const char* id : {"C", "Inbox\\D", "E", "F"}) {
        EXPECT_TRUE(WriteSetting(kFeedsSection, id, "http://x/"));
    }
    const char* const gone[] = {"c", "INBOX\\d", "never there", "F"};
    EXPECT_TRUE(DeleteSettings(kFeedsSection, gone, 4));
    EXPECT_TRUE(DeleteSettings(kStylesSection, gone, 0));
    EXPECT_TRUE(DeleteSettings("no such section", gone, 4));
    size_t count = 0;
    EXPECT_EQ(Keys(kFeedsSection, kKeyListCapacity, &count), "B|E");
    EXPECT_EQ(Read(kFeedsSection, "E"), "http://x/");
    EXPECT_EQ(Read(kStylesSection, "A"), "blue.css");
}

TEST_F(SettingsFile, AnEmptyValueKeepsTheFolderRegistered) {
    EXPECT_TRUE(WriteSetting(kFeedsSection, "Empty", ""));
    char url[kUrlCapacity];
    EXPECT_FALSE(ReadFeedUrl("Empty", url, sizeof url));
    size_t count = 0;
    EXPECT_EQ(Keys(kFeedsSection, kKeyListCapacity, &count), "Empty");
    EXPECT_EQ(count, 6u);
}

TEST_F(SettingsFile, IntegersAreTheNumberTheTextBeginsWith) {
    struct Case {
        const char* text;
        int value;
    };
    const Case cases[] = {
        {"007", 7}, {"20", 20}, {"-3", -3}, {"0", 0}, {"12abc", 12}, {"abc", 0}, {"", 0},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(WriteSetting(kAutoRefreshSection, "F", c.text));
        EXPECT_EQ(ReadSettingInt(kAutoRefreshSection, "F"), c.value) << '"' << c.text << '"';
    }
}

TEST_F(SettingsFile, TimesReadBackAsUnsigned32BitNumbers) {
    const unsigned times[] = {0u, 1u, 1700000000u, 2147483648u, 4000000000u, 4294967295u};
    for (unsigned time : times) {
        EXPECT_TRUE(WriteSettingUnsigned(kLastUpdateTimeSection, "F", time));
        EXPECT_EQ(ReadSettingUnsigned(kLastUpdateTimeSection, "F"), time);
    }
}

TEST_F(SettingsFile, AValueIsCutToTheCapacity) {
    EXPECT_TRUE(WriteSetting(kFeedsSection, "F", "abcdefgh"));
    char out[8];
    memset(out, '#', sizeof out);
    EXPECT_EQ(ReadSetting(kFeedsSection, "F", out, 5), 4u);
    EXPECT_STREQ(out, "abcd");
    EXPECT_EQ(out[5], '#');

    std::string longValue(1500, 'u');
    EXPECT_TRUE(WriteSetting(kFeedsSection, "Long", longValue.c_str()));
    EXPECT_EQ(Read(kFeedsSection, "Long").size(), kUrlCapacity - 1);
}

TEST_F(SettingsFile, KeyListHoldsEveryNameInFileOrder) {
    EXPECT_TRUE(WriteSetting(kFeedsSection, "a", "1"));
    EXPECT_TRUE(WriteSetting(kFeedsSection, "bb", "2"));
    EXPECT_TRUE(WriteSetting(kFeedsSection, "ccc", "3"));
    EXPECT_TRUE(WriteSetting(kStylesSection, "other", "x"));
    size_t count = 0;
    EXPECT_EQ(Keys(kFeedsSection, kKeyListCapacity, &count), "a|bb|ccc");
    EXPECT_EQ(count, 9u);  // "a\0bb\0ccc\0", without the final terminator
}

TEST_F(SettingsFile, KeyListIsCutWithTwoTerminators) {
    EXPECT_TRUE(WriteSetting(kFeedsSection, "alpha", "1"));
    EXPECT_TRUE(WriteSetting(kFeedsSection, "beta", "2"));
    EXPECT_TRUE(WriteSetting(kFeedsSection, "gamma", "3"));
    char list[16];
    memset(list, '#', sizeof list);
    size_t count = ReadSettingKeys(kFeedsSection, list, 10);
    EXPECT_EQ(count, 8u);
    EXPECT_EQ(std::string(list, 10), std::string("alpha\0be\0\0", 10));
    EXPECT_EQ(list[10], '#');
}

TEST_F(SettingsFile, AFileThatCannotBeWrittenSaysSoAndLeavesTheDefaults) {
    // A missing directory on the way, and a directory where the file should be.
    const std::string directory = scratch.File("in-the-way");
    ASSERT_TRUE(std::filesystem::create_directory(directory));
    for (const std::string& path :
         {scratch.File("missing-directory") + QF_PATH_SEPARATOR + "pxQuillfeed.ini", directory}) {
        SCOPED_TRACE(path);
        UseFile(path);
        EXPECT_FALSE(WriteSetting(kFeedsSection, "F", "http://a/"));
        EXPECT_FALSE(WriteSettingUnsigned(kLastUpdateTimeSection, "F", 5));
        EXPECT_EQ(Read(kFeedsSection, "F"), "");
        EXPECT_EQ(ReadSettingUnsigned(kLastUpdateTimeSection, "F"), 0u);
        size_t count = 1;
        EXPECT_EQ(Keys(kFeedsSection, 64, &count), "");
        EXPECT_EQ(count, 0u);
    }
}

TEST_F(SettingsFile, ControlCharactersAreNeverWritten) {
    // A pasted URL with a line break would otherwise add a section and keys of its choosing.
    EXPECT_TRUE(WriteSetting(kFeedsSection, "F", "http://a/"));
    const char* values[] = {"http://b/\r\n[Feeds]\r\nEvil=http://evil/", "a\nb", "tab\there",
                            "del\x7f"};
    for (const char* value : values) {
        EXPECT_FALSE(WriteSetting(kFeedsSection, "F", value)) << value;
        EXPECT_FALSE(WriteSetting(kFeedsSection, value, "http://c/")) << value;
    }
    EXPECT_EQ(Read(kFeedsSection, "F"), "http://a/");
    size_t count = 0;
    EXPECT_EQ(Keys(kFeedsSection, kKeyListCapacity, &count), "F");
    // Bytes of the code page beyond ASCII are text.
    EXPECT_TRUE(WriteSetting(kFeedsSection, "Caf\xE9", "http://caf\xE9/"));
    EXPECT_EQ(Read(kFeedsSection, "Caf\xE9"), "http://caf\xE9/");
}

TEST_F(SettingsFile, KeysAreMatchedWithoutTheirBlanksAndABracketStartsNoSection) {
    // As the platform's profile functions do: blanks around a key are not part of it, so the
    // second write replaces the first; a key beginning with "[" stays a key.
    EXPECT_TRUE(WriteSetting(kFeedsSection, "News ", "v1"));
    EXPECT_TRUE(WriteSetting(kFeedsSection, "News ", "v2"));
    EXPECT_TRUE(WriteSetting(kFeedsSection, " Lead", "v3"));
    EXPECT_TRUE(WriteSetting(kFeedsSection, "[x", "v4"));
    EXPECT_TRUE(WriteSetting(kFeedsSection, "after", "v5"));
    EXPECT_EQ(Read(kFeedsSection, "News "), "v2");
    EXPECT_EQ(Read(kFeedsSection, "News"), "v2");
    EXPECT_EQ(Read(kFeedsSection, "Lead"), "v3");
    EXPECT_EQ(Read(kFeedsSection, "[x"), "v4");
    EXPECT_EQ(Read(kFeedsSection, "after"), "v5");
    size_t count = 0;
    EXPECT_EQ(Keys(kFeedsSection, kKeyListCapacity, &count), "News|Lead|[x|after");
    EXPECT_EQ(Keys("[x", kKeyListCapacity, &count), "");
}

}  // namespace
