// The stylesheet link rebuilt when a message is opened: the rewrite itself as a table, and the
// callback's conversation with a fake host.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/hostapi.h"
#include "base/module.h"
#include "base/pxapi.h"
#include "base/settings_file.h"
#include "compose/stylesheet_link.h"
#include "platform/files.h"
#include "style/style.h"
#include "tests/support.h"

namespace {

// The path the callback builds for a style in these tests' module directory.
std::string Href(const std::string& style) {
    return std::string(ModuleDirectory()) + QF_PATH_SEPARATOR "RssStyles" QF_PATH_SEPARATOR + style;
}

std::string NewLink(const std::string& style) {
    // The element a composed message carries, rebuilt to the folder's style.
    return "<LINK REL=\"stylesheet\" TYPE=\"text/css\" HREF=\"" + Href(style) + "\" >";
}

// A message as the composer appends it: header, empty line, body with the old link.
const char kHeader[] =
    "From: Example News\r\nSubject: Weather\r\nDate: Tue, 08 Dec 2026 10:00:00 +0000\r\n"
    "Content-Type: text/html\r\n\r\n";
const char kOldLink[] = "<LINK REL=\"stylesheet\" TYPE=\"text/css\" HREF=\"C:\\old\\x.css\" >";

TEST(StyleRewrite, ReplacesFromTheLinkUpToTheHeadEnd) {
    const std::string href = Href("dark.css");
    const std::string link = NewLink("dark.css");
    const std::string header = kHeader;
    const struct {
        const char* name;
        std::string source;
        std::string expected;  // empty: no rewrite
    } cases[] = {
        {"the composer's message",
         header + "<HTML>\r\n<HEAD>" + kOldLink + "</HEAD><BODY>x</BODY></HTML>",
         header + "<HTML>\r\n<HEAD>" + link + "</HEAD><BODY>x</BODY></HTML>"},
        {"whatever follows the link in the head goes with it",
         header + "<HEAD>" + kOldLink + "<TITLE>t</TITLE></HEAD>b",
         header + "<HEAD>" + link + "</HEAD>b"},
        {"two link elements: the first begins the dropped stretch",
         header + "<HEAD><LINK REL=a><LINK REL=b></HEAD></HEAD>",
         header + "<HEAD>" + link + "</HEAD></HEAD>"},
        {"the markers alone", "\r\n<LINK REL</HEAD>", "\r\n" + link + "</HEAD>"},
        {"no link", header + "<HEAD></HEAD><BODY></BODY>", ""},
        {"the only head end before the link", header + "<HEAD></HEAD><LINK REL=x>", ""},
        {"lower-case link", header + "<HEAD><link rel=x></HEAD>", ""},
        {"mixed-case head end", header + "<HEAD><LINK REL=x></Head>", ""},
        {"a link in the header is not the one",
         "Subject: <LINK REL</HEAD> explained\r\n\r\n" + std::string("<HEAD>") + kOldLink +
             "</HEAD>",
         "Subject: <LINK REL</HEAD> explained\r\n\r\n<HEAD>" + link + "</HEAD>"},
        {"a header line quoting the markup in a message without a link",
         "Subject: <LINK REL</HEAD>\r\n\r\n<HEAD></HEAD>", ""},
        {"an empty line of bare line feeds ends the header too",
         "Subject: <LINK REL\n\n<HEAD><LINK REL=x></HEAD>",
         "Subject: <LINK REL\n\n<HEAD>" + link + "</HEAD>"},
        {"without an empty line the whole source is searched", "Subject: <LINK REL=x></HEAD> y",
         "Subject: " + link + "</HEAD> y"},
        {"an empty source", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<char> block(c.source.size() + 1024, '#');
        bool rewritten =
            RewriteStylesheetLink(c.source.c_str(), href.c_str(), block.data(), block.size());
        EXPECT_EQ(!c.expected.empty(), rewritten);
        EXPECT_EQ(c.expected, std::string(block.data()));
    }
}

TEST(StyleRewrite, FindsTheBodyAfterTheFirstEmptyLine) {
    const struct {
        const char* source;
        size_t bodyAt;
    } cases[] = {
        {"A: 1\r\n\r\nbody", 8},  {"A: 1\r\nB: 2\r\n\r\n\r\nbody", 14},
        {"A: 1\n\nbody", 6},      {"\r\nbody", 2},
        {"A: 1\r\nno end", 0},    {"A: 1\r\n\r", 0},
        {"A: 1\r\n \r\nbody", 0}, {"", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.bodyAt, static_cast<size_t>(FindMessageBody(c.source) - c.source)) << c.source;
    }
}

TEST(StyleRewrite, RefusesWhatDoesNotFitTheBlock) {
    const std::string source = "<HEAD><LINK REL=x></HEAD>";
    const std::string href(100, 'p');
    const std::string expected =
        "<HEAD>" + std::string(kStyleLinkOpening) + href + kStyleLinkClose + "</HEAD>";
    for (size_t capacity : {expected.size() - 1, expected.size(), expected.size() + 1}) {
        std::vector<char> block(capacity, '#');
        bool fits = capacity > expected.size();
        EXPECT_EQ(fits,
                  RewriteStylesheetLink(source.c_str(), href.c_str(), block.data(), block.size()))
            << capacity;
        EXPECT_EQ(fits ? expected : "", std::string(block.data())) << capacity;
    }
}

TEST(StyleRewrite, BlockHoldsAnyRewriteOfItsSource) {
    EXPECT_EQ(10u + 1024u, RewriteBlockSize(10, 0));
    EXPECT_EQ(10u + 1024u, RewriteBlockSize(10, 984));
    EXPECT_EQ(10u + 1025u, RewriteBlockSize(10, 985));
    EXPECT_EQ(0u, RewriteBlockSize(static_cast<size_t>(-1) - 10, 0));
    EXPECT_EQ(0u, RewriteBlockSize(0, static_cast<size_t>(-1)));

    // The worst case, a dropped stretch of only the marker, fits exactly with a long path.
    const std::string source = "<LINK REL</HEAD>";
    for (size_t length : {984u, 985u, 1023u}) {
        const std::string href(length, 'p');
        std::vector<char> block(RewriteBlockSize(source.size(), href.size()));
        EXPECT_TRUE(RewriteStylesheetLink(source.c_str(), href.c_str(), block.data(), block.size()))
            << length;
    }
}

// The fake host: a folder on screen, one message, and a log of the calls the callback made.
struct FakeHost {
    const char* folder = nullptr;
    const char* source = nullptr;
    bool allocFails = false;
    std::vector<std::string> calls;
    std::vector<unsigned> allocSizes;
    int blocksHeld = 0;
    std::string setId, setSource;
};
FakeHost* g_host;

const char* QF_CALL FakeGetCurrentFolder() {
    g_host->calls.push_back("GetCurrentFolder");
    return g_host->folder;
}
const char* QF_CALL FakeGetSource(const char* mailId) {
    g_host->calls.push_back(std::string("GetSource ") + mailId);
    return g_host->source;
}
void* QF_CALL FakeAlloc(unsigned size) {
    g_host->calls.push_back("Alloc");
    g_host->allocSizes.push_back(size);
    if (g_host->allocFails) {
        return nullptr;
    }
    ++g_host->blocksHeld;
    // Exactly the size asked for, so that a write past it is caught by the sanitizer.
    return malloc(size);
}
int QF_CALL FakeSetSource(const char* mailId, const char* source) {
    g_host->calls.push_back("SetSource");
    g_host->setId = mailId;
    g_host->setSource = source;
    return 1;
}
void QF_CALL FakeFree(void* block) {
    g_host->calls.push_back("Free");
    --g_host->blocksHeld;
    free(block);
}

class StyleOnOpen : public testing::Test {
protected:
    void SetUp() override {
        savedApi_ = g_hostApi;
        EXPECT_TRUE(CopyText(savedSettings_, sizeof savedSettings_, SettingsFilePath));
        EXPECT_TRUE(CopyText(SettingsFilePath, sizeof SettingsFilePath,
                             scratch_.File("settings.ini").c_str()));
        g_host = &host_;
        g_hostApi.PXA_GetCurrentFolder = FakeGetCurrentFolder;
        g_hostApi.PXA_GetSource = FakeGetSource;
        g_hostApi.PXA_Alloc = FakeAlloc;
        g_hostApi.PXA_SetSource = FakeSetSource;
        g_hostApi.PXA_Free = FakeFree;
    }
    void TearDown() override {
        EXPECT_EQ(0, host_.blocksHeld) << "every block is released";
        g_host = nullptr;
        g_hostApi = savedApi_;
        EXPECT_TRUE(CopyText(SettingsFilePath, sizeof SettingsFilePath, savedSettings_));
    }

    void FeedFolder(const char* id, const char* style) {
        EXPECT_TRUE(WriteSetting(kFeedsSection, id, "http://example.test/feed.xml"));
        EXPECT_TRUE(WriteSetting(kStylesSection, id, style));
        host_.folder = id;
    }

    FakeHost host_;
    ScratchDir scratch_;

private:
    HostApi savedApi_;
    char savedSettings_[kSettingsPathCapacity];
};

const std::vector<std::string> kRewriteCalls = {"GetCurrentFolder", "GetSource news|1", "Alloc",
                                                "SetSource", "Free"};

TEST_F(StyleOnOpen, HandsTheRestyledSourceToTheHost) {
    const std::string body = "<HTML>\r\n<HEAD>" + std::string(kOldLink) + "</HEAD><BODY/></HTML>";
    const std::string source = kHeader + body;
    const struct {
        const char* style;
        const char* file;
    } cases[] = {
        {"dark.css", "dark.css"},
        {"", "default.css"},
        {"my dark style.css", "my dark style.css"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        host_ = FakeHost();
        FeedFolder("news", c.style);
        host_.source = source.c_str();

        EXPECT_EQ(0, PXC_OnOpenMail("news|1"));

        EXPECT_EQ(kRewriteCalls, host_.calls);
        EXPECT_EQ("TEMP", host_.setId);
        EXPECT_EQ(kHeader + ("<HTML>\r\n<HEAD>" + NewLink(c.file) + "</HEAD><BODY/></HTML>"),
                  host_.setSource);
        ASSERT_EQ(1u, host_.allocSizes.size());
        EXPECT_EQ(source.size() + 1024, host_.allocSizes[0]);
    }
}

// In the dark theme a message shows in its style's dark sibling, when the style directory has
// one; the style itself otherwise, and always in the light theme.
TEST_F(StyleOnOpen, TheDarkThemeShowsTheDarkSiblingWhereThereIsOne) {
    const std::string source =
        kHeader + ("<HTML>\r\n<HEAD>" + std::string(kOldLink) + "</HEAD></HTML>");
    const struct {
        bool dark;
        const char* style;
        const char* file;
    } cases[] = {
        {false, "paper.css", "paper.css"},
        {false, "", "default.css"},
        {true, "paper.css", "paper-dark.css"},
        {true, "", "default-dark.css"},
        {true, "night.css", "night-dark.css"},
        {true, "compact.css", "compact-dark.css"},
        {true, "default.css", "default-dark.css"},
        // No sibling, or a sibling already.
        {true, "dark.css", "dark.css"},
        {true, "paper-dark.css", "paper-dark.css"},
        {true, "notes.txt", "notes.txt"},
    };
    // A style directory of the four styles the package ships, each with its sibling, and one
    // style without.
    const std::string saved = ModuleDirectory();
    SetModuleDirectory(scratch_.path().c_str());
    ASSERT_TRUE(MakeDirectory(scratch_.File("RssStyles").c_str()));
    for (const char* name : {"default", "paper", "night", "compact"}) {
        for (const char* ending : {".css", "-dark.css"}) {
            ASSERT_TRUE(WriteFile(Href(std::string(name) + ending), "body {}"));
        }
    }
    ASSERT_TRUE(WriteFile(Href("dark.css"), "body {}"));
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.style) + (c.dark ? " dark" : " light"));
        ScopedAppTheme theme(c.dark);
        host_ = FakeHost();
        FeedFolder("news", c.style);
        host_.source = source.c_str();
        EXPECT_EQ(0, PXC_OnOpenMail("news|1"));
        EXPECT_EQ(kHeader + ("<HTML>\r\n<HEAD>" + NewLink(c.file) + "</HEAD></HTML>"),
                  host_.setSource);
    }
    SetModuleDirectory(saved.c_str());
}

