#include "tests/dialog_support.h"

#include <atomic>
#include <fstream>

#include "res/resource.h"
#include "tests/support.h"
#include "platform/profile.h"

namespace {

const char* QF_CALL FakeCurrentFolder() {
    FakeHost& host = Fake();
    int at = host.currentFolderCalls++;
    if (host.currentFolders.empty()) {
        return nullptr;
    }
    size_t index = static_cast<size_t>(at) < host.currentFolders.size()
                       ? static_cast<size_t>(at)
                       : host.currentFolders.size() - 1;
    return host.currentFolders[index];
}

int QF_CALL FakeRegisterCommand(const char* comment, int menuKind, PxCommandProc callback) {
    FakeHost& host = Fake();
    int id = 40001 + static_cast<int>(host.registrations.size());
    host.registrations.push_back({comment ? comment : "", menuKind, callback, id});
    return id;
}

}  // namespace

const std::vector<int> kSetupFields = {IDC_RSS_URL, IDC_CLICK_REFRESH, IDC_AUTO_REFRESH};

FakeHost& Fake() {
    static FakeHost host;
    return host;
}

void SetupFixture::SetUp() {
    static std::atomic<int> counter{0};
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = test->name();
    for (char& c : name) {
        c = c == '/' ? '_' : c;
    }
    scratch_ = std::filesystem::temp_directory_path() /
               ("qf-setup-" + name + "-" + std::to_string(counter++));
    std::filesystem::remove_all(scratch_);
    styles_ = scratch_ / "RssStyles";
    std::filesystem::create_directories(styles_);

    savedHostApi_ = g_hostApi;
    savedInstance_ = g_moduleInstance;
    savedModuleDirectory_ = ModuleDirectory();
    savedSettingsPath_ = SettingsFilePath;
    savedCurrentDirectory_ = std::filesystem::current_path();

    Fake() = FakeHost();
    g_hostApi.PXA_GetCurrentFolder = FakeCurrentFolder;
    g_hostApi.PXA_RegisterCommand = FakeRegisterCommand;
    SetModuleDirectory(scratch_.string().c_str());
    EXPECT_TRUE(CopyText(SettingsFilePath, sizeof SettingsFilePath,
                         (scratch_ / "pxQuillfeed.ini").string().c_str()));
    // The dialog's template lives in the built module; the tests show it from there.
    g_moduleInstance = LoadModuleResources(PluginPath().c_str());
}

void SetupFixture::TearDown() {
    FreeModuleResources(g_moduleInstance);
    g_moduleInstance = savedInstance_;
    g_hostApi = savedHostApi_;
    SetModuleDirectory(savedModuleDirectory_.c_str());
    EXPECT_TRUE(CopyText(SettingsFilePath, sizeof SettingsFilePath, savedSettingsPath_.c_str()));
    std::error_code ignored;
    std::filesystem::current_path(savedCurrentDirectory_, ignored);
    std::filesystem::remove_all(scratch_, ignored);
}

void SetupFixture::AddStyles(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        std::ofstream(styles_ / name) << "body {}\n";
    }
}

void SetupFixture::RemoveStyleDirectory() {
    std::filesystem::remove_all(styles_);
}

std::string SetupFixture::Setting(const char* section, const char* key) const {
    char value[4096] = {};
    return ReadProfileValue(SettingsFilePath, section, key, value, sizeof value) ? value
                                                                                 : "<absent>";
}

void SetupFixture::PutSetting(const char* section, const char* key, const char* value) const {
    static_cast<void>(value != nullptr ? WriteProfileValue(SettingsFilePath, section, key, value)
                                       : DeleteProfileKey(SettingsFilePath, section, key));
}

bool SetupFixture::SettingsFileExists() const {
    return std::filesystem::exists(SettingsFilePath);
}
