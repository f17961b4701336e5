#include "tests/compose_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <mutex>

#include "base/module.h"
#include "base/text.h"
#include "base/settings_file.h"
#include "refresh/refresh.h"

namespace {

std::mutex g_mutex;
std::string g_dataFolder;
std::string g_displayName;
bool g_hasDisplayName = true;
std::vector<std::string> g_appended;
std::atomic<int> g_scratchCount{0};

const char* QF_CALL FakeGetDataFolder(void) {
    return g_dataFolder.c_str();
}

const char* QF_CALL FakeGetFolderDisplayName(const char*) {
    return g_hasDisplayName ? g_displayName.c_str() : nullptr;
}

int QF_CALL FakeAppendMessage(const char*, const char* message) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_appended.emplace_back(message);
    return 7;
}

}  // namespace

FakeComposeHost::FakeComposeHost() : savedApi_(g_hostApi), savedSettingsPath_(SettingsFilePath) {
    root_ = std::filesystem::temp_directory_path() /
            ("quillfeed-compose-" + std::to_string(g_scratchCount++) + "-" +
             std::to_string(reinterpret_cast<uintptr_t>(this)));
    dataFolder_ = root_ / "data";
    std::filesystem::create_directories(dataFolder_ / kFolderId);
    g_dataFolder = dataFolder_.string();
    g_displayName = "News/World/Asia";
    g_hasDisplayName = true;
    g_appended.clear();
    g_hostApi.PXA_GetDataFolder = FakeGetDataFolder;
    g_hostApi.PXA_GetFolderDisplayName = FakeGetFolderDisplayName;
    g_hostApi.PXA_AppendMessage = FakeAppendMessage;
    EXPECT_TRUE(CopyText(SettingsFilePath, sizeof SettingsFilePath,
                         (root_ / "settings.ini").string().c_str()));
}

FakeComposeHost::~FakeComposeHost() {
    g_hostApi = savedApi_;
    EXPECT_TRUE(CopyText(SettingsFilePath, sizeof SettingsFilePath, savedSettingsPath_.c_str()));
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void FakeComposeHost::SetDisplayName(const char* name) {
    g_hasDisplayName = name != nullptr;
    g_displayName = name ? name : "";
}

void FakeComposeHost::SetDataFolder(const std::string& path) {
    g_dataFolder = path;
}

void FakeComposeHost::SetStyle(const char* style) {
    EXPECT_TRUE(WriteSetting(kStylesSection, kFolderId, style));
}

void FakeComposeHost::WriteIndex(const std::string& bytes) {
    std::ofstream out(dataFolder_ / kFolderId / "Folder.idx", std::ios::binary | std::ios::trunc);
    out << bytes;
}

void FakeComposeHost::AppendIndex(const std::string& bytes) {
    std::ofstream out(dataFolder_ / kFolderId / "Folder.idx", std::ios::binary | std::ios::app);
    out << bytes;
}

void FakeComposeHost::ReplaceIndex(const std::string& bytes) {
    const std::filesystem::path other = dataFolder_ / kFolderId / "Folder.new";
    {
        std::ofstream out(other, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    std::filesystem::rename(other, dataFolder_ / kFolderId / "Folder.idx");
}

void FakeComposeHost::AgeIndex(int seconds) {
    const std::filesystem::path index = dataFolder_ / kFolderId / "Folder.idx";
    std::filesystem::last_write_time(
        index, std::filesystem::last_write_time(index) + std::chrono::seconds(seconds));
}

void FakeComposeHost::RemoveIndex() {
    std::filesystem::remove(dataFolder_ / kFolderId / "Folder.idx");
}

const std::vector<std::string>& FakeComposeHost::appended() const {
    return g_appended;
}

int TakeItemOf(const FeedItem& item, const char* folderId) {
    std::unique_ptr<Refresh> refresh = MakeRefresh("http://feed.invalid/", folderId);
    EXPECT_NE(refresh, nullptr);
    if (refresh == nullptr) {
        return 0;
    }
    ReadFolder(refresh.get());
    return TakeItem(refresh.get(), item);
}
