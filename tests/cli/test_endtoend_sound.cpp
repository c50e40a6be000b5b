// The sound check of a whole transfer: a clip whose channels carry a known tone, silence, a silent stretch
// and clipping comes through vantrel-transfer with its report's "sound" and the command line's sound line.

#include "tests/cli/TransferTool.h"
#include "tests/support/TempManifest.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(SoundE2e, TheReportAndTheCommandLineTellLevelsSilenceAndClipping) {
    // 23.98 PsF: 25 frames of 2002 samples, just over a second.
    QJsonObject clip = testsupport::clipJson("TONES", 25);
    clip["rateIndex"] = 0;
    clip["scan"] = 1;
    clip["dropFrame"] = 0;
    clip["codec"] = 2;
    clip["soundChannels"] = 4;
    clip["sound"] = QJsonArray{QJsonObject{{"tone", QJsonObject{{"frequency", 1000}, {"level", -20}}}},
                               QJsonObject{{"silence", true}},
                               QJsonObject{{"tone", QJsonObject{{"frequency", 1000}, {"level", 6}}}},
                               QJsonObject{{"silentFrom", 1}, {"silentFrames", 24}}};
    const testsupport::TempManifest manifest(testsupport::manifestWith({clip}));
    QTemporaryDir destination;
    const clitest::Run run =
        clitest::transferTool({"transfer", "--dest", destination.path(), "TONES"}, manifest.path());
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("vantrel-transfer: TONES: sound: 4 channels, peak 0.00 dBFS, 1 silent "
                                 "channel (2), 1 clipped channel (3)\n"))
        << run.err.toStdString();

    QFile report(destination.filePath("REEL01/TONES.json"));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QJsonObject sound = QJsonDocument::fromJson(report.readAll())["sound"].toObject();
    EXPECT_EQ(sound["silentChannels"].toArray(), QJsonArray{2});
    EXPECT_EQ(sound["clippedChannels"].toArray(), QJsonArray{3});
    const QJsonArray channels = sound["channels"].toArray();
    ASSERT_EQ(channels.size(), 4);
    EXPECT_NEAR(channels[0]["peakDbfs"].toDouble(), -20.0, 0.05);
    EXPECT_NEAR(channels[0]["rmsDbfs"].toDouble(), -23.01, 0.05);
    EXPECT_EQ(channels[0]["clippedSamples"].toInt(), 0);
    EXPECT_TRUE(channels[1]["silentThroughout"].toBool());
    EXPECT_TRUE(channels[1]["peakDbfs"].isNull());
    EXPECT_GT(channels[2]["clippedSamples"].toInt(), 0);
    EXPECT_FALSE(channels[3]["silentThroughout"].toBool());
    EXPECT_EQ(channels[3]["silentRuns"].toArray(),
              (QJsonArray{QJsonObject{{"startFrame", 1}, {"startTimeCode", "01:00:00:01"}, {"frames", 24}}}));
}
