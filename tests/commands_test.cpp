// The menu, the update command, the About box and the results of the sixteen callbacks.
#include <cstring>

#include "host/commands.h"
#include "base/settings_file.h"
#include "tests/dialog_support.h"

namespace {

struct MenuItem {
    UINT id;
    std::string label;
};

std::vector<MenuItem> ItemsOf(HMENU menu) {
    std::vector<MenuItem> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char label[64] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), label, sizeof label, MF_BYPOSITION);
        items.push_back({GetMenuItemID(menu, i), label});
    }
    return items;
}

using MenuInit = SetupFixture;

TEST_F(MenuInit, OtherMenuKindsGetNothing) {
    for (int kind : {0, 1, 3, -2, 0x102}) {
        HMENU menu = CreatePopupMenu();
        EXPECT_EQ(0, PXC_OnMenuInit(nullptr, menu, kind));
        EXPECT_EQ(0, GetMenuItemCount(menu)) << "kind " << kind;
        DestroyMenu(menu);
    }
    EXPECT_TRUE(Fake().registrations.empty());
}

TEST_F(MenuInit, KindTwoRegistersBothCommandsAnewAtEveryCall) {
    HMENU first = CreatePopupMenu();
    HMENU second = CreatePopupMenu();
    EXPECT_EQ(0, PXC_OnMenuInit(nullptr, first, 2));
    EXPECT_EQ(0, PXC_OnMenuInit(nullptr, second, 2));

    const std::vector<FakeHost::Registration>& registered = Fake().registrations;
    ASSERT_EQ(4u, registered.size());
    for (size_t call = 0; call < 2; ++call) {
        const FakeHost::Registration& update = registered[2 * call];
        const FakeHost::Registration& setup = registered[2 * call + 1];
        EXPECT_EQ("RSS Update", update.comment);
        EXPECT_EQ(2, update.menuKind);
        EXPECT_EQ(&UpdateRssCommand, update.callback);
        EXPECT_EQ("RSS Setup", setup.comment);
        EXPECT_EQ(2, setup.menuKind);
        EXPECT_EQ(&RssSetupCommand, setup.callback);

        // Each menu carries the ids that its own call was given, update first.
        std::vector<MenuItem> items = ItemsOf(call == 0 ? first : second);
        ASSERT_EQ(2u, items.size());
        EXPECT_EQ(static_cast<UINT>(update.id), items[0].id);
        EXPECT_EQ("&Update RSS", items[0].label);
        EXPECT_EQ(static_cast<UINT>(setup.id), items[1].id);
        EXPECT_EQ("&RSS Setup", items[1].label);
    }
    DestroyMenu(first);
    DestroyMenu(second);
}

TEST_F(MenuInit, CalledTwiceOnOneMenuAppendsBothItemsTwice) {
    HMENU menu = CreatePopupMenu();
    PXC_OnMenuInit(nullptr, menu, 2);
    PXC_OnMenuInit(nullptr, menu, 2);
    std::vector<MenuItem> items = ItemsOf(menu);
    ASSERT_EQ(4u, items.size());
    const char* labels[] = {"&Update RSS", "&RSS Setup", "&Update RSS", "&RSS Setup"};
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(labels[i], items[i].label);
        EXPECT_EQ(static_cast<UINT>(40001 + i), items[i].id);
    }
    DestroyMenu(menu);
}

using UpdateCommand = SetupFixture;

TEST_F(UpdateCommand, WithoutAFolderOnScreenShowsExactlyOneBox) {
    SetCurrentFolder(nullptr);
    PutSetting(kFeedsSection, "News", "http://127.0.0.1:9/feed");
    ScriptedUser user;
    EXPECT_EQ(0, UpdateRssCommand(nullptr, 0));
    ASSERT_EQ(1u, user.MessageBoxes().size());
    EXPECT_EQ("Error", user.MessageBoxes()[0].caption);
    EXPECT_EQ("Invalid Current Folder!", user.MessageBoxes()[0].text);
    EXPECT_EQ(1, Fake().currentFolderCalls);
}

TEST_F(UpdateCommand, OnAFolderWithoutFeedUrlDoesNothingAndShowsNothing) {
    // Missing, then empty.
    for (bool registered : {false, true}) {
        if (registered) {
            PutSetting(kFeedsSection, "News", "");
        }
        SetCurrentFolder("News");
        ScriptedUser user;
        EXPECT_EQ(0, UpdateRssCommand(nullptr, 0));
        EXPECT_TRUE(user.MessageBoxes().empty());
    }
    EXPECT_EQ("<absent>", Setting(kLastUpdateTimeSection, "News"));
}

