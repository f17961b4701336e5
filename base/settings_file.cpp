#include "base/settings_file.h"

#include <cstring>

#include "base/module.h"
#include "base/url.h"
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
const char kHealthSection[] = "Health";
const char kHintsSection[] = "Hints";
const char kUserAgentSection[] = "UserAgent";
const char kPlainLoginSection[] = "PlainLogin";
const char kFullTextSection[] = "FullText";
const char kFullTextSelectorSection[] = "FullTextSelector";
const char kProxyOption[] = "Proxy";
const char kHostHoldsSection[] = "HostHolds";

const char* const kFolderSections[] = {
    kFeedsSection,        kStylesSection,   kLastUpdateTimeSection,  kAutoRefreshSection,
    kClickRefreshSection, kGoneSection,     kHeldUntilSection,       kETagSection,
    kLastModifiedSection, kHealthSection,   kHintsSection,           kUserAgentSection,
    kPlainLoginSection,   kFullTextSection, kFullTextSelectorSection};
const size_t kFolderSectionCount = sizeof kFolderSections / sizeof kFolderSections[0];

size_t ReadSetting(const char* section, const char* folderId, char* out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    ReadProfileValue(SettingsFilePath, section, folderId, out, capacity);
    return strlen(out);
}

int ReadSettingInt(const char* section, const char* folderId) {
    return static_cast<int>(ReadProfileNumber(SettingsFilePath, section, folderId));
}

unsigned ReadSettingUnsigned(const char* section, const char* folderId) {
    return ReadProfileNumber(SettingsFilePath, section, folderId);
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
    return WriteProfileValue(SettingsFilePath, section, folderId, value);
}

bool WriteSettingUnsigned(const char* section, const char* folderId, unsigned value) {
    char text[kNumberTextCapacity];
    // Ten digits at most.
    static_cast<void>(FormatText(text, sizeof text, "%u", value));
    return WriteSetting(section, folderId, text);
}

bool DeleteSetting(const char* section, const char* folderId) {
    return DeleteProfileKey(SettingsFilePath, section, folderId);
}

bool DeleteSettings(const char* section, const char* const* folderIds, size_t count) {
    return DeleteProfileKeys(SettingsFilePath, section, folderIds, count);
}

size_t ReadSettingKeys(const char* section, char* out, size_t capacity) {
    return ListProfileKeys(SettingsFilePath, section, out, capacity);
}

bool ReadFeedUrl(const char* folderId, char* url, size_t capacity) {
    ReadSetting(kFeedsSection, folderId, url, capacity);
    return capacity > 0 && url[0] != '\0';
}

namespace {

// Compared as a distance, so that a clock set back never holds a folder for years: a pause is held
// only while it lies ahead by less than a week.
bool Holds(unsigned until, unsigned now) {
    return until != 0 && until - now - 1 < kLongestHoldSeconds;
}

}  // namespace

bool IsRefreshHeld(const char* folderId, const char* url, unsigned now) {
    char gone[kUrlCapacity];
    if (ReadSetting(kGoneSection, folderId, gone, sizeof gone) > 0 && strcmp(gone, url) == 0) {
        return true;
    }
    // A folder's own pause, as files written before hosts were held keep it.
    if (Holds(ReadSettingUnsigned(kHeldUntilSection, folderId), now)) {
        return true;
    }
    char host[kUrlCapacity];
    return FeedHost(url, host, sizeof host) &&
           Holds(ReadSettingUnsigned(kHostHoldsSection, host), now);
}
