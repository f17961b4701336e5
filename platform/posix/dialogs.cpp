// Stands in for the Win32 dialog manager, menus and message boxes (see dialog_api.h for what it
// leaves out), and implements the scripted user on that model.
//
// The scripted user is made by the program (a test or the stand-in host), while the dialog runs
// inside the plug-in module, which carries its own copy of this file. So the user's state is kept
// by the program: each copy finds it through the program's exported QfScriptedUserSlot, the way
// a Windows dialog is found by its window, and only falls back to its own slot when the program
// exports none.
#include "platform/dialogs.h"

#include "platform/script_record.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fnmatch.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

extern "C" QF_EXPORT ScriptedUser::State** QfScriptedUserSlot() {
    static ScriptedUser::State* slot = nullptr;
    return &slot;
}

// A window of the model: a dialog, or one of its controls.
struct HWND__ {
    HWND__* dialog = nullptr;  // the dialog a control belongs to; null for a dialog
    int id = 0;
    std::string text;
    // Edit fields: the selection.
    int selectionStart = 0;
    int selectionEnd = 0;
    // List boxes: the entries and the selected one.
    std::vector<std::string> items;
    int current = -1;
    // Dialogs: the controls, the focus and the end.
    std::map<int, std::unique_ptr<HWND__>> controls;
    HWND__* focus = nullptr;
    DLGPROC procedure = nullptr;
    bool ended = false;
    INT_PTR result = 0;
};

struct HMENU__ {
    struct Item {
        UINT flags;
        UINT_PTR id;
        std::string label;
    };
    std::vector<Item> items;
};

namespace {

typedef ScriptedUser::State** (*SlotFinder)();

ScriptedUser::State*& UserSlot() {
    static const SlotFinder find = [] {
        auto program = reinterpret_cast<SlotFinder>(dlsym(RTLD_DEFAULT, "QfScriptedUserSlot"));
        return program != nullptr ? program : &QfScriptedUserSlot;
    }();
    return *find();
}

// The dialogs that are open, innermost last; GetFocus answers for the innermost.
std::vector<HWND__*>& OpenDialogs() {
    static std::vector<HWND__*> dialogs;
    return dialogs;
}

bool BeginsWithIgnoringCase(const std::string& entry, const char* prefix) {
    size_t length = strlen(prefix);
    return entry.size() >= length && strncasecmp(entry.c_str(), prefix, length) == 0;
}

bool SortsBefore(const std::string& a, const std::string& b) {
    int order = strcasecmp(a.c_str(), b.c_str());
    return order != 0 ? order < 0 : a < b;
}

int AddSorted(HWND__* list, const std::string& entry) {
    auto at = std::upper_bound(list->items.begin(), list->items.end(), entry, SortsBefore);
    int index = static_cast<int>(at - list->items.begin());
    list->items.insert(at, entry);
    if (list->current >= index) {
        ++list->current;
    }
    return index;
}

LRESULT FindEntry(const HWND__* list, WPARAM start, const char* prefix, bool whole = false) {
    int count = static_cast<int>(list->items.size());
    // As under Wine: an empty text finds nothing.
    if (prefix == nullptr || *prefix == '\0' || count == 0) {
        return LB_ERR;
    }
    int after = static_cast<int>(static_cast<INT_PTR>(start));
    if (after < -1 || after >= count) {
        after = -1;
    }
    for (int step = 1; step <= count; ++step) {
        int index = (after + step) % count;
        if (BeginsWithIgnoringCase(list->items[index], prefix) &&
            (!whole || list->items[index].size() == strlen(prefix))) {
            return index;
        }
    }
    return LB_ERR;
}

void SetSelection(HWND__* edit, INT_PTR start, INT_PTR end) {
    int length = static_cast<int>(edit->text.size());
    if (start == -1) {
        edit->selectionStart = edit->selectionEnd;
        return;
    }
    if (end == -1 || end > length) {
        end = length;
    }
    if (start > length) {
        start = length;
    }
    if (start > end) {
        std::swap(start, end);
    }
    edit->selectionStart = static_cast<int>(start);
    edit->selectionEnd = static_cast<int>(end);
}

// Copies a control's text as the dialog manager does: cut to `size`, terminated; returns the
// count copied.
size_t CopyOut(const std::string& text, char* out, size_t size) {
    if (out == nullptr || size == 0) {
        return 0;
    }
    return strlen(lstrcpynA(out, text.c_str(), size > INT_MAX ? INT_MAX : static_cast<int>(size)));
}

HWND__* FindControl(HWND__* dialog, int id) {
    auto found = dialog->controls.find(id);
    return found == dialog->controls.end() ? nullptr : found->second.get();
}

DialogLook Observe(HWND__* dialog, const ScriptStep& step) {
    DialogLook look;
    for (int id : step.fields) {
        HWND__* field = GetDlgItem(dialog, id);
        look.fields.push_back({id, field->text});
    }
    if (step.control != 0) {
        HWND__* list = GetDlgItem(dialog, step.control);
        look.items = list->items;
        look.selectedItem = list->current;
    }
    if (dialog->focus != nullptr) {
        look.focus = dialog->focus->id;
        look.selectionStart = dialog->focus->selectionStart;
        look.selectionEnd = dialog->focus->selectionEnd;
    }
    return look;
}

void Perform(HWND__* dialog, const ScriptStep& step, ScriptedUser::State* user) {
    switch (step.kind) {
        case ScriptStep::kSetText:
            SetDlgItemTextA(dialog, step.control, step.text.c_str());
            break;
        case ScriptStep::kSelect: {
            HWND list = GetDlgItem(dialog, step.control);
            if (step.hasText) {
                SendMessageA(list, LB_SELECTSTRING, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(step.text.c_str()));
            } else {
                SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
            }
            break;
        }
        case ScriptStep::kPress:
            dialog->procedure(dialog, WM_COMMAND, MAKEWPARAM(step.control, BN_CLICKED),
                              reinterpret_cast<LPARAM>(GetDlgItem(dialog, step.control)));
            break;
        case ScriptStep::kLook:
            user->looks.push_back(Observe(dialog, step));
            break;
        case ScriptStep::kWait:
            // Nobody looks at a headless dialog.
            break;
    }
}

}  // namespace

