// The menu, its two commands, the plug-in information and the About box.
#include "host/commands.h"

#include <cstring>

#include "platform/dialogs.h"
#include "refresh/feed_update.h"
#include "base/hostapi.h"
#include "base/module.h"
#include "res/resource.h"
#include "base/settings_file.h"
#include "settings/setup_dialog.h"

namespace {

const char kPlugInName[] = "Pellix Quillfeed plug-in";
const char kPlugInVendor[] = "The Quillfeed developers";
const char kPlugInDescription[] = "Enables Pellix to use RSS with Styles.";

const char kAboutFormat[] =
    "Pellix Quillfeed PlugIn!\r\n"
    "By the Quillfeed developers\r\n"
    "Version:%s\r\n"
    "Home page: https://quillfeed.example/\r\n";

}  // namespace

int QF_CALL PXC_OnMenuInit(HWND, HMENU menu, int menuKind) {
    if (menuKind != kPluginMenuKind) {
        return 0;
    }
    // The host hands out new command ids at every call; they live only as the ids of the items
    // appended here. Neither the registrations nor the menu calls can be acted on if they fail.
    int updateId = g_hostApi.PXA_RegisterCommand("RSS Update", kPluginMenuKind, UpdateRssCommand);
    AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(updateId), "&Update RSS");
    int setupId = g_hostApi.PXA_RegisterCommand("RSS Setup", kPluginMenuKind, RssSetupCommand);
    AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(setupId), "&RSS Setup");
    return 0;
}

int QF_CALL UpdateRssCommand(HWND window, int) {
    // An id that does not fit the key buffer is refused like a missing one: cut, it would name
    // another folder.
    const char* current = g_hostApi.PXA_GetCurrentFolder();
    char folderId[kFolderIdCapacity];
    if (current == nullptr || !CopyText(folderId, sizeof folderId, current)) {
        MessageBoxA(window, "Invalid Current Folder!", "Error", MB_OK);
        return 0;
    }
    char url[kUrlCapacity];
    if (ReadFeedUrl(folderId, url, sizeof url)) {
        StartFeedUpdate(url, folderId);
    }
    return 0;
}

int QF_CALL RssSetupCommand(HWND window, int) {
    return static_cast<int>(DialogBoxParamA(g_moduleInstance, MAKEINTRESOURCEA(IDD_RSS_SETUP),
                                            window, SetupDialogProc, 0));
}

bool FormatAboutText(char* out, size_t capacity) {
    return FormatText(out, capacity, kAboutFormat, PlugInVersion);
}

int QF_CALL PXC_OnPlugInSetup(HWND window) {
    char text[kAboutTextCapacity];
    // The text is fixed and fits its capacity (the About test checks it); were it cut, the box
    // would still say what it is.
    static_cast<void>(FormatAboutText(text, sizeof text));
    MessageBoxA(window, text, "About Quillfeed", MB_OK);
    return 1;
}

int QF_CALL PXC_OnPlugInInfo(PlugInInfo* info) {
    // Each text fits its 80-byte field with its terminator; the host's record may hold anything.
    static_assert(sizeof kPlugInName <= kPlugInInfoFieldCapacity, "name fits");
    static_assert(sizeof kPlugInVendor <= kPlugInInfoFieldCapacity, "vendor fits");
    static_assert(sizeof kPlugInDescription <= kPlugInInfoFieldCapacity, "description fits");
    if (info == nullptr) {
        return 0;
    }
    memcpy(info->name, kPlugInName, sizeof kPlugInName);
    memcpy(info->vendor, kPlugInVendor, sizeof kPlugInVendor);
    memcpy(info->version, PlugInVersion, sizeof PlugInVersion);
    memcpy(info->description, kPlugInDescription, sizeof kPlugInDescription);
    return 0;
}
