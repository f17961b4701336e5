// Binding the host API: which hosts the plug-in accepts, and what a failed binding leaves.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "base/hostapi.h"
#include "host/binding.h"

namespace {

// A fake host: exports every name but those in `missing`, answers `version`, and remembers the
// names it was asked for, in order.
struct FakeHost {
    std::set<std::string> missing;
    std::string version = "2.10.00";
    std::vector<std::string> asked;
    int versionCalls = 0;
};

FakeHost* g_fake;

const char* QF_CALL FakeGetVersion(void) {
    ++g_fake->versionCalls;
    return g_fake->version.c_str();
}

void FakeEntry() {}

HostApi::Proc FakeLookup(const void*, const char* name) {
    g_fake->asked.push_back(name);
    if (g_fake->missing.count(name) != 0) {
        return nullptr;
    }
    if (strcmp(name, "PXA_GetVersion") == 0) {
        return reinterpret_cast<HostApi::Proc>(FakeGetVersion);
    }
    return FakeEntry;
}

const void* FakeModule() {
    static int module;
    return &module;
}

class HostBinding : public testing::Test {
protected:
    void SetUp() override { g_fake = &fake; }
    void TearDown() override { g_fake = nullptr; }

    bool Bind() { return api.BindFrom(FakeModule(), FakeLookup); }

    FakeHost fake;
    HostApi api = {};
};

// The required names in the order binding asks for them: slots 1 to 55 without 22.
std::vector<std::string> RequiredNamesInOrder() {
    std::vector<std::string> names;
#define QF_NAME(slot, name, result, params, need) \
    if (HostNeed::need == HostNeed::kRequired) {  \
        names.push_back(#name);                   \
    }
    QF_HOST_FUNCTIONS(QF_NAME)
#undef QF_NAME
    return names;
}

TEST_F(HostBinding, BindsAHostThatExportsEverything) {
    ASSERT_TRUE(Bind());
    EXPECT_EQ(api.module, FakeModule());
    EXPECT_NE(api.PXA_GetVersion, nullptr);
    EXPECT_NE(api.PXA_Connect, nullptr);
    EXPECT_NE(api.PXA_SetStatus, nullptr);
    EXPECT_NE(api.PXA_NextUnread, nullptr);

    std::vector<std::string> expected = RequiredNamesInOrder();
    ASSERT_EQ(expected.size(), 54u);
    expected.push_back("PXA_SetStatus");
    expected.push_back("PXA_NextUnread");
    EXPECT_EQ(fake.asked, expected);
}

TEST_F(HostBinding, BindsWithoutTheOptionalNextUnread) {
    fake.missing = {"PXA_NextUnread"};
    ASSERT_TRUE(Bind());
    EXPECT_EQ(api.PXA_NextUnread, nullptr);
    EXPECT_EQ(api.module, FakeModule());
}

TEST_F(HostBinding, AppliesTheVersionRuleToSetStatus) {
    struct Case {
        const char* version;
        bool hasSetStatus;
        bool binds;
    };
    const Case cases[] = {
        {"2.00.05", false, true},   {"2.00.05", true, true},    {"2.00.06", false, false},
        {"2.00.06", true, true},    {"2.10.00", false, false},  {"2.10.00", true, true},
        {"10.00.00", false, false}, {"1.99.999", false, false}, {"", false, true},
        {"1.0", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("version \"") + c.version + "\"" +
                     (c.hasSetStatus ? " with" : " without") + " PXA_SetStatus");
        FakeHost host;
        host.version = c.version;
        if (!c.hasSetStatus) {
            host.missing = {"PXA_SetStatus"};
        }
        g_fake = &host;
        HostApi record = {};
        EXPECT_EQ(record.BindFrom(FakeModule(), FakeLookup), c.binds);
        EXPECT_EQ(record.module, c.binds ? FakeModule() : nullptr);
    }
}

TEST_F(HostBinding, RefusesAHostWithoutAFunctionThePlugInNeverCalls) {
    fake.missing = {"PXA_Connect"};
    EXPECT_FALSE(Bind());
    EXPECT_EQ(api.module, nullptr);
    // Everything before the missing name was resolved, and nothing after it was asked for.
    EXPECT_NE(api.PXA_SerializeRcpts, nullptr);
    EXPECT_EQ(fake.asked.back(), "PXA_Connect");
    EXPECT_EQ(fake.versionCalls, 0);
}

TEST_F(HostBinding, StopsAtTheFirstMissingName) {
    fake.missing = {"PXA_GetDataFolder", "PXA_Alloc"};
    EXPECT_FALSE(Bind());
    EXPECT_EQ(api.module, nullptr);
    std::vector<std::string> expected = RequiredNamesInOrder();
    expected.resize(6);
    EXPECT_EQ(fake.asked, expected);
    EXPECT_EQ(api.PXA_Alloc, nullptr);
}

TEST_F(HostBinding, RefusesWithoutAHostModule) {
    EXPECT_FALSE(api.BindFrom(nullptr, FakeLookup));
    EXPECT_TRUE(fake.asked.empty());
}

TEST_F(HostBinding, ASecondBindTouchesNothing) {
    ASSERT_TRUE(Bind());
    fake.asked.clear();
    fake.versionCalls = 0;
    fake.missing = {"PXA_GetVersion"};
    EXPECT_TRUE(Bind());
    EXPECT_TRUE(api.Bind());
    EXPECT_TRUE(fake.asked.empty());
    EXPECT_EQ(fake.versionCalls, 0);
}

TEST_F(HostBinding, AFailedBindCanBeRetried) {
    fake.missing = {"PXA_Free"};
    EXPECT_FALSE(Bind());
    fake.missing.clear();
    EXPECT_TRUE(Bind());
    EXPECT_EQ(api.module, FakeModule());
}

TEST(HostVersionRule, ComparesCharacterByCharacter) {
    EXPECT_TRUE(IsHostOlderThan2_00_06("2.00.05"));
    EXPECT_TRUE(IsHostOlderThan2_00_06("2.00.0"));
    EXPECT_TRUE(IsHostOlderThan2_00_06("2.00"));
    EXPECT_FALSE(IsHostOlderThan2_00_06("2.00.06"));
    EXPECT_FALSE(IsHostOlderThan2_00_06("2.00.1"));
    EXPECT_FALSE(IsHostOlderThan2_00_06("3"));
    // Eight characters or more count as new, whatever they say.
    EXPECT_FALSE(IsHostOlderThan2_00_06("0.00.000"));
}

}  // namespace
