// The two scheduled triggers: opening a folder and the minute timer, with the clock and the
// refresh start replaced, a scratch settings file and a scratch data folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "base/hostapi.h"
#include "base/module.h"
#include "base/pxapi.h"
#include "settings/schedule.h"
#include "base/settings_file.h"
#include "tests/support.h"
#include "platform/profile.h"

namespace fs = std::filesystem;

namespace {

const unsigned kNow = 1800000000u;

unsigned g_now;
std::string g_dataFolder;
std::vector<std::pair<std::string, std::string>> g_started;  // url, folder id; in order

unsigned FakeClock() {
    return g_now;
}

// Answers as a start that could not begin its worker, so the tests also show that the time is
// written whatever the start said.
int RecordStart(const char* url, const char* folderId) {
    g_started.emplace_back(url, folderId);
    return -1;
}

const char* QF_CALL FakeDataFolder() {
    return g_dataFolder.c_str();
}

// A scratch settings file and data folder, the fake clock and the recorder; every global the
// triggers read is put back afterwards.
class Schedule : public testing::Test {
protected:
    void SetUp() override {
        savedApi_ = g_hostApi;
        EXPECT_TRUE(CopyText(savedSettings_, sizeof savedSettings_, SettingsFilePath));
        savedClock_ = g_scheduleClock;
        savedStart_ = g_refreshStart;

        scratch_ = scratchDir_.path();
        fs::create_directories(scratch_ / "data");
        g_dataFolder = (scratch_ / "data").string();
        EXPECT_TRUE(CopyText(SettingsFilePath, sizeof SettingsFilePath,
                             (scratch_ / "settings.ini").string().c_str()));
        g_hostApi.PXA_GetDataFolder = FakeDataFolder;
        g_scheduleClock = FakeClock;
        g_refreshStart = RecordStart;
        g_now = kNow;
        g_started.clear();
    }
    void TearDown() override {
        g_hostApi = savedApi_;
        EXPECT_TRUE(CopyText(SettingsFilePath, sizeof SettingsFilePath, savedSettings_));
        g_scheduleClock = savedClock_;
        g_refreshStart = savedStart_;
    }

    void MakeFolderDirectory(const std::string& id) {
        fs::create_directories(scratch_ / "data" / id);
    }

    // A feed folder whose directory exists.
    void AddFeedFolder(const std::string& id, const std::string& url) {
        MakeFolderDirectory(id);
        EXPECT_TRUE(WriteSetting(kFeedsSection, id.c_str(), url.c_str()));
    }

    static std::string Read(const char* section, const std::string& id) {
        char value[kUrlCapacity];
        ReadSetting(section, id.c_str(), value, sizeof value);
        return value;
    }
    static bool Has(const char* section, const std::string& id) {
        char value[kUrlCapacity];
        return ReadProfileValue(SettingsFilePath, section, id.c_str(), value, sizeof value);
    }