// The scripted user.

ScriptedUser::ScriptedUser() : state_(new State) {
    UserSlot() = state_;
}

ScriptedUser::~ScriptedUser() {
    if (UserSlot() == state_) {
        UserSlot() = nullptr;
    }
    delete state_;
}

HINSTANCE LoadModuleResources(const char*) {
    return nullptr;
}

void FreeModuleResources(HINSTANCE) {}

// The dialog manager.

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR, HWND, DLGPROC procedure, LPARAM initParam) {
    if (procedure == nullptr) {
        return -1;
    }
    HWND__ dialog;
    dialog.procedure = procedure;
    OpenDialogs().push_back(&dialog);
    procedure(&dialog, WM_INITDIALOG, 0, initParam);

    // Steps are taken one at a time from the user's list, so that a dialog opened by a step
    // (none of the system's dialogs does) would go on where this one left off.
    ScriptedUser::State* user = UserSlot();
    size_t next = 0;
    while (!dialog.ended) {
        if (user == nullptr || next >= user->steps.size()) {
            if (user != nullptr) {
                user->ranOut = true;
            }
            procedure(&dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            if (!dialog.ended) {
                EndDialog(&dialog, IDCANCEL);
            }
            break;
        }
        Perform(&dialog, user->steps[next++], user);
    }
    if (user != nullptr) {
        user->steps.erase(user->steps.begin(), user->steps.begin() + next);
    }
    OpenDialogs().pop_back();
    return dialog.result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    if (dialog == nullptr || dialog->dialog != nullptr) {
        return FALSE;
    }
    dialog->ended = true;
    dialog->result = result;
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
    if (dialog == nullptr || dialog->dialog != nullptr) {
        return nullptr;
    }
    std::unique_ptr<HWND__>& control = dialog->controls[id];
    if (!control) {
        control.reset(new HWND__);
        control->dialog = dialog;
        control->id = id;
    }
    return control.get();
}

int GetDlgCtrlID(HWND control) {
    return control != nullptr ? control->id : 0;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr || size <= 0) {
        return 0;
    }
    return static_cast<UINT>(CopyOut(control->text, text, static_cast<size_t>(size)));
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) {
        return FALSE;
    }
    return SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == nullptr) {
        return 0;
    }
    const char* text = reinterpret_cast<const char*>(lParam);
    int count = static_cast<int>(window->items.size());
    int index = static_cast<int>(static_cast<INT_PTR>(wParam));
    switch (message) {
        case WM_SETTEXT:
            window->text = text ? text : "";
            window->selectionStart = window->selectionEnd = 0;
            return TRUE;
        case WM_GETTEXT:
            return static_cast<LRESULT>(CopyOut(window->text, reinterpret_cast<char*>(lParam),
                                                static_cast<size_t>(wParam)));
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(window->text.size());
        case EM_SETSEL:
            SetSelection(window, static_cast<INT_PTR>(wParam), lParam);
            return 0;
        case EM_GETSEL:
            if (wParam != 0) {
                *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(window->selectionStart);
            }
            if (lParam != 0) {
                *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(window->selectionEnd);
            }
            return static_cast<LRESULT>(MAKEWPARAM(window->selectionStart, window->selectionEnd));
        case LB_ADDSTRING:
            return AddSorted(window, text ? text : "");
        case LB_RESETCONTENT:
            window->items.clear();
            window->current = -1;
            return 0;
        case LB_DELETESTRING:
            if (index < 0 || index >= count) {
                return LB_ERR;
            }
            window->items.erase(window->items.begin() + index);
            // As on Windows: a selection after the entry moves up with it; the entry's own goes.
            window->current = window->current == index  ? -1
                              : window->current > index ? window->current - 1
                                                        : window->current;
            return count - 1;
        case LB_SETCURSEL:
            // As on Windows: -1 or an index outside the list removes the selection and answers
            // LB_ERR.
            window->current = index >= 0 && index < count ? index : -1;
            return window->current >= 0 ? window->current : LB_ERR;
        case LB_GETCURSEL:
            return window->current >= 0 ? window->current : LB_ERR;
        case LB_GETTEXTLEN:
            return index >= 0 && index < count ? static_cast<LRESULT>(window->items[index].size())
                                               : LB_ERR;
        case LB_GETTEXT:
            // The caller's buffer is sized by LB_GETTEXTLEN, as on Windows.
            if (index < 0 || index >= count || lParam == 0) {
                return LB_ERR;
            }
            memcpy(reinterpret_cast<char*>(lParam), window->items[index].c_str(),
                   window->items[index].size() + 1);
            return static_cast<LRESULT>(window->items[index].size());
        case LB_GETCOUNT:
            return count;
        case LB_FINDSTRING:
            return FindEntry(window, wParam, text);
        case LB_FINDSTRINGEXACT:
            return FindEntry(window, wParam, text, true);
        case LB_SELECTSTRING: {
            LRESULT found = FindEntry(window, wParam, text);
            if (found != LB_ERR) {
                window->current = static_cast<int>(found);
            }
            return found;
        }
        default:
            return 0;
    }
}

