// The stand-in host loading the built plug-in the way the mail client does.
#include <gtest/gtest.h>

#include <string>

#include "tests/support.h"

namespace {

std::string OldHostPath() {
    // The host without PXA_SetStatus is built next to pellix.
    std::string path = PellixPath();
    size_t name = path.rfind("pellix");
    return name == std::string::npos
               ? std::string()
               : path.substr(0, name) + "pellix_nosetstatus" + path.substr(name + 6);
}

class StandInLoad : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(PluginPath().empty() || PellixPath().empty())
            << "run with --plugin=PATH --pellix=PATH";
    }

    int Pellix(const std::string& program, const std::string& arguments, std::string* output) {
        return RunProgram(
            program,
            "--data \"" + data.path() + "\" --plugin \"" + PluginPath() + "\" " + arguments,
            output);
    }

    ScratchDir data;
};

TEST_F(StandInLoad, LoadsAndBindsThePlugIn) {
    std::string output;
    EXPECT_EQ(Pellix(PellixPath(), "load", &output), 0) << output;
    EXPECT_NE(output.find("bound the host API"), std::string::npos) << output;
}

TEST_F(StandInLoad, ShowsThePlugInInformation) {
    std::string output;
    EXPECT_EQ(Pellix(PellixPath(), "info", &output), 0) << output;
    EXPECT_NE(output.find("name: Pellix Quillfeed plug-in"), std::string::npos) << output;
    EXPECT_NE(output.find("version: 1.31"), std::string::npos) << output;
    EXPECT_NE(output.find("description: Enables Pellix to use RSS with Styles."), std::string::npos)
        << output;
}

TEST_F(StandInLoad, AnOldHostWithoutSetStatusIsAccepted) {
    std::string output;
    EXPECT_EQ(Pellix(OldHostPath(), "--host-version 2.00.05 load", &output), 0) << output;
}

TEST_F(StandInLoad, ANewHostWithoutSetStatusIsRefused) {
    for (const char* version : {"2.00.06", "2.10.00", "10.00.00"}) {
        std::string output;
        EXPECT_EQ(
            Pellix(OldHostPath(), std::string("--host-version ") + version + " load", &output), 3)
            << output;
        EXPECT_NE(output.find("refused to load"), std::string::npos) << output;
        EXPECT_NE(output.find("1114"), std::string::npos) << output;
    }
}

TEST_F(StandInLoad, AMissingPlugInIsReported) {
    std::string output;
    EXPECT_EQ(RunProgram(PellixPath(),
                         "--data \"" + data.path() + "\" --plugin \"" +
                             data.File("nothing-here.dll") + "\" load",
                         &output),
              3);
    EXPECT_NE(output.find("cannot load the plug-in"), std::string::npos) << output;
}

TEST_F(StandInLoad, KeepsAFolderStore) {
    std::string output;
    EXPECT_EQ(Pellix(PellixPath(), "mkfolder News", &output), 0) << output;
    EXPECT_EQ(ReadFile(data.File("News") + "/Folder.idx").substr(0, 6), "Pellix");
    output.clear();
    EXPECT_EQ(Pellix(PellixPath(), "list News", &output), 0) << output;
    EXPECT_NE(output.find("0 message(s) in News"), std::string::npos) << output;
}

}  // namespace
