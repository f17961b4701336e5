// What the set-up dialog shows when it opens.
#include <cstring>
#include <ostream>

#include "compose/compose.h"
#include "host/commands.h"
#include "res/resource.h"
#include "base/settings_file.h"
#include "tests/dialog_support.h"

namespace {

class DialogOpens : public SetupFixture {
protected:
    // Opens the dialog for "News", looks at it and cancels.
    DialogLook OpenAndLook() {
        SetCurrentFolder("News");
        ScriptedUser user;
        user.Look(kSetupFields, IDC_STYLE_LIST);
        user.Press(IDCANCEL);
        EXPECT_EQ(IDCANCEL, RssSetupCommand(nullptr, 0));
        EXPECT_TRUE(user.MessageBoxes().empty());
        EXPECT_EQ(1u, user.Looks().size());
        return user.Looks().empty() ? DialogLook() : user.Looks()[0];
    }
};

TEST_F(DialogOpens, AFolderWithoutSettingsShowsAnEmptyUrlAndTheMinimumIntervals) {
    AddStyles({"default.css"});
    DialogLook look = OpenAndLook();
    EXPECT_EQ("", look.Text(IDC_RSS_URL));
    EXPECT_EQ("1", look.Text(IDC_CLICK_REFRESH));
    EXPECT_EQ("20", look.Text(IDC_AUTO_REFRESH));
    EXPECT_EQ(IDC_RSS_URL, look.focus);
    EXPECT_FALSE(SettingsFileExists()) << "opening writes nothing";
}

TEST_F(DialogOpens, WithTheUrlFocusedAndWhollySelected) {
    PutSetting(kFeedsSection, "News", "http://example.org/rss.xml");
    DialogLook look = OpenAndLook();
    EXPECT_EQ("http://example.org/rss.xml", look.Text(IDC_RSS_URL));
    EXPECT_EQ(IDC_RSS_URL, look.focus);
    EXPECT_EQ(0, look.selectionStart);
    EXPECT_EQ(26, look.selectionEnd);
}

TEST_F(DialogOpens, ListingTheStyleFilesSortedWithoutRegardToCase) {
    AddStyles({"zebra.css", "Blue.css", "apple.css", "default.css"});
    std::filesystem::create_directories(styles_ / "subdirectory.css");
    DialogLook look = OpenAndLook();
    EXPECT_EQ((std::vector<std::string>{"apple.css", "Blue.css", "default.css", "zebra.css"}),
              look.items);
}

// A dark sibling is shown in its style's place in the dark theme: the list names the style alone,
// and a dark style without a light one as a style of its own.
TEST_F(DialogOpens, ListingEachStyleWithoutItsDarkSibling) {
    AddStyles({"default.css", "default-dark.css", "Paper.css", "paper-DARK.css", "mine-dark.css",
               "-dark.css"});
    DialogLook look = OpenAndLook();
    EXPECT_EQ((std::vector<std::string>{"-dark.css", "default.css", "mine-dark.css", "Paper.css"}),
              look.items);
}

TEST_F(DialogOpens, WithAnEmptyListWhenTheStyleDirectoryIsMissing) {
    RemoveStyleDirectory();
    DialogLook look = OpenAndLook();
    EXPECT_TRUE(look.items.empty());
    EXPECT_EQ(-1, look.selectedItem);
    EXPECT_EQ("1", look.Text(IDC_CLICK_REFRESH));
}

// The saved style is looked up as the first entry that begins with it, without regard to case.
struct SavedStyleCase {
    const char* saved;     // the "Styles" value; null: none
    const char* selected;  // the entry selected on opening; "" for none
};

void PrintTo(const SavedStyleCase& c, std::ostream* out) {
    *out << (c.saved ? c.saved : "(none)") << " -> " << c.selected;
}

class DialogSelectsTheSavedStyle : public DialogOpens,
                                   public testing::WithParamInterface<SavedStyleCase> {};

TEST_P(DialogSelectsTheSavedStyle, AsTheFirstEntryBeginningWithIt) {
    AddStyles({"Blue.css", "blue.css.orig", "default.css", "Dark.css"});
    if (GetParam().saved != nullptr) {
        PutSetting(kStylesSection, "News", GetParam().saved);
    }
    EXPECT_EQ(GetParam().selected, OpenAndLook().SelectedText());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DialogSelectsTheSavedStyle,
    testing::Values(SavedStyleCase{"Dark.css", "Dark.css"},
                    SavedStyleCase{"BLUE.CSS", "Blue.css"},  // differs only in case
                    SavedStyleCase{"blue.css.o", "blue.css.orig"},
                    SavedStyleCase{"de", "default.css"},    // a prefix is enough
                    SavedStyleCase{"gone.css", ""},         // no name begins with it
                    SavedStyleCase{"Blue.css.origin", ""},  // longer than every name
                    SavedStyleCase{nullptr, ""},            // an empty text finds no entry
                    SavedStyleCase{"", ""}));

// A saved value with a directory part is matched on its part after the last backslash.
INSTANTIATE_TEST_SUITE_P(WithDirectoryPart, DialogSelectsTheSavedStyle,
                         testing::Values(SavedStyleCase{"C:\\styles\\dark.css", "Dark.css"},
                                         SavedStyleCase{"old\\new\\BLUE.css", "Blue.css"},
                                         SavedStyleCase{"dark.css\\", ""}));

// Stored intervals are shown as read; only exactly 0 (which is also what a missing or
// non-numeric value reads as) is shown as the minimum.
struct IntervalCase {
    const char* stored;  // null: absent
    const char* shownClick;
    const char* shownAuto;
};

void PrintTo(const IntervalCase& c, std::ostream* out) {
    *out << (c.stored ? c.stored : "(none)");
}

class DialogShowsStoredIntervals : public DialogOpens,
                                   public testing::WithParamInterface<IntervalCase> {};

TEST_P(DialogShowsStoredIntervals, AsRead) {
    if (GetParam().stored != nullptr) {
        PutSetting(kClickRefreshSection, "News", GetParam().stored);
        PutSetting(kAutoRefreshSection, "News", GetParam().stored);
    }
    DialogLook look = OpenAndLook();
    EXPECT_EQ(GetParam().shownClick, look.Text(IDC_CLICK_REFRESH));
    EXPECT_EQ(GetParam().shownAuto, look.Text(IDC_AUTO_REFRESH));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DialogShowsStoredIntervals,
    testing::Values(IntervalCase{nullptr, "1", "20"}, IntervalCase{"0", "1", "20"},
                    IntervalCase{"abc", "1", "20"}, IntervalCase{"5", "5", "5"},
                    IntervalCase{"-3", "-3", "-3"}, IntervalCase{"007", "7", "7"},
                    IntervalCase{"45", "45", "45"}));

TEST_F(DialogOpens, WithoutACurrentFolderSaysSoOnceAndEndsAsCancelled) {
    SetCurrentFolder(nullptr);
    ScriptedUser user;
    user.Look(kSetupFields, IDC_STYLE_LIST);
    EXPECT_EQ(IDCANCEL, RssSetupCommand(nullptr, 0));
    ASSERT_EQ(1u, user.MessageBoxes().size());
    EXPECT_EQ("Error", user.MessageBoxes()[0].caption);
    EXPECT_EQ("Invalid Current Folder!", user.MessageBoxes()[0].text);
    EXPECT_TRUE(user.MessageBoxes()[0].owned) << "the box belongs to the dialog";
    EXPECT_TRUE(user.Looks().empty()) << "the dialog never got to be used";
    EXPECT_FALSE(user.RanOut());
    EXPECT_FALSE(SettingsFileExists());
}

TEST_F(DialogOpens, RefusingAFolderIdTooLongToHold) {
    // Cut to 1023 characters it would name another folder's settings.
    std::string longId(kFolderIdCapacity, 'f');
    SetCurrentFolder(longId.c_str());
    ScriptedUser user;
    user.Press(IDOK);
    EXPECT_EQ(IDCANCEL, RssSetupCommand(nullptr, 0));
    ASSERT_EQ(1u, user.MessageBoxes().size());
    EXPECT_EQ("Invalid Current Folder!", user.MessageBoxes()[0].text);
    EXPECT_FALSE(SettingsFileExists());
}

}  // namespace