HWND SetFocus(HWND control) {
    if (control == nullptr || control->dialog == nullptr) {
        return nullptr;
    }
    HWND previous = control->dialog->focus;
    control->dialog->focus = control;
    return previous;
}

HWND GetFocus() {
    return OpenDialogs().empty() ? nullptr : OpenDialogs().back()->focus;
}

int DlgDirListA(HWND dialog, LPSTR pathSpec, int listId, int pathId, UINT) {
    if (dialog == nullptr || pathSpec == nullptr) {
        return FALSE;
    }
    std::string directory = pathSpec;
    std::string pattern = "*";
    size_t slash = directory.rfind('/');
    std::string last = slash == std::string::npos ? directory : directory.substr(slash + 1);
    if (last.find_first_of("*?") != std::string::npos) {
        pattern = last;
        directory = slash == std::string::npos ? "." : directory.substr(0, slash);
    }
    DIR* listing = opendir(directory.empty() ? "/" : directory.c_str());
    if (listing == nullptr) {
        return FALSE;
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(listing)) {
        std::string name = entry->d_name;
        struct stat facts;
        if (name.empty() || name[0] == '.' ||
            fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) != 0 ||
            stat((directory + "/" + name).c_str(), &facts) != 0 || !S_ISREG(facts.st_mode)) {
            continue;
        }
        names.push_back(name);
    }
    closedir(listing);

    HWND list = GetDlgItem(dialog, listId);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (const std::string& name : names) {
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    if (pathId != 0 && FindControl(dialog, pathId) != nullptr) {
        SetDlgItemTextA(dialog, pathId, directory.c_str());
    }
    return TRUE;
}

BOOL DlgDirSelectExA(HWND dialog, LPSTR text, int size, int listId) {
    HWND list = GetDlgItem(dialog, listId);
    if (list == nullptr || list->current < 0 || size <= 0) {
        return FALSE;
    }
    CopyOut(list->items[list->current], text, static_cast<size_t>(size));
    return FALSE;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT) {
    if (ScriptedUser::State* user = UserSlot()) {
        user->boxes.push_back({owner != nullptr, caption ? caption : "", text ? text : ""});
    }
    return IDOK;
}

// Menus.

HMENU CreatePopupMenu() {
    return new HMENU__;
}

BOOL DestroyMenu(HMENU menu) {
    delete menu;
    return menu != nullptr ? TRUE : FALSE;
}

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR label) {
    if (menu == nullptr) {
        return FALSE;
    }
    menu->items.push_back({flags, id, label ? label : ""});
    return TRUE;
}

int GetMenuItemCount(HMENU menu) {
    return menu != nullptr ? static_cast<int>(menu->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
    if (menu == nullptr || position < 0 || position >= static_cast<int>(menu->items.size())) {
        return static_cast<UINT>(-1);
    }
    return static_cast<UINT>(menu->items[position].id);
}

int GetMenuStringA(HMENU menu, UINT item, LPSTR text, int size, UINT flags) {
    if (menu == nullptr) {
        return 0;
    }
    for (size_t i = 0; i < menu->items.size(); ++i) {
        bool chosen = (flags & MF_BYPOSITION) != 0 ? i == item : menu->items[i].id == item;
        if (chosen) {
            return static_cast<int>(
                size > 0 ? CopyOut(menu->items[i].label, text, static_cast<size_t>(size))
                         : menu->items[i].label.size());
        }
    }
    return 0;
}
