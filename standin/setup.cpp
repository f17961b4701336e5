// The setup command: picks "&RSS Setup" with a folder on screen, and as the user types into the
// dialog, picks a style and presses OK or Cancel. What the dialog showed on opening (and, when
// OK was refused, afterwards) and every message box are printed.
#include <cstdlib>

#include "res/resource.h"
#include "standin/commands.h"
#include "standin/menu.h"

namespace {

struct SetupOptions {
    std::string folderId;
    const char* url = nullptr;
    const char* style = nullptr;
    const char* click = nullptr;
    const char* autoRefresh = nullptr;
    bool cancel = false;
    int showSeconds = 0;
};

bool ParseSetup(const std::vector<std::string>& words, SetupOptions* options) {
    if (words.empty()) {
        return false;
    }
    options->folderId = words[0];
    for (size_t at = 1; at < words.size(); ++at) {
        const std::string& name = words[at];
        if (name == "--cancel") {
            options->cancel = true;
            continue;
        }
        if (at + 1 >= words.size()) {
            return false;
        }
        const char* value = words[++at].c_str();
        if (name == "--url") {
            options->url = value;
        } else if (name == "--style") {
            options->style = value;
        } else if (name == "--click") {
            options->click = value;
        } else if (name == "--auto") {
            options->autoRefresh = value;
        } else if (name == "--show") {
            if (!pellix::ParseNumber(value, &options->showSeconds)) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

const std::vector<int> kFields = {IDC_RSS_URL, IDC_CLICK_REFRESH, IDC_AUTO_REFRESH};

void SayLook(const std::string& when, const DialogLook& look) {
    pellix::Say(when + ": url \"" + look.Text(IDC_RSS_URL) + "\", click \"" +
                look.Text(IDC_CLICK_REFRESH) + "\", auto \"" + look.Text(IDC_AUTO_REFRESH) + "\"");
    std::string styles;
    for (size_t i = 0; i < look.items.size(); ++i) {
        styles += (i > 0 ? ", " : "") +
                  std::string(static_cast<int>(i) == look.selectedItem ? "*" : "") + look.items[i];
    }
    pellix::Say("  styles: " + (styles.empty() ? std::string("(none)") : styles));
    pellix::Say("  focus: " + std::to_string(look.focus) + ", selection " +
                std::to_string(look.selectionStart) + "-" + std::to_string(look.selectionEnd));
}

int SetupCommand(pellix::Session& session) {
    SetupOptions options;
    if (!ParseSetup(session.arguments, &options)) {
        return 2;
    }
    pellix::SetCurrentFolder(options.folderId);
    PxCommandProc setup = pellix::FindMenuCommand(session.plugin, "&RSS Setup");
    if (setup == nullptr) {
        return 1;
    }

    ScriptedUser user;
    user.Look(kFields, IDC_STYLE_LIST);
    if (options.showSeconds > 0) {
        // For a person to look at (and use) the dialog before the script goes on.
        user.Wait(options.showSeconds);
    }
    if (options.url != nullptr) {
        user.SetText(IDC_RSS_URL, options.url);
    }
    if (options.style != nullptr) {
        user.Select(IDC_STYLE_LIST, options.style);
    }
    if (options.click != nullptr) {
        user.SetText(IDC_CLICK_REFRESH, options.click);
    }
    if (options.autoRefresh != nullptr) {
        user.SetText(IDC_AUTO_REFRESH, options.autoRefresh);
    }
    user.Press(options.cancel ? IDCANCEL : IDOK);
    // Taken only when the dialog is still open after the press: OK was refused.
    user.Look(kFields, IDC_STYLE_LIST);

    int result = setup(nullptr, 0);

    const std::vector<DialogLook>& looks = user.Looks();
    if (!looks.empty()) {
        SayLook("dialog opened", looks[0]);
    }
    pellix::SayMessageBoxes(user);
    if (looks.size() > 1) {
        SayLook("dialog still open", looks[1]);
    }
    if (user.RanOut()) {
        pellix::Say("the dialog stayed open; the host closed it with Cancel");
    }
    pellix::Say("dialog ended with " + std::to_string(result) +
                (result == IDOK       ? " (OK)"
                 : result == IDCANCEL ? " (Cancel)"
                                      : ""));
    return 0;
}

const pellix::CommandRegistration kSetup(
    {"setup",
     "setup ID [--url U] [--style S] [--click N] [--auto N] [--cancel] [--show SECONDS]\n"
     "                       open the set-up dialog for folder ID, type into it, press OK (or "
     "Cancel)",
     true, SetupCommand});

}  // namespace
