// What a look at the dialog answers; the same on both platforms.
#include "platform/scripted_user.h"

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
