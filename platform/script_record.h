// What a scripted user holds, shared by both sides' dialog code: the steps still to take and
// what was seen. Each side's dialogs.cpp makes the record in ScriptedUser's constructor and works
// the steps on its own dialogs; platform/scripted_user.cpp adds the steps and answers the looks.
#pragma once

#include <string>
#include <vector>

#include "platform/scripted_user.h"

// One step of a script.
struct ScriptStep {
    enum Kind { kSetText, kSelect, kPress, kLook, kWait } kind;
    int control;       // the control acted on; the list for kLook (0: none); seconds for kWait
    std::string text;  // the text to set, or the prefix to select
    bool hasText;      // kSelect: false selects nothing
    std::vector<int> fields;  // kLook: the edit fields to read
};

struct ScriptedUser::State {
    std::vector<ScriptStep> steps;
    std::vector<DialogLook> looks;
    std::vector<MessageBoxSeen> boxes;
    bool ranOut = false;
};
