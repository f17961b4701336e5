// What the composer's tests share: a fake host with a scratch data folder and settings file, and
// guards that put the time zone and the multibyte code page back.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform.h"
#include "platform/time_zone.h"
#include "platform/codepage.h"
#include "base/hostapi.h"
#include "feed/feed_item.h"

// Sets TZ for its lifetime and restores what was there before.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        const char* old = getenv("TZ");
        had_ = old != nullptr;
        old_ = old ? old : "";
        SetTimeZoneVariable(zone);
    }
    ~ScopedTimeZone() { SetTimeZoneVariable(had_ ? old_.c_str() : nullptr); }

private:
    bool had_;
    std::string old_;
};

// Makes `codePage` the multibyte code page of _ismbblead and puts the ANSI one back afterwards.
class ScopedMultiByteCodePage {
public:
    explicit ScopedMultiByteCodePage(int codePage) : ok_(_setmbcp(codePage) == 0) {}
    ~ScopedMultiByteCodePage() { _setmbcp(static_cast<int>(GetACP())); }
    bool ok() const { return ok_; }

private:
    bool ok_;
};

// A host with one folder: a scratch data folder, a settings file, a display name, and every
// appended message recorded. Restores the host record and the settings path when it goes.
class FakeComposeHost {
public:
    static constexpr const char* kFolderId = "Feeds";

    FakeComposeHost();
    ~FakeComposeHost();

    void SetDisplayName(const char* name);  // null: the host gives none
    // Makes the host answer another data folder (which need not exist).
    void SetDataFolder(const std::string& path);
    void SetStyle(const char* style);
    // Writes the folder's index file byte for byte; AppendIndex adds to the same file, and
    // ReplaceIndex puts another file in its place.
    void WriteIndex(const std::string& bytes);
    void AppendIndex(const std::string& bytes);
    void ReplaceIndex(const std::string& bytes);
    // Moves the index's time of last write by `seconds`.
    void AgeIndex(int seconds);
    void RemoveIndex();

    const std::vector<std::string>& appended() const;
    const std::filesystem::path& dataFolder() const { return dataFolder_; }

private:
    HostApi savedApi_;
    std::string savedSettingsPath_;
    std::filesystem::path root_;
    std::filesystem::path dataFolder_;
};

// One item through a refresh of `folderId`, as the feed reader hands it: the folder read, the
// item told by the index alone (no record of seen items), composed and appended. What TakeItem
// returns.
int TakeItemOf(const FeedItem& item, const char* folderId = FakeComposeHost::kFolderId);