TEST_F(StyleOnOpen, LeavesTheMessageToTheHostWhenThereIsNothingToDo) {
    EXPECT_TRUE(WriteSetting(kFeedsSection, "plain", ""));
    EXPECT_TRUE(WriteSetting(kStylesSection, "unregistered", "dark.css"));
    FeedFolder("news", "dark.css");
    const struct {
        const char* name;
        const char* folder;
        const char* source;
        bool allocFails;
        std::vector<std::string> calls;
    } cases[] = {
        {"no folder on screen", nullptr, "x", false, {"GetCurrentFolder"}},
        {"a folder with an empty URL", "plain", "x", false, {"GetCurrentFolder"}},
        {"a folder without URL", "unregistered", "x", false, {"GetCurrentFolder"}},
        {"no source", "news", nullptr, false, {"GetCurrentFolder", "GetSource news|1"}},
        {"no block",
         "news",
         "<LINK REL</HEAD>",
         true,
         {"GetCurrentFolder", "GetSource news|1", "Alloc"}},
        {"no link",
         "news",
         "<HEAD></HEAD>",
         false,
         {"GetCurrentFolder", "GetSource news|1", "Alloc", "Free"}},
        {"no head end after the link",
         "news",
         "</HEAD><LINK REL>",
         false,
         {"GetCurrentFolder", "GetSource news|1", "Alloc", "Free"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host_ = FakeHost();
        host_.folder = c.folder;
        host_.source = c.source;
        host_.allocFails = c.allocFails;

        EXPECT_EQ(0, PXC_OnOpenMail("news|1"));

        EXPECT_EQ(c.calls, host_.calls);
    }
}

TEST_F(StyleOnOpen, RefusesAStyleThatIsNoFileNameOfTheStyleDirectory) {
    // A hand-edited value could reach another directory or end the link and add markup of its
    // own to the message on display; the message then keeps the link it was stored with.
    const char* styles[] = {"x.css\" onload=\"alert(1)",
                            "..\\..\\x.css",
                            "../x.css",
                            "a/b.css",
                            "a\\b.css",
                            "<b>.css",
                            "c:x.css",
                            "x'.css"};
    for (const char* style : styles) {
        SCOPED_TRACE(style);
        host_ = FakeHost();
        FeedFolder("news", style);
        host_.source = "<LINK REL</HEAD>";
        EXPECT_EQ(0, PXC_OnOpenMail("news|1"));
        EXPECT_EQ((std::vector<std::string>{"GetCurrentFolder", "GetSource news|1"}), host_.calls);
    }
}

TEST_F(StyleOnOpen, WritesThePathIntoTheLinkAsHtml) {
    const std::string saved = ModuleDirectory();
    SetModuleDirectory((scratch_.path() + QF_PATH_SEPARATOR "Tom & Jerry").c_str());
    FeedFolder("news", "dark.css");
    host_.source = "<LINK REL</HEAD>";
    PXC_OnOpenMail("news|1");
    EXPECT_EQ("<LINK REL=\"stylesheet\" TYPE=\"text/css\" HREF=\"" + scratch_.path() +
                  QF_PATH_SEPARATOR "Tom &amp; Jerry" QF_PATH_SEPARATOR
                                    "RssStyles" QF_PATH_SEPARATOR "dark.css\" ></HEAD>",
              host_.setSource);
    SetModuleDirectory(saved.c_str());
}

TEST_F(StyleOnOpen, NeverWritesALongPathPastTheBlock) {
    // The module directory, the separators and "RssStyles" leave room for a style name this long.
    const size_t room = kPathCapacity - 1 - Href("").size();
    const std::string source = "<LINK REL</HEAD>";
    const struct {
        const char* name;
        size_t styleLength;
        bool rewritten;
    } cases[] = {
        {"a path of 985 characters", 985 - Href("").size(), true},
        {"a path longer than 985 characters", room - 10, true},
        {"the longest path that fits", room, true},
        {"a path that does not fit is not cut", room + 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host_ = FakeHost();
        const std::string style(c.styleLength, 's');
        FeedFolder("news", style.c_str());
        host_.source = source.c_str();

        PXC_OnOpenMail("news|1");

        if (c.rewritten) {
            EXPECT_EQ(kRewriteCalls, host_.calls);
            EXPECT_EQ(NewLink(style) + "</HEAD>", host_.setSource);
            ASSERT_EQ(1u, host_.allocSizes.size());
            EXPECT_GE(host_.allocSizes[0], source.size() + 1024);
        } else {
            EXPECT_EQ((std::vector<std::string>{"GetCurrentFolder", "GetSource news|1"}),
                      host_.calls);
        }
    }
}

}  // namespace
