// Stands in for the Win32 dialog manager, menus and message boxes, as far as the system uses
// them: a headless dialog model that a scripted user (platform/scripted_user.h) works, menus that
// keep their items, and message boxes that are recorded and answered with OK.
//
// Left out: templates and drawing. A dialog knows nothing of its template; a control comes into
// being when it is first addressed by id, as an edit field, a button or a list box alike. Every
// list box sorts its entries (the system has only sorted ones). Keyboard navigation, notifications
// from controls and the dialog manager's default focus are left out too.
#pragma once

#include "platform.h"

#define CALLBACK

typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<UINT_PTR>(static_cast<WORD>(i))))
#define LOWORD(l) (static_cast<WORD>(static_cast<UINT_PTR>(l) & 0xffff))
#define HIWORD(l) (static_cast<WORD>((static_cast<UINT_PTR>(l) >> 16) & 0xffff))
#define MAKEWPARAM(l, h) \
    (static_cast<WPARAM>(static_cast<DWORD>(static_cast<WORD>(l) | (static_cast<DWORD>(h) << 16))))

// Messages.
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define EM_GETSEL 0x00B0
#define EM_SETSEL 0x00B1
#define LB_ADDSTRING 0x0180
#define LB_DELETESTRING 0x0182
#define LB_RESETCONTENT 0x0184
#define LB_SETCURSEL 0x0186
#define LB_GETCURSEL 0x0188
#define LB_GETTEXT 0x0189
#define LB_GETTEXTLEN 0x018A
#define LB_GETCOUNT 0x018B
#define LB_SELECTSTRING 0x018C
#define LB_FINDSTRING 0x018F
#define LB_FINDSTRINGEXACT 0x01A2
#define LB_ERR (-1)
#define BN_CLICKED 0

// Buttons and dialog results.
#define IDOK 1
#define IDCANCEL 2

// Message box types (the model answers every box with IDOK).
#define MB_OK 0x00000000L
#define MB_ICONERROR 0x00000010L
#define MB_ICONINFORMATION 0x00000040L

// Menu item flags.
#define MF_STRING 0x00000000L
#define MF_BYCOMMAND 0x00000000L
#define MF_BYPOSITION 0x00000400L

// The directory listing's file type: files that may be read and written, and nothing else.
#define DDL_READWRITE 0x0000

// Runs a modal dialog on the calling thread: WM_INITDIALOG with `initParam`, then the steps of
// the scripted user. Returns what EndDialog was given. Without a scripted user the dialog is
// cancelled as soon as it has opened.
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure,
                        LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);

HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND control);
// Copies at most size - 1 characters, always terminated when size > 0; returns the count copied.
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
// WM_SETTEXT, WM_GETTEXT, WM_GETTEXTLENGTH, EM_GETSEL, EM_SETSEL and the LB_ messages above.
// LB_FINDSTRING and LB_SELECTSTRING look for the first entry after index wParam (from the first
// when it is -1, wrapping around) that begins with the text without regard to case; an empty
// text finds none.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Gives the focus to a control of its dialog; returns the control that had it.
HWND SetFocus(HWND control);
HWND GetFocus();

// Fills list box `listId` with the names of the regular, non-hidden files of the directory
// `pathSpec` (or those matching the wildcards of its last part), sorted. Subdirectories and
// drives are never listed; only DDL_READWRITE is known. A path control `pathId` that exists gets
// the directory's path. Returns FALSE, leaving the list as it was, when the directory cannot be
// read. Unlike Windows it does not change the current directory.
int DlgDirListA(HWND dialog, LPSTR pathSpec, int listId, int pathId, UINT fileType);
// Copies the selected entry of list `listId` (at most size - 1 characters). Returns FALSE, for a
// file name; with no selection it leaves `text` as it was.
BOOL DlgDirSelectExA(HWND dialog, LPSTR text, int size, int listId);

// Records the box with the scripted user (if any) and answers IDOK.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Menus keep their items in order.
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU menu);
BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR label);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position);
int GetMenuStringA(HMENU menu, UINT item, LPSTR text, int size, UINT flags);
