// A scratch plug-in for the set-up dialog and the menu commands: its own settings file and style
// directory, a fake host that answers the current folder and records command registrations, and
// the module's dialog template. Every global it changes is put back afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "base/hostapi.h"
#include "base/module.h"
#include "base/pxapi.h"

struct FakeHost {
    // Answered by PXA_GetCurrentFolder, one per call, the last one repeatedly; an entry that is
    // null stands for "no folder on screen".
    std::vector<const char*> currentFolders;
    int currentFolderCalls = 0;

    struct Registration {
        std::string comment;
        int menuKind;
        PxCommandProc callback;
        int id;
    };
    std::vector<Registration> registrations;
};

FakeHost& Fake();

class SetupFixture : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes `folderId` the folder on screen for every question; null: none.
    void SetCurrentFolder(const char* folderId) { Fake().currentFolders = {folderId}; }
    // Puts empty files with these names into the style directory.
    void AddStyles(const std::vector<std::string>& names);
    void RemoveStyleDirectory();

    // A value of the settings file, or "<absent>".
    std::string Setting(const char* section, const char* key) const;
    void PutSetting(const char* section, const char* key, const char* value) const;
    bool SettingsFileExists() const;

    std::filesystem::path scratch_;
    std::filesystem::path styles_;

private:
    HostApi savedHostApi_;
    HINSTANCE savedInstance_;
    std::string savedModuleDirectory_;
    std::string savedSettingsPath_;
    // Windows' directory listing makes the listed directory the current one.
    std::filesystem::path savedCurrentDirectory_;
};

// The three edit fields of the set-up dialog.
extern const std::vector<int> kSetupFields;
