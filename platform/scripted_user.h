// A scripted user for modal dialogs and message boxes: what tests and the stand-in host use to
// type into a dialog, pick a list entry and press a button, and to see every message box.
//
// The interface is the same on both builds. On Windows the dialogs and boxes are real windows
// and the script acts on them by messages to their controls; on POSIX they are the headless model
// of platform/posix/dialogs.cpp. Either way the script runs on the thread that shows the dialog,
// while the code under test sits in its modal call.
#pragma once

#include <string>
#include <vector>

#include "platform.h"

// What a dialog showed at one moment of a script.
struct DialogLook {
    struct Field {
        int id;
        std::string text;
    };
    std::vector<Field> fields;       // the edit fields asked for, in the order asked
    std::vector<std::string> items;  // the entries of the list asked for, in list order
    int selectedItem = -1;           // the list's selected entry, -1 for none
    int focus = 0;                   // the id of the control with the focus, 0 for none
    int selectionStart = 0;          // the text selection of the focused edit field
    int selectionEnd = 0;

    // The text of field `id`, empty when it was not looked at.
    std::string Text(int id) const;
    // The selected entry's text, empty when none is selected.
    std::string SelectedText() const;
};

// One message box as it was shown.
struct MessageBoxSeen {
    bool owned;  // shown with an owner window
    std::string caption;
    std::string text;
};

// At most one scripted user exists at a time; while it does, it is the user of every modal dialog
// and message box of the thread that made it. Each message box is recorded and answered with OK
// at once. A dialog is worked through the script's steps in order; when the steps run out and the
// dialog is still open, the user closes it with Cancel and RanOut() says so.
class ScriptedUser {
public:
    ScriptedUser();
    ~ScriptedUser();
    ScriptedUser(const ScriptedUser&) = delete;
    ScriptedUser& operator=(const ScriptedUser&) = delete;

    // Replaces the text of an edit field.
    void SetText(int control, const char* text);
    // Selects the first list entry that begins with `prefix` (without regard to case), or no
    // entry when none does or when `prefix` is null.
    void Select(int list, const char* prefix);
    // Presses a button: the dialog procedure gets WM_COMMAND with the button's id.
    void Press(int control);
    // Records what the dialog shows now: the texts of `fields`, the entries of `list` (0: none)
    // and the focus.
    void Look(const std::vector<int>& fields, int list);
    // Leaves the dialog alone for `seconds`, for a person to look at it (nothing on POSIX).
    void Wait(int seconds);

    const std::vector<DialogLook>& Looks() const;
    const std::vector<MessageBoxSeen>& MessageBoxes() const;
    bool RanOut() const;

    // The state behind the interface; each side defines its own.
    struct State;

private:
    State* state_;
};

// The resources of a module file, for a program that shows the module's dialogs without running
// its code (on Windows the file is mapped as data; on POSIX, where dialogs have no templates, the
// answer is null and serves as well). FreeModuleResources takes what LoadModuleResources gave.
HINSTANCE LoadModuleResources(const char* modulePath);
void FreeModuleResources(HINSTANCE resources);
