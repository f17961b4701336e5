// The module's paths, the status line and the trace.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/hostapi.h"
#include "base/module.h"
#include "host/module_entry.h"
#include "base/status.h"

namespace {

TEST(ModulePaths, SettingsFileReplacesTheLastExtension) {
    struct Case {
        const char* module;
        const char* settings;
    };
    const Case cases[] = {
        {"C:\\Pellix\\Plugins\\pxQuillfeed.dll", "C:\\Pellix\\Plugins\\pxQuillfeed.ini"},
        {"/opt/pellix/plugins/pxQuillfeed.so", "/opt/pellix/plugins/pxQuillfeed.ini"},
        {"/opt/pellix/plugins/pxQuillfeed", "/opt/pellix/plugins/pxQuillfeed.ini"},
        // The last "." of the whole path counts, even in a directory name.
        {"D:\\Mail.v2\\Plugins\\plugin", "D:\\Mail.ini"},
        {"plugin.tar.gz", "plugin.tar.ini"},
        {"", ".ini"},
    };
    for (const Case& c : cases) {
        char out[kSettingsPathCapacity];
        EXPECT_TRUE(MakeSettingsFilePath(c.module, out, sizeof out)) << c.module;
        EXPECT_STREQ(out, c.settings) << c.module;
    }
}

TEST(ModulePaths, SettingsFileStaysTerminatedWhenCut) {
    std::string module(300, 'a');
    char out[kSettingsPathCapacity + 8];
    memset(out, '#', sizeof out);
    EXPECT_FALSE(MakeSettingsFilePath(module.c_str(), out, kSettingsPathCapacity));
    EXPECT_EQ(strlen(out), kSettingsPathCapacity - 1);
    EXPECT_EQ(out[kSettingsPathCapacity], '#');
}

TEST(ModulePaths, ModuleDirectoryIsCutAtTheLastSeparator) {
    struct Case {
        const char* module;
        const char* directory;
    };
    const Case cases[] = {
        {"D:\\Mail\\Plugins\\pxQuillfeed.dll", "D:\\Mail\\Plugins"},
        {"/usr/lib/pellix/pxQuillfeed.so", "/usr/lib/pellix"},
        {"C:/Mail/Plugins\\pxQuillfeed.dll", "C:/Mail/Plugins"},
        {"C:\\Mail\\Plugins/pxQuillfeed.dll", "C:\\Mail\\Plugins"},
        {"pxQuillfeed.dll", "pxQuillfeed.dll"},
        {"\\pxQuillfeed.dll", ""},
    };
    for (const Case& c : cases) {
        char out[kPathCapacity];
        EXPECT_TRUE(MakeModuleDirectory(c.module, out, sizeof out)) << c.module;
        EXPECT_STREQ(out, c.directory) << c.module;
    }
}

// Collects what the plug-in puts on the host's status line.
std::vector<std::string> g_statusLines;

void QF_CALL RecordStatus(HWND window, const char* text) {
    EXPECT_EQ(window, nullptr);
    g_statusLines.push_back(text);
}

class StatusLine : public testing::Test {
protected:
    void SetUp() override {
        saved = g_hostApi.PXA_SetMessageText;
        g_hostApi.PXA_SetMessageText = RecordStatus;
        g_statusLines.clear();
    }
    void TearDown() override { g_hostApi.PXA_SetMessageText = saved; }

    HostFn::PXA_SetMessageText saved = nullptr;
};

TEST_F(StatusLine, ShowsUpToOneHundredCharacters) {
    std::string hundred(96, 'x');
    EXPECT_EQ(ShowStatus("RSS:%s", hundred.c_str()), 0);
    ASSERT_EQ(g_statusLines.size(), 1u);
    EXPECT_EQ(g_statusLines[0], "RSS:" + hundred);
}

TEST_F(StatusLine, DropsALongerText) {
    std::string longer(97, 'x');
    EXPECT_EQ(ShowStatus("RSS:%s", longer.c_str()), 0);
    std::string huge(10000, 'y');
    EXPECT_EQ(ShowStatus("%s", huge.c_str()), 0);
    EXPECT_TRUE(g_statusLines.empty());
}

TEST_F(StatusLine, TraceNeverReachesTheHost) {
    std::string huge(10000, 'z');
    EXPECT_EQ(Trace("Fetch %s | socket failed : %d\n!", huge.c_str(), 10093), 0);
    EXPECT_EQ(Trace("short"), 0);
    EXPECT_TRUE(g_statusLines.empty());
}

}  // namespace
