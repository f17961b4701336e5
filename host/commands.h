// The two menu commands the plug-in registers with the host, with the callback signature of
// PXA_RegisterCommand.
#pragma once

#include "base/pxapi.h"

// Starts a refresh of the folder on screen, however recently it was refreshed; reads only its
// "Feeds" entry and leaves the schedule alone. Without a folder on screen it says so in a box
// owned by `window`; a folder without a feed URL is left silently. Returns 0.
int QF_CALL UpdateRssCommand(HWND window, int);

// Opens the set-up dialog (template IDD_RSS_SETUP from the module's own resources) owned by
// `window`, and returns its end code: IDOK or IDCANCEL.
int QF_CALL RssSetupCommand(HWND window, int);

// Formats the About box's text into `out` (kAboutTextCapacity bytes); false when it was cut.
[[nodiscard]] bool FormatAboutText(char* out, size_t capacity);
