// The duplicate check against the folder's index file, and LastPathComponent.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/text.h"
#include "compose/compose.h"
#include "compose/folder_index.h"
#include "compose/seen_record.h"
#include "refresh/refresh.h"
#include "tests/compose_support.h"
#include "tests/support.h"

namespace {

// An index line: fields joined by the byte 0x01.
std::string Line(std::initializer_list<std::string> fields, const char* end = "\n") {
    std::string line;
    for (const std::string& field : fields) {
        line += (line.empty() ? "" : "\x01") + field;
    }
    return line + end;
}

const std::string kHeader = "Folder index 1\n";

struct DuplicateCase {
    const char* what;
    std::string index;
    std::string subject;
    bool listed;
};

TEST(ComposeDuplicate, FindsTheWholeFourthFieldAfterTheFirstLine) {
    const std::string filler(4095 - 11, 'x');  // the first 4095 bytes of the line end with it
    const DuplicateCase cases[] = {
        {"header line only", Line({"1", "2", "3", "Weather"}), "Weather", false},
        {"empty file", "", "Weather", false},
        {"listed", kHeader + Line({"1", "2", "3", "Weather"}), "Weather", true},
        {"listed, further fields", kHeader + Line({"1", "2", "3", "Weather", "5"}), "Weather",
         true},
        {"listed on a later line",
         kHeader + Line({"1", "2", "3", "Rain"}) + Line({"1", "2", "3", "Weather"}), "Weather",
         true},
        {"CR LF line ends", "h\r\n" + Line({"1", "2", "3", "Weather"}, "\r\n"), "Weather", true},
        {"last line without line end", kHeader + Line({"1", "2", "3", "Weather"}, ""), "Weather",
         true},
        {"title ending in CR LF", kHeader + Line({"1", "2", "3", "Weather"}), "Weather\r\n", true},
        {"line break inside the subject stays", kHeader + Line({"1", "2", "3", "a\rb"}), "a\rb",
         true},
        {"three fields only", kHeader + Line({"1", "2", "Weather"}), "Weather", false},
        // An empty field (a sender of blanks) is a field all the same: the subject after it is
        // never lost to it.
        {"an empty sender field",
         kHeader + "1\x01"
                   "d\x01\x01"
                   "Weather\n",
         "Weather", true},
        {"an empty date field",
         kHeader + "1\x01\x01"
                   "s\x01"
                   "Weather\n",
         "Weather", true},
        {"separators are never merged",
         kHeader + "\x01\x01"
                   "1\x01\x01\x01"
                   "2\x01"
                   "3\x01\x01"
                   "Weather\x01\n",
         "Weather", false},
        // A subject that is only the start of a listed one is a different item.
        {"prefix of the field", kHeader + Line({"1", "2", "3", "Weather report"}), "W", false},
        {"longer prefix of the field", kHeader + Line({"1", "2", "3", "Weather report"}), "Weather",
         false},
        {"field is a prefix of the subject", kHeader + Line({"1", "2", "3", "Weathe"}), "Weather",
         false},
        {"whole field", kHeader + Line({"1", "2", "3", "Weather report"}), "Weather report", true},
        {"empty subject", kHeader + Line({"1", "2", "3", ""}) + Line({"1", "2", "3", "x"}), "",
         false},
        {"subject of line ends only", kHeader + Line({"1", "2", "3", "x"}), "\r\n", false},
        // Lines longer than one read are still one line each.
        {"long line before the listed one",
         kHeader + Line({"1", "2", "3", "Rain", std::string(5000, 'r')}) +
             Line({"1", "2", "3", "Weather"}),
         "Weather", true},
        {"rest of a long line looks like a listed line",
         kHeader + Line({"1", "2", "3", "Rain", filler}, "") + Line({"1", "2", "3", "Weather"}),
         "Weather", false},
        {"rest of a long first line looks like a listed line",
         std::string(4095, 'H') + Line({"1", "2", "3", "Weather"}), "Weather", false},
        {"fourth field across a read boundary",
         kHeader + Line({"1", "2", std::string(4070, 'c'), "Weather report long"}),
         "Weather report long", true},
        {"fourth field longer than a read", kHeader + Line({"1", "2", "3", std::string(5000, 'w')}),
         std::string(5000, 'w'), true},
        {"fourth field longer than a read, subject its start",
         kHeader + Line({"1", "2", "3", std::string(5000, 'w')}), std::string(4095, 'w'), false},
    };
    FakeComposeHost host;
    for (const DuplicateCase& c : cases) {
        host.WriteIndex(c.index);
        EXPECT_EQ(IsDuplicateSubject(FakeComposeHost::kFolderId, c.subject.c_str()), c.listed)
            << c.what;
        // A refresh reads the index once and then only what was added: the file as it grew from
        // any of its prefixes gives the answers that a whole reading of each gives.
        const size_t size = c.index.size();
        const size_t step = size < 200 ? 1 : size / 37;
        for (size_t cut = 0; cut <= size; cut += step) {
            const std::string before = c.index.substr(0, cut);
            host.WriteIndex(before);
            const bool listedBefore =
                IsDuplicateSubject(FakeComposeHost::kFolderId, c.subject.c_str());
            FolderIndex following;
            EXPECT_EQ(IsDuplicateSubject(FakeComposeHost::kFolderId, c.subject.c_str(), &following),
                      listedBefore)
                << c.what << ", first " << cut << " bytes";
            host.AppendIndex(c.index.substr(cut));
            EXPECT_EQ(IsDuplicateSubject(FakeComposeHost::kFolderId, c.subject.c_str(), &following),
                      c.listed)
                << c.what << ", grown from " << cut << " bytes";
        }
    }
}

// What a refresh has read stands only while the index only grows: anything else the host does to
// the file means reading it again.
TEST(ComposeDuplicate, AnIndexThatShrankOrChangedIsReadAgain) {
    const std::string rain = kHeader + Line({"1", "2", "3", "Rain"});
    const std::string filler = Line({"2", "2", "3", std::string(100, 'f')});
    const struct {
        const char* what;
        void (*change)(FakeComposeHost&);
        bool rainListed;
        bool snowListed;
    } cases[] = {
        {"grown",
         [](FakeComposeHost& host) {
             host.AppendIndex(Line({"3", "2", "3", "Snow"}));
         },
         true, true},
        {"shrunk to its header", [](FakeComposeHost& host) { host.WriteIndex(kHeader); }, false,
         false},
        {"rewritten in place, as long",
         [](FakeComposeHost& host) {
             host.WriteIndex(kHeader + Line({"1", "2", "3", "Snow"}) +
                             Line({"2", "2", "3", std::string(100, 'g')}));
         },
         false, true},
        // The same last bytes at the same place, and longer: only the file's identity tells.
        {"replaced by a longer file",
         [](FakeComposeHost& host) {
             host.ReplaceIndex(kHeader + Line({"1", "2", "3", "Snow"}) +
                               Line({"2", "2", "3", std::string(100, 'f')}) +
                               Line({"3", "2", "3", "Hail"}));
         },
         false, true},
    };
    FakeComposeHost host;
    for (const auto& c : cases) {
        host.WriteIndex(rain + filler);
        // Written a while ago, so that a rewrite has a later time of last write; within the
        // same tick of the file system's clock only the length tells.
        host.AgeIndex(-1);
        FolderIndex following;
        ASSERT_TRUE(IsDuplicateSubject(FakeComposeHost::kFolderId, "Rain", &following)) << c.what;
        c.change(host);
        EXPECT_EQ(IsDuplicateSubject(FakeComposeHost::kFolderId, "Rain", &following), c.rainListed)
            << c.what;
        EXPECT_EQ(IsDuplicateSubject(FakeComposeHost::kFolderId, "Snow", &following), c.snowListed)
            << c.what;
    }
}

TEST(ComposeDuplicate, NothingIsListedWithoutAnIndexOrArguments) {
    FakeComposeHost host;
    host.RemoveIndex();
    EXPECT_FALSE(IsDuplicateSubject(FakeComposeHost::kFolderId, "Weather"));
    host.WriteIndex(kHeader + Line({"1", "2", "3", "Weather"}));
    EXPECT_TRUE(IsDuplicateSubject(FakeComposeHost::kFolderId, "Weather"));
    EXPECT_FALSE(IsDuplicateSubject(nullptr, "Weather"));
    EXPECT_FALSE(IsDuplicateSubject(FakeComposeHost::kFolderId, nullptr));
    EXPECT_FALSE(IsDuplicateSubject("Elsewhere", "Weather"));
}

TEST(ComposeDuplicate, CallersSubjectIsLeftAsItIs) {
    FakeComposeHost host;
    host.WriteIndex(kHeader + Line({"1", "2", "3", "Weather"}));
    char subject[] = "Weather\r\n";
    EXPECT_TRUE(IsDuplicateSubject(FakeComposeHost::kFolderId, subject));
    EXPECT_STREQ(subject, "Weather\r\n");
}

TEST(ComposeLastPathComponent, PartAfterTheLastSeparatorNotAtTheEnd) {
    const struct {
        const char* text;
        const char* separator;
        const char* result;
    } cases[] = {
        {"a/b/c", "/", "c"},
        {"a/b/", "/", "b/"},
        {"abc", "/", "abc"},
        {"/", "/", "/"},
        {"", "/", ""},
        {"a//b", "/", "b"},
        {"News/World/Asia", "/", "Asia"},
        {"a::b::c", "::", "c"},
        {"a:::b", "::", "b"},
        {"x::", "::", "x::"},
        {"a/b", "", "a/b"},
        {"C:\\styles\\dark.css", nullptr, "dark.css"},
        {"C:\\styles\\", nullptr, "styles\\"},
        {"dark.css", nullptr, "dark.css"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(LastPathComponent(c.text, c.separator), c.result)
            << c.text << " / " << (c.separator ? c.separator : "(none)");
    }
    const char text[] = "a/b/c";
    EXPECT_EQ(LastPathComponent(text, "/"), text + 4);
}

TEST(ComposeLastPathComponent, DoubleByteCharactersAreNeverCut) {
    // 0x95 0x5C is one character in a Chinese code page; its second byte is a backslash.
    const char path[] =
        "styles\\\x95\x5C"
        "name.css";
    const char endsInLeadByte[] = "a\\b\x95";
    {
        ScopedMultiByteCodePage dbcs(936);
        ASSERT_TRUE(dbcs.ok());
        EXPECT_STREQ(LastPathComponent(path, nullptr),
                     "\x95\x5C"
                     "name.css");
        EXPECT_STREQ(LastPathComponent(endsInLeadByte, nullptr), "b\x95");
        EXPECT_STREQ(LastPathComponent("\x95/x/y", "/"), "y");
    }
    // Under a single-byte code page the same bytes are two characters.
    ScopedMultiByteCodePage sbcs(1252);
    EXPECT_STREQ(LastPathComponent(path, nullptr), "name.css");
}

// Items as a feed holds them at one refresh: their guid, link, title and text.
struct FeedEntry {
    const char* guid;
    const char* link;
    const char* title;
    const char* text;
};

// How a refresh of the record's tests runs: when (seconds since 1970), and the room the record's
// writes have (negative: the disk's).
struct RefreshClock {
    unsigned now = 2000000000u;
    long room = -1;
};

// One refresh through the record of seen items: each item composed as the reader hands it; the
// titles of the messages appended, and what the refresh counted into `counts`.
std::vector<std::string> RefreshWith(FakeComposeHost& host, const std::vector<FeedEntry>& feed,
                                     const RefreshClock& clock = RefreshClock(),
                                     RefreshCounts* counts = nullptr) {
    const size_t before = host.appended().size();
    {
        std::unique_ptr<Refresh> refresh =
            MakeRefresh("http://feed.invalid/", FakeComposeHost::kFolderId);
        refresh->now = clock.now;
        refresh->seenWriteRoom = clock.room;
        ReadFolder(refresh.get());
        OpenSeenRecord(refresh.get());
        for (const FeedEntry& entry : feed) {
            std::unique_ptr<FeedItem> item(new FeedItem());
            EXPECT_TRUE(CopyText(item->guid, sizeof item->guid, entry.guid));
            EXPECT_TRUE(CopyText(item->link, sizeof item->link, entry.link));
            EXPECT_TRUE(CopyText(item->title, sizeof item->title, entry.title));
            EXPECT_TRUE(CopyText(item->description, sizeof item->description, entry.text));
            TakeItem(refresh.get(), *item);
        }
        CloseSeenRecord(refresh.get());
        if (counts != nullptr) {
            *counts = refresh->counts;
        }
    }
    std::vector<std::string> titles;
    for (size_t i = before; i < host.appended().size(); ++i) {
        const std::string& message = host.appended()[i];
        const std::string banner = "<h2 dir=\"auto\">";
        const size_t at = message.find(banner) + banner.size();
        titles.push_back(message.substr(at, message.find("</h2>") - at));
    }
    return titles;
}

struct RefreshStep {
    std::vector<FeedEntry> feed;
    std::string index;  // the folder's index before the refresh (the user's deletions)
    std::vector<std::string> appended;
};

TEST(ComposeSeen, AnItemIsToldByItsIdentity) {
    const std::string empty = kHeader;
    const struct {
        const char* what;
        std::vector<RefreshStep> steps;
    } cases[] = {
        {"a deleted message stays deleted",
         {{{{"a", "", "Story", "x"}}, empty, {"Story"}}, {{{"a", "", "Story", "x"}}, empty, {}}}},
        {"an edited title is no new item",
         {{{{"a", "", "Tpyo", "x"}}, empty, {"Tpyo"}}, {{{"a", "", "Typo", "x"}}, empty, {}}}},
        {"two items with one title both land",
         {{{{"a", "", "Photo", ""}, {"b", "", "Photo", ""}}, empty, {"Photo", "Photo"}},
          {{{"a", "", "Photo", ""}, {"b", "", "Photo", ""}, {"c", "", "Photo", ""}},
           empty,
           {"Photo"}}}},
        {"an untitled item with an id lands once",
         {{{{"u1", "", "", "<p>Untitled</p>"}}, empty, {"Untitled"}},
          {{{"u1", "", "", "<p>Untitled</p>"}}, empty, {}}}},
        {"without an id the link tells an item",
         {{{{"", "http://a/1", "One", "x"}}, empty, {"One"}},
          {{{"", "http://a/1", "One, edited", "x"}, {"", "http://a/2", "One", "x"}},
           empty,
           {"One"}}}},
        {"without an id or link its title and text do",
         {{{{"", "", "Note", "text"}}, empty, {"Note"}},
          {{{"", "", "Note", "text"}, {"", "", "Note", "other text"}}, empty, {"Note"}}}},
        {"blanks around an id are no part of it",
         {{{{"  a\n", "", "Story", "x"}}, empty, {"Story"}},
          {{{"a", "", "Story", "x"}}, empty, {}}}},
        {"an item with nothing is no message",
         {{{{"", "", "", ""}, {" ", "\n", "", ""}}, empty, {}}}},
        // A folder refreshed before records were kept: its index decides once, and records.
        {"upgrading appends only what the index lacks, and then the record decides",
         {{{{"a", "", "Story 1", "x"}, {"b", "", "Story 2", "x"}},
           empty + Line({"1", "d", "s", "Story 1"}),
           {"Story 2"}},
          {{{"a", "", "Story 1", "x"}, {"b", "", "Story 2", "x"}}, empty, {}}}},
        {"an item whose id changed is new",
         {{{{"a", "", "Story", "x"}}, empty, {"Story"}},
          {{{"a2", "", "Story", "x"}}, empty, {"Story"}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeComposeHost host;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            host.WriteIndex(c.steps[i].index);
            EXPECT_EQ(RefreshWith(host, c.steps[i].feed), c.steps[i].appended)
                << "refresh " << i + 1;
        }
    }
}

// A record that cannot be read is said, and the index decides; one that cannot be written is
// said and removed, so that the next refresh asks the index. Either way nothing is doubled.
TEST(ComposeSeen, ARecordThatCannotBeReadOrKeptFallsBackToTheIndex) {
    const std::vector<FeedEntry> feed = {{"a", "", "Listed", "x"}, {"b", "", "New", "x"}};
    const std::string both =
        kHeader + Line({"1", "d", "s", "Listed"}) + Line({"2", "d", "s", "New"});
    const struct {
        const char* what;
        std::function<void(const std::string& path)> spoil;  // done to the record after a refresh
        long room;                                           // the room its writes have, or -1
        const char* trouble;
        std::vector<std::string> appended;  // by the refresh that meets the trouble
    } cases[] = {
        {"corrupt",
         [](const std::string& path) { ASSERT_TRUE(WriteFile(path, "nonsense\n")); },
         -1,
         "seen items unreadable, the index checked",
         {}},
        {"truncated",
         [](const std::string& path) {
             const std::string whole = ReadFile(path);
             ASSERT_TRUE(WriteFile(path, whole.substr(0, whole.size() - 3)));
         },
         -1,
         "seen items unreadable, the index checked",
         {}},
        {"unwritable", [](const std::string&) {}, 0, "seen items not kept", {"New"}},
        {"on a full disk", [](const std::string&) {}, 30, "seen items not kept", {"New"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeComposeHost host;
        char path[kPathCapacity];
        ASSERT_TRUE(SeenRecordPath(FakeComposeHost::kFolderId, path, sizeof path));
        host.WriteIndex(kHeader + Line({"1", "d", "s", "Listed"}));
        EXPECT_EQ(RefreshWith(host, {feed[0]}), std::vector<std::string>());
        c.spoil(path);
        host.WriteIndex(both);
        RefreshClock nearlyFull;
        nearlyFull.room = c.room;
        RefreshCounts counts;
        EXPECT_EQ(RefreshWith(host, feed, nearlyFull, &counts), c.appended);
        ASSERT_NE(counts.trouble, nullptr);
        EXPECT_STREQ(counts.trouble, c.trouble);
        EXPECT_EQ(counts.alreadyHere, 2 - static_cast<int>(c.appended.size()));
        // The next refresh, with the host listing what was appended: nothing comes again.
        EXPECT_EQ(RefreshWith(host, feed, RefreshClock(), &counts), std::vector<std::string>());
        EXPECT_EQ(counts.trouble, nullptr);
    }
}

// What the feed has not held for 30 days is forgotten; what it still holds is kept however old.
TEST(ComposeSeen, IdentitiesTheFeedNoLongerHoldsAreForgottenAfterThirtyDays) {
    RefreshClock clock;
    FakeComposeHost host;
    host.WriteIndex(kHeader);
    EXPECT_EQ(RefreshWith(host, {{"old", "", "Old", "x"}, {"kept", "", "Kept", "x"}}, clock),
              (std::vector<std::string>{"Old", "Kept"}));
    const unsigned day = 24 * 3600;
    clock.now += 29 * day;
    EXPECT_EQ(RefreshWith(host, {{"kept", "", "Kept", "x"}}, clock), std::vector<std::string>());
    EXPECT_EQ(RefreshWith(host, {{"old", "", "Old", "x"}}, clock), std::vector<std::string>());
    clock.now += 31 * day;
    EXPECT_EQ(RefreshWith(host, {{"kept", "", "Kept", "x"}}, clock), std::vector<std::string>());
    clock.now += 1;
    EXPECT_EQ(RefreshWith(host, {{"old", "", "Old", "x"}, {"kept", "", "Kept", "x"}}, clock),
              std::vector<std::string>{"Old"});
}

}  // namespace
