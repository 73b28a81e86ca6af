#include "app/start_options.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

StartRequest Parse(QStringList arguments) {
    arguments.prepend(u"quorvane"_qs);
    return ParseStartOptions(arguments);
}

class StartOptionsTest : public ::testing::Test {
protected:
    void SetUp() override { qunsetenv("QUORVANE_SIMULATED_CAMERA"); }
    void TearDown() override { qunsetenv("QUORVANE_SIMULATED_CAMERA"); }
};

TEST_F(StartOptionsTest, SimulatedCameraWithAndWithoutAFile) {
    StartRequest r = Parse({});
    EXPECT_EQ(r.action, StartAction::kRun);
    EXPECT_FALSE(r.options.simulatedCamera);

    r = Parse({u"--simulated-camera"_qs});
    EXPECT_EQ(r.action, StartAction::kRun);
    EXPECT_TRUE(r.options.simulatedCamera);
    EXPECT_TRUE(r.options.simulatedCameraFile.isEmpty());

    r = Parse({u"--simulated-camera=/data/页 1.png"_qs});
    EXPECT_EQ(r.action, StartAction::kRun);
    EXPECT_TRUE(r.options.simulatedCamera);
    EXPECT_EQ(r.options.simulatedCameraFile, u"/data/页 1.png"_qs);
}

TEST_F(StartOptionsTest, EnvironmentTurnsTheSimulatedCameraOn) {
    qputenv("QUORVANE_SIMULATED_CAMERA", "1");
    EXPECT_TRUE(Parse({}).options.simulatedCamera);
    qputenv("QUORVANE_SIMULATED_CAMERA", "0");
    EXPECT_FALSE(Parse({}).options.simulatedCamera);
}

TEST_F(StartOptionsTest, HelpVersionAndErrors) {
    StartRequest r = Parse({u"--help"_qs});
    EXPECT_EQ(r.action, StartAction::kShowHelp);
    EXPECT_TRUE(r.message.contains(u"--simulated-camera"_qs));

    r = Parse({u"--version"_qs});
    EXPECT_EQ(r.action, StartAction::kShowVersion);
    EXPECT_TRUE(r.message.contains(ProgramVersion()));

    r = Parse({u"--no-such-option"_qs});
    EXPECT_EQ(r.action, StartAction::kError);
    EXPECT_TRUE(r.message.contains(u"--help"_qs));
}

TEST_F(StartOptionsTest, OtherArgumentsAreFilesMadeAbsolute) {
    const StartRequest r = Parse({u"页 1.jpg"_qs, u"/scans/a.png"_qs, u"--"_qs, u"--b.tif"_qs});
    EXPECT_EQ(r.action, StartAction::kRun);
    EXPECT_EQ(r.options.files,
              QStringList({QDir::current().absoluteFilePath(u"页 1.jpg"_qs), u"/scans/a.png"_qs,
                           QDir::current().absoluteFilePath(u"--b.tif"_qs)}));
}

}  // namespace
