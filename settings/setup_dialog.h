// The set-up dialog of a feed folder: template IDD_RSS_SETUP (res/quillfeed.rc) and its procedure.
//
// The dialog edits the "Feeds", "Styles", "ClickRefresh" and "AutoRefresh" entries of the folder
// that the host reports as current, and never "LastUpdateTime". It keeps no state between
// messages: the folder id is asked of the host when needed, the settings are read on opening and
// written on OK, and the controls hold everything in between.
#pragma once

#include "platform/dialogs.h"

// The dialog procedure. Ends the dialog with IDOK when OK was accepted and with IDCANCEL when it
// was cancelled or there is no current folder (the host answered null, or its id does not fit
// 1024 bytes). Handles WM_INITDIALOG (returning FALSE: it sets the focus itself) and WM_COMMAND;
// every other message answers FALSE.
INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
