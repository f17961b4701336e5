// The ids of the module's resources: the set-up dialog and its controls.
#pragma once

#define IDD_RSS_SETUP 101

#define IDC_STATIC (-1)
#define IDC_RSS_URL 1000
#define IDC_STYLE_LIST 1005
// The directory listing names this control for its path; the dialog has no such control, so the
// path is shown nowhere.
#define IDC_STYLE_PATH 1006
#define IDC_CLICK_REFRESH 1008
#define IDC_AUTO_REFRESH 1009
