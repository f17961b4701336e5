// The scripted user on real windows. A thread timer, which every modal loop dispatches, looks at
// the thread's dialog windows a few times a second: a dialog without edit fields or list boxes
// is taken for a message box, recorded and answered with OK; the dialog under script gets the
// next step by messages to its controls, once no box is in front of it.
#include "platform/dialogs.h"

#include "platform/script_record.h"

#include <set>

namespace {

const UINT kTickMilliseconds = 40;

// What the timer keeps besides the record; one scripted user exists at a time.
struct Progress {
    size_t next = 0;
    UINT_PTR timer = 0;
    bool busy = false;    // a step is being taken; a tick inside it only sees to boxes
    DWORD waitUntil = 0;  // GetTickCount() before which no step is taken
    bool waiting = false;
    HWND finishedWith = nullptr;  // the dialog seen open once after the last step
    std::set<HWND> answered;      // boxes already answered, until they close
};

ScriptedUser::State* g_user;
Progress g_progress;

// A window's whole text, however long.
std::string TextOf(HWND window) {
    int length = GetWindowTextLengthA(window);
    std::vector<char> text(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
    GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

bool HasClass(HWND window, const char* name) {
    // Class names of the system's controls are short; a longer one is none of them.
    char found[32] = {};
    GetClassNameA(window, found, sizeof found);
    return lstrcmpiA(found, name) == 0;
}

BOOL CALLBACK CollectDialog(HWND window, LPARAM list) {
    if (IsWindowVisible(window) && HasClass(window, "#32770")) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    }
    return TRUE;
}

struct ChildSearch {
    bool inputs = false;
    std::string text;
};

BOOL CALLBACK InspectChild(HWND child, LPARAM search) {
    ChildSearch* found = reinterpret_cast<ChildSearch*>(search);
    if (HasClass(child, "Edit") || HasClass(child, "ListBox")) {
        found->inputs = true;
    } else if (found->text.empty() && HasClass(child, "Static")) {
        found->text = TextOf(child);
    }
    return TRUE;
}

DialogLook Observe(HWND dialog, const ScriptStep& step) {
    DialogLook look;
    for (int id : step.fields) {
        look.fields.push_back({id, TextOf(GetDlgItem(dialog, id))});
    }
    if (step.control != 0) {
        HWND list = GetDlgItem(dialog, step.control);
        LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            LRESULT length = SendMessageA(list, LB_GETTEXTLEN, i, 0);
            std::vector<char> buffer(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
            SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buffer.data()));
            look.items.push_back(buffer.data());
        }
        LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
        look.selectedItem = selected == LB_ERR ? -1 : static_cast<int>(selected);
    }
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(dialog, focus)) {
        look.focus = GetDlgCtrlID(focus);
        if (HasClass(focus, "Edit")) {
            DWORD start = 0;
            DWORD end = 0;
            SendMessageA(focus, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                         reinterpret_cast<LPARAM>(&end));
            look.selectionStart = static_cast<int>(start);
            look.selectionEnd = static_cast<int>(end);
        }
    }
    return look;
}

void Perform(HWND dialog, const ScriptStep& step, ScriptedUser::State* user) {
    switch (step.kind) {
        case ScriptStep::kSetText:
            SetDlgItemTextA(dialog, step.control, step.text.c_str());
            break;
        case ScriptStep::kSelect:
            if (step.hasText) {
                SendDlgItemMessageA(dialog, step.control, LB_SELECTSTRING, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(step.text.c_str()));
            } else {
                SendDlgItemMessageA(dialog, step.control, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
            }
            break;
        case ScriptStep::kPress:
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(step.control, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, step.control)));
            break;
        case ScriptStep::kLook:
            user->looks.push_back(Observe(dialog, step));
            break;
        case ScriptStep::kWait:
            g_progress.waitUntil = GetTickCount() + static_cast<DWORD>(step.control) * 1000;
            g_progress.waiting = true;
            break;
    }
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    ScriptedUser::State* user = g_user;
    if (user == nullptr) {
        return;
    }
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), CollectDialog, reinterpret_cast<LPARAM>(&windows));

    HWND dialog = nullptr;
    bool boxOpen = false;
    std::set<HWND> stillOpen;
    for (HWND window : windows) {
        ChildSearch search;
        EnumChildWindows(window, InspectChild, reinterpret_cast<LPARAM>(&search));
        if (search.inputs) {
            dialog = dialog != nullptr ? dialog : window;
            continue;
        }
        boxOpen = true;
        stillOpen.insert(window);
        if (g_progress.answered.insert(window).second) {
            user->boxes.push_back(
                {GetWindow(window, GW_OWNER) != nullptr, TextOf(window), search.text});
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
        }
    }
    for (auto at = g_progress.answered.begin(); at != g_progress.answered.end();) {
        at = stillOpen.count(*at) != 0 ? ++at : g_progress.answered.erase(at);
    }
    if (boxOpen || g_progress.busy || dialog == nullptr) {
        return;
    }
    if (g_progress.waiting && static_cast<LONG>(GetTickCount() - g_progress.waitUntil) < 0) {
        return;
    }
    g_progress.waiting = false;
    if (g_progress.next >= user->steps.size()) {
        // The last step may have ended the dialog; the modal loop lets it go before the next
        // tick, so a dialog still open one tick later was left open by the script.
        if (g_progress.finishedWith == dialog) {
            user->ranOut = true;
            g_progress.finishedWith = nullptr;
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        } else {
            g_progress.finishedWith = dialog;
        }
        return;
    }
    g_progress.busy = true;
    Perform(dialog, user->steps[g_progress.next++], user);
    g_progress.busy = false;
}

}  // namespace

ScriptedUser::ScriptedUser() : state_(new State) {
    g_user = state_;
    g_progress = Progress();
    g_progress.timer = SetTimer(nullptr, 0, kTickMilliseconds, Tick);
}

ScriptedUser::~ScriptedUser() {
    KillTimer(nullptr, g_progress.timer);
    if (g_user == state_) {
        g_user = nullptr;
    }
    delete state_;
}

HINSTANCE LoadModuleResources(const char* modulePath) {
    return LoadLibraryExA(modulePath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

void FreeModuleResources(HINSTANCE resources) {
    if (resources != nullptr) {
        FreeLibrary(resources);
    }
}