    ScratchDir scratchDir_;
    fs::path scratch_;

private:
    HostApi savedApi_;
    char savedSettings_[kSettingsPathCapacity];
    ScheduleClock savedClock_;
    RefreshStart savedStart_;
};

const char kAbsent[] = "(absent)";

struct TriggerCase {
    const char* name;
    const char* interval;  // the folder's interval entry, or kAbsent
    const char* last;      // its "LastUpdateTime" entry, or kAbsent
    bool due;
};

std::string Before(unsigned seconds) {
    return std::to_string(kNow - seconds);
}

void WriteUnlessAbsent(const char* section, const char* id, const std::string& value) {
    if (value != kAbsent) {
        EXPECT_TRUE(WriteSetting(section, id, value.c_str()));
    }
}

TEST_F(Schedule, OpeningRefreshesOnlyAfterMoreThanTheClickInterval) {
    const std::string at60 = Before(60), at61 = Before(61), at180 = Before(180),
                      at181 = Before(181), future = std::to_string(kNow + 100);
    const struct {
        const char* name;
        const char* click;
        std::string last;
        bool due;
    } cases[] = {
        {"one minute, 60 s ago", "1", at60, false},
        {"one minute, 61 s ago", "1", at61, true},
        {"absent counts as one minute, 60 s ago", kAbsent, at60, false},
        {"absent counts as one minute, 61 s ago", kAbsent, at61, true},
        {"zero counts as one minute", "0", at60, false},
        {"negative counts as one minute", "-7", at61, true},
        {"three minutes, 180 s ago", "3", at180, false},
        {"three minutes, 181 s ago", "3", at181, true},
        {"never refreshed", "30", kAbsent, true},
        {"last start in the future wraps", "30", future, true},
        {"an interval too large for 32-bit seconds is not cut short", "100000000", kAbsent, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string id = "inbox";
        fs::remove(SettingsFilePath);
        g_started.clear();
        EXPECT_TRUE(WriteSetting(kFeedsSection, id.c_str(), "http://example.test/feed.xml"));
        WriteUnlessAbsent(kClickRefreshSection, id.c_str(), c.click);
        WriteUnlessAbsent(kLastUpdateTimeSection, id.c_str(), c.last);

        EXPECT_EQ(0, PXC_OnOpenFolder(id.c_str()));

        if (c.due) {
            ASSERT_EQ(1u, g_started.size());
            EXPECT_EQ("http://example.test/feed.xml", g_started[0].first);
            EXPECT_EQ(id, g_started[0].second);
            EXPECT_EQ(std::to_string(kNow), Read(kLastUpdateTimeSection, id));
        } else {
            EXPECT_TRUE(g_started.empty());
            EXPECT_EQ(c.last == kAbsent ? "" : c.last, Read(kLastUpdateTimeSection, id));
        }
    }
}

TEST_F(Schedule, OpeningSomethingOtherThanAFeedFolderDoesNothing) {
    EXPECT_TRUE(WriteSetting(kFeedsSection, "empty", ""));
    EXPECT_TRUE(WriteSetting(kClickRefreshSection, "unregistered", "1"));
    const char* ids[] = {nullptr, "empty", "unregistered"};
    for (const char* id : ids) {
        SCOPED_TRACE(id ? id : "(null)");
        EXPECT_EQ(0, PXC_OnOpenFolder(id));
        EXPECT_TRUE(g_started.empty());
        if (id) {
            EXPECT_FALSE(Has(kLastUpdateTimeSection, id));
        }
    }
}

TEST_F(Schedule, MinutePassRefreshesAtTheAutoInterval) {
    const std::string at1199 = Before(1199), at1200 = Before(1200), at300 = Before(300),
                      at1799 = Before(1799), at1800 = Before(1800),
                      future = std::to_string(kNow + 1);
    const std::string hintsAnHourAgo = Before(3600) + " 7200 0 0 0";
    const std::string answerHintsAnHourAgo = Before(3600) + " 0 3000 0 0";
    const struct {
        const char* name;
        const char* autoMinutes;
        std::string last;
        bool due;
        std::string health = kAbsent;  // the folder's [Health]
        std::string hints = kAbsent;   // the folder's [Hints]
    } cases[] = {
        {"twenty minutes, 1199 s ago", "20", at1199, false},
        {"twenty minutes, exactly 1200 s ago", "20", at1200, true},
        {"absent counts as twenty, 1199 s ago", kAbsent, at1199, false},
        {"absent counts as twenty, 1200 s ago", kAbsent, at1200, true},
        {"five counts as twenty", "5", at300, false},
        {"negative counts as twenty", "-1", at1200, true},
        {"thirty minutes, 1799 s ago", "30", at1799, false},
        {"thirty minutes, 1800 s ago", "30", at1800, true},
        {"never refreshed", "60", kAbsent, true},
        {"last start in the future wraps", "60", future, true},
        {"an interval too large for 32-bit seconds is not cut short", "100000000", kAbsent, false},
        // A feed that keeps failing is asked less often: an hour, four, twelve, then a day.
        {"one failure, 59 minutes ago", "20", Before(3540), false, "1 1700000000 0 x"},
        {"one failure, an hour ago", "20", Before(3600), true, "1 1700000000 0 x"},
        {"two failures, 3 h 59 ago", "20", Before(4 * 3600 - 60), false, "2 1700000000 0 x"},
        {"three failures, 12 h ago", "20", Before(12 * 3600), true, "3 1700000000 0 x"},
        {"four failures, 23 h ago", "20", Before(23 * 3600), false, "4 1700000000 0 x"},
        {"forty failures, a day ago", "20", Before(24 * 3600), true, "40 1700000000 0 x"},
        {"the user's two days stand", "2880", Before(24 * 3600), false, "40 1700000000 0 x"},
        {"a health that cannot be read is well", "20", at1200, true, "many since then"},
        // The publisher's hints, since the last refresh whatever started it.
        {"a ttl of two hours, an hour ago", "20", at1200, false, kAbsent, hintsAnHourAgo},
        {"the answer's max-age, fifty minutes", "20", at1200, true, kAbsent, answerHintsAnHourAgo},
        {"the hour skipped (08:00 universal)", "20", at1200, false, kAbsent,
         Before(3600) + " 0 0 256 0"},
        {"the day skipped (a Friday)", "20", at1200, false, kAbsent, Before(3600) + " 0 0 0 32"},
        {"every hour skipped means nothing", "20", at1200, true, kAbsent,
         Before(3600) + " 0 0 16777215 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string id = "news";
        fs::remove(SettingsFilePath);
        g_started.clear();
        AddFeedFolder(id, "http://example.test/news.rss");
        WriteUnlessAbsent(kAutoRefreshSection, id.c_str(), c.autoMinutes);
        WriteUnlessAbsent(kLastUpdateTimeSection, id.c_str(), c.last);
        WriteUnlessAbsent(kHealthSection, id.c_str(), c.health);
        WriteUnlessAbsent(kHintsSection, id.c_str(), c.hints);

        EXPECT_EQ(0, PXC_OnEveryMinute());

        if (c.due) {
            ASSERT_EQ(1u, g_started.size());
            EXPECT_EQ("http://example.test/news.rss", g_started[0].first);
            EXPECT_EQ(id, g_started[0].second);
            EXPECT_EQ(std::to_string(kNow), Read(kLastUpdateTimeSection, id));
        } else {
            EXPECT_TRUE(g_started.empty());
            EXPECT_EQ(c.last == kAbsent ? "" : c.last, Read(kLastUpdateTimeSection, id));
        }
        // The pass leaves an existing folder's other entries alone.
        EXPECT_EQ("http://example.test/news.rss", Read(kFeedsSection, id));
    }
}

TEST_F(Schedule, MinutePassStartsEveryDueFolderInKeyOrderEachWithItsOwnTime) {
    AddFeedFolder("charlie", "http://c.test/");
    AddFeedFolder("alpha", "http://a.test/");
    AddFeedFolder("resting", "http://r.test/");
    AddFeedFolder("bravo", "http://b.test/");
    EXPECT_TRUE(WriteSetting(kLastUpdateTimeSection, "resting", Before(60).c_str()));
    EXPECT_TRUE(WriteSetting(kLastUpdateTimeSection, "bravo", Before(5000).c_str()));

    PXC_OnEveryMinute();

    const std::vector<std::pair<std::string, std::string>> expected = {
        {"http://c.test/", "charlie"}, {"http://a.test/", "alpha"}, {"http://b.test/", "bravo"}};
    EXPECT_EQ(expected, g_started);
    for (const char* id : {"charlie", "alpha", "bravo"}) {
        EXPECT_EQ(std::to_string(kNow), Read(kLastUpdateTimeSection, id)) << id;
    }
    EXPECT_EQ(Before(60), Read(kLastUpdateTimeSection, "resting"));
}

TEST_F(Schedule, MinutePassForgetsAVanishedFolderInAllFiveSections) {
    AddFeedFolder("kept", "http://kept.test/");
    EXPECT_TRUE(WriteSetting(kLastUpdateTimeSection, "kept", std::to_string(kNow).c_str()));
    const char* sections[] = {kFeedsSection, kStylesSection, kLastUpdateTimeSection,
                              kAutoRefreshSection, kClickRefreshSection};
    for (const char* section : sections) {
        EXPECT_TRUE(WriteSetting(section, "moved", "1"));
        EXPECT_TRUE(WriteSetting(section, "deleted", ""));
    }
    EXPECT_TRUE(WriteSetting(kFeedsSection, "moved", "http://moved.test/"));
    EXPECT_TRUE(WriteSetting(kLastUpdateTimeSection, "moved", "0"));

    PXC_OnEveryMinute();

    EXPECT_TRUE(g_started.empty()) << "a vanished folder is not refreshed";
    for (const char* section : sections) {
        EXPECT_FALSE(Has(section, "moved")) << section;
        EXPECT_FALSE(Has(section, "deleted")) << section;
    }
    EXPECT_EQ("http://kept.test/", Read(kFeedsSection, "kept"));

    // Its directory coming back does not register it again: only the dialog does.
    MakeFolderDirectory("moved");
    g_now += 3600;
    PXC_OnEveryMinute();
    ASSERT_EQ(1u, g_started.size());
    EXPECT_EQ("kept", g_started[0].second);
}

TEST_F(Schedule, MinutePassKeepsButNeverRefreshesARegisteredFolderWithoutUrl) {
    MakeFolderDirectory("plain");
    EXPECT_TRUE(WriteSetting(kFeedsSection, "plain", ""));
    EXPECT_TRUE(WriteSetting(kStylesSection, "plain", "dark.css"));

    PXC_OnEveryMinute();
    PXC_OnEveryMinute();

    EXPECT_TRUE(g_started.empty());
    EXPECT_TRUE(Has(kFeedsSection, "plain"));
    EXPECT_EQ("dark.css", Read(kStylesSection, "plain"));
    EXPECT_FALSE(Has(kLastUpdateTimeSection, "plain"));
}

const char* QF_CALL NoDataFolder() {
    return nullptr;
}

TEST_F(Schedule, MinutePassKeepsAFolderWhosePathItCannotForm) {
    // A path that is cut or lacks the data folder names some other place; losing the folder's
    // settings over its absence would be wrong.
    EXPECT_TRUE(WriteSetting(kFeedsSection, "far", "http://far.test/"));
    EXPECT_TRUE(WriteSetting(kLastUpdateTimeSection, "far", std::to_string(kNow).c_str()));
    const struct {
        const char* name;
        std::string dataFolder;
        bool hostAnswers;
    } cases[] = {
        {"path longer than its buffer", (scratch_ / std::string(kPathCapacity, 'd')).string(),
         true},
        {"empty data folder", "", true},
        {"no data folder", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_dataFolder = c.dataFolder;
        g_hostApi.PXA_GetDataFolder = c.hostAnswers ? FakeDataFolder : NoDataFolder;

        PXC_OnEveryMinute();

        EXPECT_EQ("http://far.test/", Read(kFeedsSection, "far"));
    }
}

TEST_F(Schedule, MinutePassReachesEveryFolderOfALongKeyList) {
    // Five thousand folders with ids of 40 characters, far more than the list's first room holds:
    // the pass visits every one, the last included.
    const int kNames = 5000;
    auto name = [](int i) {
        const std::string number = std::to_string(10000 + i);
        return number + std::string(40 - number.size(), 'x');
    };
    {
        std::ofstream out(SettingsFilePath, std::ios::binary);
        out << "[Feeds]\r\n";
        for (int i = 0; i < kNames; ++i) {
            out << name(i) << "=\r\n";
        }
    }
    // Every other one has no directory, the first and the last among them: half the folders are
    // found gone and removed together, the others kept.
    for (int i = 1; i < kNames; i += 2) {
        MakeFolderDirectory(name(i));
    }
    ASSERT_EQ(0, kNames % 2) << "the last folder must be one without a directory";

    PXC_OnEveryMinute();

    std::vector<char> keys(kNames * 48);
    const size_t length = ReadSettingKeys(kFeedsSection, keys.data(), keys.size());
    std::vector<std::string> left;
    for (size_t at = 0; at < length && keys[at] != '\0'; at += left.back().size() + 1) {
        left.emplace_back(keys.data() + at);
    }
    std::vector<std::string> expected;
    for (int i = 1; i < kNames; i += 2) {
        expected.push_back(name(i));
    }
    EXPECT_EQ(expected, left) << "the last folder was not reached, or a kept one was removed";
    EXPECT_TRUE(g_started.empty());
}

TEST_F(Schedule, MinutePassNeverTakesAPieceOfANameForAFolder) {
    // The list would end in the name "duetail" cut to "due", were it read into its first room:
    // "due" is a folder that has a style but no "Feeds" key and no directory, which the pass must
    // never visit, since it would take it for a vanished folder and delete its settings. The
    // list is read whole instead, and "duetail" itself, gone, is cleaned up.
    const int kFillers = 226;
    auto filler = [](int i) {
        std::string text = std::to_string(10000 + i);
        return text + std::string(89 - text.size(), 'x') + QF_PATH_SEPARATOR + std::string(89, 'y');
    };
    // Each full name takes its length and a terminator, the cut one its kept part and two; one
    // name makes the list come out at exactly that cut.
    const size_t used = kFillers * (filler(0).size() + 1);
    const size_t paddingLength = kKeyListCapacity - used - (strlen("due") + 2) - 1;
    const std::string padding =
        std::string(200, 'p') + QF_PATH_SEPARATOR + std::string(paddingLength - 201, 'p');
    {
        std::ofstream out(SettingsFilePath, std::ios::binary);
        out << "[Feeds]\r\n";
        for (int i = 0; i < kFillers; ++i) {
            out << filler(i) << "=\r\n";
        }
        out << padding << "=\r\n"
            << "duetail=http://tail.test/\r\n"
            << "[Styles]\r\ndue=dark.css\r\n";
    }
    for (int i = 0; i < kFillers; ++i) {
        MakeFolderDirectory(filler(i));
    }
    MakeFolderDirectory(padding);

    PXC_OnEveryMinute();

    EXPECT_EQ("dark.css", Read(kStylesSection, "due"));
    EXPECT_FALSE(Has(kFeedsSection, "duetail"));
    EXPECT_TRUE(g_started.empty());
}

TEST_F(Schedule, MinutePassWithoutRegisteredFoldersDoesNothing) {
    EXPECT_EQ(0, PXC_OnEveryMinute());
    EXPECT_TRUE(WriteSetting(kStylesSection, "styled", "dark.css"));
    EXPECT_EQ(0, PXC_OnEveryMinute());
    EXPECT_TRUE(g_started.empty());
    EXPECT_EQ("dark.css", Read(kStylesSection, "styled"));
}

// A folder whose feed is gone is left alone by both triggers while its address stays; one whose
// server asked for a pause, until the pause ends.
TEST_F(Schedule, TriggersLeaveAFolderAloneThatItsServerAskedToBe) {
    MakeFolderDirectory("gone");
    MakeFolderDirectory("moved");
    MakeFolderDirectory("held");
    MakeFolderDirectory("resting");
    ASSERT_TRUE(WriteSetting(kFeedsSection, "gone", "http://a/feed"));
    ASSERT_TRUE(WriteSetting(kGoneSection, "gone", "http://a/feed"));
    ASSERT_TRUE(WriteSetting(kFeedsSection, "moved", "http://b/new"));
    ASSERT_TRUE(WriteSetting(kGoneSection, "moved", "http://b/old"));
    ASSERT_TRUE(WriteSetting(kFeedsSection, "held", "http://c/feed"));
    ASSERT_TRUE(WriteSettingUnsigned(kHeldUntilSection, "held", g_now + 600));
    ASSERT_TRUE(WriteSetting(kFeedsSection, "resting", "http://d/feed"));
    ASSERT_TRUE(WriteSettingUnsigned(kHeldUntilSection, "resting", g_now));
    // A host that asked for a pause holds every folder of it.
    MakeFolderDirectory("sibling");
    MakeFolderDirectory("other");
    ASSERT_TRUE(WriteSetting(kFeedsSection, "sibling", "https://E/two"));
    ASSERT_TRUE(WriteSetting(kFeedsSection, "other", "http://f/feed"));
    ASSERT_TRUE(WriteSettingUnsigned(kHostHoldsSection, "e", g_now + 600));
    ASSERT_TRUE(WriteSettingUnsigned(kHostHoldsSection, "f", g_now));

    PXC_OnEveryMinute();
    std::vector<std::string> started;
    for (const auto& one : g_started) {
        started.push_back(one.second);
    }
    EXPECT_EQ(started, (std::vector<std::string>{"moved", "resting", "other"}));

    g_started.clear();
    PXC_OnOpenFolder("gone");
    PXC_OnOpenFolder("held");
    PXC_OnOpenFolder("sibling");
    EXPECT_TRUE(g_started.empty());
}

TEST(ScheduleClock, RuntimeClockReadsTheTimeOfDay) {
    // Any time after this code was written, as seconds since 1970.
    EXPECT_GT(RuntimeClock(), 1700000000u);
    EXPECT_EQ(RuntimeClock, g_scheduleClock);
}

}  // namespace
