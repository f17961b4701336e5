#include "settings/schedule.h"

#include <cstdint>
#include <cstring>
#include <ctime>
#include <vector>

#include "refresh/feed_update.h"
#include "refresh/health.h"
#include "refresh/hints.h"
#include "platform/files.h"
#include "base/hostapi.h"
#include "base/module.h"
#include "base/pxapi.h"
#include "base/status.h"
#include "base/text.h"
#include "base/login_file.h"
#include "base/settings_file.h"

ScheduleClock g_scheduleClock = RuntimeClock;
RefreshStart g_refreshStart = StartFeedUpdate;

unsigned RuntimeClock(void) {
    return static_cast<unsigned>(time(nullptr));
}

namespace {

// An interval in seconds. Hand-edited settings can hold minutes whose product with 60 does not
// fit 32 bits; computed wide, such an interval is simply never reached instead of wrapping to a
// short one.
uint64_t IntervalSeconds(int minutes) {
    return static_cast<uint64_t>(minutes < 0 ? 0 : minutes) * 60u;
}

int AtLeast(int value, int minimum) {
    return value < minimum ? minimum : value;
}

// Writes the start of a refresh as the folder's "LastUpdateTime". A settings file that cannot be
// written makes the next check start another refresh; the trace says why.
void RememberStart(const char* folderId, unsigned now) {
    if (!WriteSettingUnsigned(kLastUpdateTimeSection, folderId, now)) {
        Trace("cannot write LastUpdateTime of %s to %s", folderId, SettingsFilePath);
    }
}

// Removes the folders from every section, one write per section however many they are: the
// settings file is written whole at each write, and the host's timer waits for the pass.
void ForgetFolders(const std::vector<const char*>& folderIds) {
    if (folderIds.empty()) {
        return;
    }
    for (size_t i = 0; i < kFolderSectionCount; ++i) {
        const char* section = kFolderSections[i];
        if (!DeleteSettings(section, folderIds.data(), folderIds.size())) {
            Trace("cannot forget %u vanished folders in [%s] of %s",
                  static_cast<unsigned>(folderIds.size()), section, SettingsFilePath);
        }
    }
    for (const char* folderId : folderIds) {
        if (!DeleteLogin(folderId)) {
            Trace("cannot forget the login of the vanished folder %s", folderId);
        }
    }
}

// One folder of the minute pass: refresh it when due. False when its directory is gone, for the
// pass to clean up.
bool VisitFolder(const char* folderId) {
    char url[kUrlCapacity];
    bool isFeedFolder = ReadFeedUrl(folderId, url, sizeof url);

    // Without the host's data folder, or with a cut path, the path would name some other place;
    // its absence says nothing about this folder, whose settings would be lost for nothing. Such
    // a folder is kept.
    const char* dataFolder = g_hostApi.PXA_GetDataFolder();
    char path[kPathCapacity];
    bool pathKnown =
        dataFolder != nullptr && dataFolder[0] != '\0' &&
        FormatText(path, sizeof path, "%s" QF_PATH_SEPARATOR "%s", dataFolder, folderId);
    if (pathKnown && !PathExists(path)) {
        return false;
    }
    if (!isFeedFolder) {
        return true;
    }

    unsigned now = g_scheduleClock();
    unsigned last = ReadSettingUnsigned(kLastUpdateTimeSection, folderId);
    int minutes =
        AtLeast(ReadSettingInt(kAutoRefreshSection, folderId), kMinimumAutoRefreshMinutes);
    unsigned elapsed = now - last;
    if (!IsAutoRefreshDue(elapsed, minutes)) {
        return true;
    }
    // Only a folder that is due is asked the rest, so that a pass that finds nothing due stays
    // quick: whether its server asked for a pause, whether it keeps failing (it is asked less
    // often then), and whether its publisher asks for a pause. The user's own refreshes are not
    // held back by the last two.
    if (IsRefreshHeld(folderId, url, now) ||
        elapsed < BackoffSeconds(ReadFolderHealth(folderId).failures) ||
        HintsHoldBack(folderId, now)) {
        return true;
    }
    Trace("AutoRefresh: Update %s[%s](%d>=%d)", url, folderId, static_cast<int>(elapsed / 60),
          minutes);
    g_refreshStart(url, folderId);
    // Written when the refresh is queued, whatever the start answered: a queued folder is not due
    // again while it waits, and one already queued or running is not queued twice.
    RememberStart(folderId, now);
    return true;
}

}  // namespace

bool IsClickRefreshDue(unsigned elapsed, int minutes) {
    return elapsed > IntervalSeconds(minutes);
}

bool IsAutoRefreshDue(unsigned elapsed, int minutes) {
    return elapsed >= IntervalSeconds(minutes);
}

int QF_CALL PXC_OnOpenFolder(const char* folderIdArgument) {
    if (folderIdArgument == nullptr) {
        return 0;
    }
    // An id that does not fit is left alone: cut, it would name another folder's settings.
    char folderId[kFolderIdCapacity];
    if (!CopyText(folderId, sizeof folderId, folderIdArgument)) {
        return 0;
    }
    char url[kUrlCapacity];
    bool isFeedFolder = ReadFeedUrl(folderId, url, sizeof url);
    unsigned now = g_scheduleClock();
    int minutes =
        AtLeast(ReadSettingInt(kClickRefreshSection, folderId), kMinimumClickRefreshMinutes);
    if (!isFeedFolder) {
        return 0;
    }
    if (IsRefreshHeld(folderId, url, now)) {
        return 0;
    }
    unsigned last = ReadSettingUnsigned(kLastUpdateTimeSection, folderId);
    if (IsClickRefreshDue(now - last, minutes)) {
        Trace("Manual to get %s", url);
        g_refreshStart(url, folderId);
        // Written at once, before the download ends and whatever the start answered.
        RememberStart(folderId, now);
    }
    return 0;
}

int QF_CALL PXC_OnEveryMinute(void) {
    // Read once, and the vanished folders removed together after the walk. The list is read into
    // room that grows until every name fits, so that no folder is left out however many there
    // are and however long their ids; only past kKeyListLimit is it cut.
    static_assert(kKeyListCapacity >= 2, "the list holds at least its two terminators");
    std::vector<char> names(kKeyListCapacity);
    size_t count = ReadSettingKeys(kFeedsSection, names.data(), names.size());
    while (count + 2 >= names.size() && names.size() < kKeyListLimit) {
        names.assign(names.size() * 2 < kKeyListLimit ? names.size() * 2 : kKeyListLimit, '\0');
        count = ReadSettingKeys(kFeedsSection, names.data(), names.size());
    }
    // A list that did not fit ends in a cut name, which would name another folder: the walk stops
    // before it, and the status line says that folders were left out.
    const bool cut = count + 2 >= names.size();
    if (cut) {
        ShowStatus("Quillfeed: too many feed folders; some are not refreshed");
    }
    // The list ends with an empty name; `count` stops a walk that would run past what was read.
    // Every position reached is at most count + 1, inside the buffer.
    size_t at = 0;
    std::vector<const char*> vanished;
    while (at < count && names[at] != '\0') {
        const char* folderId = names.data() + at;
        const size_t length = strlen(folderId);
        if (cut && at + length >= count) {
            break;
        }
        if (!VisitFolder(folderId)) {
            vanished.push_back(folderId);
        }
        at += length + 1;
    }
    ForgetFolders(vanished);
    return 0;
}
