// The duplicate check against the folder's index file, and LastPathComponent.
#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "compose/compose.h"
#include "tests/compose_support.h"

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
        {"empty fields are not counted",
         kHeader + "1\x01\x01"
                   "3\x01"
                   "Weather\n",
         "Weather", false},
        {"runs and leading separators count as one",
         kHeader + "\x01\x01"
                   "1\x01\x01\x01"
                   "2\x01"
                   "3\x01\x01"
                   "Weather\x01\n",
         "Weather", true},
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
            IndexReading reading;
            EXPECT_EQ(IsDuplicateSubject(FakeComposeHost::kFolderId, c.subject.c_str()),
                      listedBefore)
                << c.what << ", first " << cut << " bytes";
            host.AppendIndex(c.index.substr(cut));
            EXPECT_EQ(IsDuplicateSubject(FakeComposeHost::kFolderId, c.subject.c_str()), c.listed)
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
        IndexReading reading;
        ASSERT_TRUE(IsDuplicateSubject(FakeComposeHost::kFolderId, "Rain")) << c.what;
        c.change(host);
        EXPECT_EQ(IsDuplicateSubject(FakeComposeHost::kFolderId, "Rain"), c.rainListed) << c.what;
        EXPECT_EQ(IsDuplicateSubject(FakeComposeHost::kFolderId, "Snow"), c.snowListed) << c.what;
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

}  // namespace
