#include "settings/setup_dialog.h"

#include <cstring>

#include "base/hostapi.h"
#include "base/module.h"
#include "base/settings_file.h"
#include "base/text_scan.h"
#include "res/resource.h"

namespace {

const char kErrorCaption[] = "Error";
const char kInvalidFolder[] = "Invalid Current Folder!";

// The refusal of an interval below its minimum, worded from the minimum itself.
void FormatRefusal(int minimum, char* out, size_t capacity) {
    // The longest number fits with room to spare.
    static_cast<void>(FormatText(out, capacity,
                                 "The interval must not be less than %d minute%s. Set to default "
                                 "value.",
                                 minimum, minimum == 1 ? "" : "s"));
}

// Copies the current folder's id into `folderId`. Without a current folder (or with an id too
// long to hold: a cut id would name another folder's settings) it tells the user, ends the
// dialog with IDCANCEL and answers false.
bool TakeCurrentFolder(HWND dialog, char* folderId) {
    const char* current = g_hostApi.PXA_GetCurrentFolder();
    if (current != nullptr && CopyText(folderId, kTextCapacity, current)) {
        return true;
    }
    MessageBoxA(dialog, kInvalidFolder, kErrorCaption, MB_OK);
    EndDialog(dialog, IDCANCEL);
    return false;
}

void ShowInterval(HWND dialog, int control, int value, int shownForZero) {
    char text[kIntervalTextCapacity];
    // An int's decimal text always fits the field's capacity.
    static_cast<void>(FormatText(text, sizeof text, "%d", value == 0 ? shownForZero : value));
    SetDlgItemTextA(dialog, control, text);
}

void OnOpen(HWND dialog) {
    char folderId[kTextCapacity];
    if (!TakeCurrentFolder(dialog, folderId)) {
        return;
    }
    char url[kTextCapacity];
    char savedStyle[kTextCapacity];
    ReadSetting(kFeedsSection, folderId, url, sizeof url);
    ReadSetting(kStylesSection, folderId, savedStyle, sizeof savedStyle);
    SetDlgItemTextA(dialog, IDC_RSS_URL, url);

    // The listing is of the directory itself: no wildcard, no trailing separator. A path that
    // does not fit is not listed at all rather than listing what its cut names.
    char styleDirectory[kTextCapacity];
    if (StyleDirectoryPath(styleDirectory, sizeof styleDirectory)) {
        DlgDirListA(dialog, styleDirectory, IDC_STYLE_LIST, IDC_STYLE_PATH, DDL_READWRITE);
    }
    HWND list = GetDlgItem(dialog, IDC_STYLE_LIST);
    LRESULT found = SendMessageA(list, LB_FINDSTRING, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(LastPathComponent(savedStyle, "\\")));
    if (found != LB_ERR) {
        SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(found), 0);
    }

    ShowInterval(dialog, IDC_CLICK_REFRESH, ReadSettingInt(kClickRefreshSection, folderId),
                 kMinimumClickRefreshMinutes);
    ShowInterval(dialog, IDC_AUTO_REFRESH, ReadSettingInt(kAutoRefreshSection, folderId),
                 kMinimumAutoRefreshMinutes);

    HWND urlField = GetDlgItem(dialog, IDC_RSS_URL);
    SetFocus(urlField);
    SendMessageA(urlField, EM_SETSEL, 0, static_cast<LPARAM>(strlen(url)));
}

// Reads an interval field. Below `minimum` it tells the user, puts the minimum back, focuses the
// field and answers false; the dialog stays open.
bool TakeInterval(HWND dialog, int control, int minimum, char* text) {
    // The number the text begins with, as atoi reads it; the field takes only digits from the
    // keyboard, but pasted text may hold anything.
    GetDlgItemTextA(dialog, control, text, kIntervalTextCapacity);
    if (LeadingNumber(text) >= minimum) {
        return true;
    }
    // No owner: the dialog stays enabled while the box is up.
    char refusal[kFormatCapacity];
    FormatRefusal(minimum, refusal, sizeof refusal);
    MessageBoxA(nullptr, refusal, kErrorCaption, MB_OK);
    ShowInterval(dialog, control, minimum, minimum);
    SetFocus(GetDlgItem(dialog, control));
    return false;
}

// Each entry is written as soon as it is read, so a refused interval leaves what came before it
// written.
void OnOk(HWND dialog) {
    char folderId[kTextCapacity];
    if (!TakeCurrentFolder(dialog, folderId)) {
        return;
    }
    char url[kTextCapacity] = "";
    GetDlgItemTextA(dialog, IDC_RSS_URL, url, sizeof url);
    WriteSetting(kFeedsSection, folderId, url);

    // With no entry selected (an empty or missing style directory, or a saved style that no file
    // name begins with) the value written is empty, which means "default.css". The dialog saves
    // what it shows: keeping an old value that names no listed file would leave the folder
    // pointing at a stylesheet the user cannot see or pick, and probably one that is gone.
    char style[kTextCapacity] = "";
    if (SendMessageA(GetDlgItem(dialog, IDC_STYLE_LIST), LB_GETCURSEL, 0, 0) != LB_ERR) {
        DlgDirSelectExA(dialog, style, sizeof style, IDC_STYLE_LIST);
    }
    WriteSetting(kStylesSection, folderId, style);

    // The texts are written as typed (leading zeros and all), not re-formatted.
    char click[kIntervalTextCapacity] = "";
    if (!TakeInterval(dialog, IDC_CLICK_REFRESH, kMinimumClickRefreshMinutes, click)) {
        return;
    }
    WriteSetting(kClickRefreshSection, folderId, click);

    char autoRefresh[kIntervalTextCapacity] = "";
    if (!TakeInterval(dialog, IDC_AUTO_REFRESH, kMinimumAutoRefreshMinutes, autoRefresh)) {
        return;
    }
    WriteSetting(kAutoRefreshSection, folderId, autoRefresh);
    EndDialog(dialog, IDOK);
}

}  // namespace

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            OnOpen(dialog);
            // FALSE: the focus stays where OnOpen put it.
            return FALSE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    OnOk(dialog);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
                default:
                    // Notifications of the list and the edit fields.
                    return FALSE;
            }
        default:
            return FALSE;
    }
}
