#include "base/settings_file.h"

#include "base/module.h"

#include <cstring>
#include "platform.h"
#include "platform/profile.h"

const char kFeedsSection[] = "Feeds";
const char kStylesSection[] = "Styles";
const char kClickRefreshSection[] = "ClickRefresh";
const char kAutoRefreshSection[] = "AutoRefresh";
const char kLastUpdateTimeSection[] = "LastUpdateTime";
const char kGoneSection[] = "Gone";
const char kHeldUntilSection[] = "HeldUntil";
const char kETagSection[] = "ETag";
const char kOptionsSection[] = "Options";
const char kLastModifiedSection[] = "LastModified";

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

bool IsSettingText(const char* text) {
    for (const char* at = text; at != nullptr && *at != '\0'; ++at) {
        const unsigned char c = static_cast<unsigned char>(*at);
        if (c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

bool WriteSetting(const char* section, const char* folderId, const char* value) {
    if (!IsSettingText(folderId) || !IsSettingText(value)) {
        return false;
    }
    return WritePrivateProfileStringA(section, folderId, value, SettingsFilePath) != FALSE;
}

bool WriteSettingUnsigned(const char* section, const char* folderId, unsigned value) {
    char text[kNumberTextCapacity];
    // Ten digits at most.
    static_cast<void>(FormatText(text, sizeof text, "%u", value));
    return WriteSetting(section, folderId, text);
}

bool DeleteSetting(const char* section, const char* folderId) {
    return WritePrivateProfileStringA(section, folderId, nullptr, SettingsFilePath) != FALSE;
}

bool DeleteSettings(const char* section, const char* const* folderIds, size_t count) {
    return DeleteProfileKeys(SettingsFilePath, section, folderIds, count);
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

bool IsRefreshHeld(const char* folderId, const char* url, unsigned now) {
    char gone[kUrlCapacity];
    if (ReadSetting(kGoneSection, folderId, gone, sizeof gone) > 0 && strcmp(gone, url) == 0) {
        return true;
    }
    const unsigned until = ReadSettingUnsigned(kHeldUntilSection, folderId);
    // Compared as a distance, so that a clock set back never holds a folder for years: a pause is
    // held only while it lies ahead by less than a week.
    return until != 0 && until - now - 1 < 7u * 24u * 3600u;
}