TEST_F(UpdateCommand, RefusesAFolderIdTooLongToHold) {
    std::string longId(kFolderIdCapacity + 10, 'f');
    SetCurrentFolder(longId.c_str());
    ScriptedUser user;
    UpdateRssCommand(nullptr, 0);
    ASSERT_EQ(1u, user.MessageBoxes().size());
    EXPECT_EQ("Invalid Current Folder!", user.MessageBoxes()[0].text);
}

TEST(AboutBox, FitsItsBufferAndNamesTheVersion) {
    char text[kAboutTextCapacity + 64];
    memset(text, '#', sizeof text);
    EXPECT_TRUE(FormatAboutText(text, sizeof text));
    EXPECT_LT(strlen(text), kAboutTextCapacity) << "with its terminator within 200 bytes";
    std::string about = text;
    EXPECT_EQ(0u, about.find("Pellix Quillfeed PlugIn!\r\n"));
    EXPECT_NE(std::string::npos, about.find("\r\nVersion:1.31\r\n"));
    // Four lines, each ended by CR LF.
    size_t lines = 0;
    for (size_t at = about.find("\r\n"); at != std::string::npos; at = about.find("\r\n", at + 2)) {
        ++lines;
    }
    EXPECT_EQ(4u, lines);
    EXPECT_EQ("\r\n", about.substr(about.size() - 2));
}

TEST(AboutBox, IsShownOnceAndAnswersOne) {
    ScriptedUser user;
    EXPECT_EQ(1, PXC_OnPlugInSetup(nullptr));
    ASSERT_EQ(1u, user.MessageBoxes().size());
    EXPECT_EQ("About Quillfeed", user.MessageBoxes()[0].caption);
    char text[kAboutTextCapacity];
    EXPECT_TRUE(FormatAboutText(text, sizeof text));
    // A box's text may come back without its final line break; all else is the About text.
    const std::string shown = user.MessageBoxes()[0].text;
    std::string expected = text;
    expected.erase(expected.find_last_not_of("\r\n") + 1);
    EXPECT_EQ(expected, shown.substr(0, shown.find_last_not_of("\r\n") + 1));
    EXPECT_NE(std::string::npos, shown.find("Version:1.31"));
}

TEST(PlugInInfo, LeavesEachTextAtTheStartOfItsOwnField) {
    PlugInInfo info;
    memset(&info, 'X', sizeof info);
    EXPECT_EQ(0, PXC_OnPlugInInfo(&info));
    EXPECT_STREQ("Pellix Quillfeed plug-in", info.name);
    EXPECT_LT(strnlen(info.vendor, sizeof info.vendor), sizeof info.vendor);
    EXPECT_STREQ("1.31", info.version);
    EXPECT_STREQ("Enables Pellix to use RSS with Styles.", info.description);
}

using Callbacks = SetupFixture;

TEST_F(Callbacks, OnlyPlugInSetupAnswersAnythingButZero) {
    // No folder on screen and no settings: the callbacks that could start work find none.
    SetCurrentFolder(nullptr);
    PlugInInfo info;
    HMENU menu = CreatePopupMenu();
    ScriptedUser user;
    struct {
        const char* name;
        int result;
        int expected;
    } results[] = {
        {"PXC_OnStart", PXC_OnStart(), 0},
        {"PXC_OnExit", PXC_OnExit(), 0},
        {"PXC_OnMenuInit", PXC_OnMenuInit(nullptr, menu, 2), 0},
        {"PXC_OnOpenFolder", PXC_OnOpenFolder("News"), 0},
        {"PXC_OnOpenMail", PXC_OnOpenMail("News|1"), 0},
        {"PXC_OnEveryMinute", PXC_OnEveryMinute(), 0},
        {"PXC_OnOpenCompose", PXC_OnOpenCompose(nullptr, 0), 0},
        {"PXC_OnOutgoing", PXC_OnOutgoing(nullptr, 0), 0},
        {"PXC_OnKeyDispatch", PXC_OnKeyDispatch(nullptr, 0, 0), 0},
        {"PXC_OnRetrieve", PXC_OnRetrieve("a", "b"), 0},
        {"PXC_OnSend", PXC_OnSend("a"), 0},
        {"PXC_OnFinishRetrieve", PXC_OnFinishRetrieve("a"), 0},
        {"PXC_OnPlugInSetup", PXC_OnPlugInSetup(nullptr), 1},
        {"PXC_OnPlugInInfo", PXC_OnPlugInInfo(&info), 0},
        {"PXC_OnDragDrop", PXC_OnDragDrop(nullptr, "a", 0, 0), 0},
        {"PXC_OnBeforeFilter", PXC_OnBeforeFilter("a", "b", 0), 0},
    };
    for (const auto& r : results) {
        EXPECT_EQ(r.expected, r.result) << r.name;
    }
    DestroyMenu(menu);
}

}  // namespace
