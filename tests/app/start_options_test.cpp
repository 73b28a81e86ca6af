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

TEST_F(StartOptionsTest, SimulatedCamerasInTheOrderGiven) {
    using Cameras = QList<SimulatedCameraOption>;
    EXPECT_EQ(Parse({}).options.simulatedCameras, Cameras{});
    EXPECT_EQ(Parse({u"--simulated-camera"_qs}).options.simulatedCameras, Cameras{{}});
    const StartRequest r =
        Parse({u"--simulated-camera=/data/页 1.png"_qs, u"--simulated-webcam"_qs,
               u"--simulated-camera=b.png"_qs, u"--"_qs, u"--simulated-camera"_qs});
    EXPECT_EQ(r.action, StartAction::kRun);
    EXPECT_EQ(r.options.simulatedCameras,
              (Cameras{{u"/data/页 1.png"_qs, false},
                       {QString(), true},
                       {QDir::current().absoluteFilePath(u"b.png"_qs), false}}));
    EXPECT_EQ(r.options.files,
              QStringList{QDir::current().absoluteFilePath(u"--simulated-camera"_qs)});
}

TEST_F(StartOptionsTest, EnvironmentAddsOneSimulatedCamera) {
    qputenv("QUORVANE_SIMULATED_CAMERA", "1");
    EXPECT_EQ(Parse({}).options.simulatedCameras.size(), 1);
    qputenv("QUORVANE_SIMULATED_CAMERA", "0");
    EXPECT_TRUE(Parse({}).options.simulatedCameras.isEmpty());
}

TEST_F(StartOptionsTest, HelpVersionAndErrors) {
    StartRequest r = Parse({u"--help"_qs});
    EXPECT_EQ(r.action, StartAction::kShowHelp);
    EXPECT_TRUE(r.message.startsWith(u"Usage: quorvane [options] [files...]"_qs))
        << r.message.toStdString();
    EXPECT_TRUE(r.message.contains(u"--simulated-camera"_qs));
    EXPECT_TRUE(r.message.contains(u"--simulated-webcam"_qs));

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
