// The scripted user's steps and what it saw; the same on both platforms. Each side's dialogs.cpp
// makes the record and takes the steps.
#include "platform/scripted_user.h"

#include "platform/script_record.h"

std::string DialogLook::Text(int id) const {
    for (const Field& field : fields) {
        if (field.id == id) {
            return field.text;
        }
    }
    return std::string();
}

std::string DialogLook::SelectedText() const {
    return selectedItem >= 0 && selectedItem < static_cast<int>(items.size()) ? items[selectedItem]
                                                                              : std::string();
}

void ScriptedUser::SetText(int control, const char* text) {
    state_->steps.push_back({ScriptStep::kSetText, control, text ? text : "", true, {}});
}

void ScriptedUser::Select(int list, const char* prefix) {
    state_->steps.push_back(
        {ScriptStep::kSelect, list, prefix ? prefix : "", prefix != nullptr, {}});
}

void ScriptedUser::Press(int control) {
    state_->steps.push_back({ScriptStep::kPress, control, "", false, {}});
}

void ScriptedUser::Look(const std::vector<int>& fields, int list) {
    state_->steps.push_back({ScriptStep::kLook, list, "", false, fields});
}

void ScriptedUser::Wait(int seconds) {
    state_->steps.push_back({ScriptStep::kWait, seconds, "", false, {}});
}

const std::vector<DialogLook>& ScriptedUser::Looks() const {
    return state_->looks;
}

const std::vector<MessageBoxSeen>& ScriptedUser::MessageBoxes() const {
    return state_->boxes;
}

bool ScriptedUser::RanOut() const {
    return state_->ranOut;
}
