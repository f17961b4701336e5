#include "base/settings_file.h"

#include "base/module.h"
#include "platform.h"

const char kFeedsSection[] = "Feeds";
const char kStylesSection[] = "Styles";
const char kClickRefreshSection[] = "ClickRefresh";
const char kAutoRefreshSection[] = "AutoRefresh";
const char kLastUpdateTimeSection[] = "LastUpdateTime";

size_t ReadSetting(const char* section, const char* folderId, char* out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    out[0] = '\0';
    return GetPrivateProfileStringA(section, folderId, "", out, static_cast<DWORD>(capacity),
                                    SettingsFilePath);
}

int ReadSettingInt(const char* section, const char* folderId) {
    return static_cast<int>(GetPrivateProfileIntA(section, folderId, 0, SettingsFilePath));
}

unsigned ReadSettingUnsigned(const char* section, const char* folderId) {
    return GetPrivateProfileIntA(section, folderId, 0, SettingsFilePath);
}

void WriteSetting(const char* section, const char* folderId, const char* value) {
    WritePrivateProfileStringA(section, folderId, value, SettingsFilePath);
}

void WriteSettingUnsigned(const char* section, const char* folderId, unsigned value) {
    char text[kNumberTextCapacity];
    // Ten digits at most.
    static_cast<void>(FormatText(text, sizeof text, "%u", value));
    WriteSetting(section, folderId, text);
}

void DeleteSetting(const char* section, const char* folderId) {
    WritePrivateProfileStringA(section, folderId, nullptr, SettingsFilePath);
}

size_t ReadSettingKeys(const char* section, char* out, size_t capacity) {
    if (capacity < 2) {
        if (capacity == 1) {
            out[0] = '\0';
        }
        return 0;
    }
    out[0] = '\0';
    out[1] = '\0';
    size_t count = GetPrivateProfileStringA(section, nullptr, "", out, static_cast<DWORD>(capacity),
                                            SettingsFilePath);
    // A cut list ends in two terminators. Wine's ANSI profile function writes only the first of
    // them and leaves the last byte as it was, so the second is put in place here.
    if (count + 2 == capacity) {
        out[capacity - 1] = '\0';
    }
    return count;
}

bool ReadFeedUrl(const char* folderId, char* url, size_t capacity) {
    ReadSetting(kFeedsSection, folderId, url, capacity);
    return capacity > 0 && url[0] != '\0';
}
