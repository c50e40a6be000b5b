// Whole readings of the file list through the virtual card's UART, the card serial port and its read
// thread, against the simulated recorder.

#include "platform/cardlib/VirtualBoard.h"
#include "platform/cardlib/VirtualBoards.h"
#include "platform/srmodule/DemoMedia.h"
#include "platform/srmodule/SimulatedRecorder.h"
#include "recorder/QIROSRTransferDevice.h"
#include "tests/support/TempManifest.h"

#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>

using testsupport::clipJson;
using testsupport::manifestWith;
using testsupport::TempManifest;

namespace {

class FileListReading : public ::testing::Test {
protected:
    void TearDown() override { cardlib::useConfiguredMedia(); }

    SRFileList readWith(const QJsonObject &json) {
        manifest = std::make_unique<TempManifest>(json);
        cardlib::useManifest(manifest->path());
        EXPECT_TRUE(cardlib::mediaError().isEmpty()) << cardlib::mediaError().toStdString();
        QIROSRTransferDevice device;
        EXPECT_TRUE(device.open(0));
        return device.readFileList();
    }

    std::unique_ptr<TempManifest> manifest;
};

std::array<uint8_t, 33> rawTail(uint8_t channels, uint16_t mask, uint32_t emphasis, char letter,
                                const std::array<uint8_t, 24> &identifier) {
    std::array<uint8_t, 33> tail{};
    tail[1] = channels;
    tail[2] = uint8_t(mask);
    tail[3] = uint8_t(mask >> 8);
    for (int i = 0; i < 4; ++i)
        tail[4 + i] = uint8_t(emphasis >> (8 * i));
    tail[8] = uint8_t(letter);
    std::copy(identifier.begin(), identifier.end(), tail.begin() + 9);
    return tail;
}

QJsonArray clipsNamed(int count) {
    QJsonArray clips;
    for (int i = 0; i < count; ++i)
        clips.append(clipJson(QStringLiteral("CLIP%1").arg(i, 3, 10, QLatin1Char('0')), 100 + i));
    return clips;
}

} // namespace

TEST_F(FileListReading, ReturnsTheManifestsClipsWithEveryField) {
    QJsonObject second = clipJson("A002C007", 1800);
    second["secondName"] = "REEL02";
    second["dropFrame"] = 0;
    second["startTimecode"] = "10:20:30:12";
    second["rateIndex"] = 0;
    second["scan"] = 1;
    second["sampling"] = 1;
    second["bitDepth"] = 2;
    second["codec"] = 1;
    second["stereo3D"] = 1;
    second["soundChannels"] = 4;
    second["dataChannelMask"] = 0x0005;
    second["emphasis"] = 0x000000C3;
    second["formatLetter"] = "A";
    second["date1"] = "1999-12-31 23:59:58.50";
    second["date2"] = "2000-01-01 00:00:28.50";
    second["identifier"] = "0101"
                           "0d23"
                           "1300"
                           "0000"
                           "ffee"
                           "ddcc"
                           "bbaa"
                           "9988"
                           "7766"
                           "5544"
                           "3322"
                           "1100";
    QJsonObject third = clipJson("B001", 17982);
    third["valid"] = 0;
    third["scan"] = 2;
    third["rateIndex"] = 3;
    third["size"] = 5;
    third["codec"] = 9;
    third["startTimecode"] = "00:01:05;10";
    third["soundChannels"] = 2;

    const SRFileList list = readWith(manifestWith(QJsonArray{clipJson("A001C001"), second, third}));
    EXPECT_EQ(list.columnNames,
              (std::vector<std::string>{"FileName", "Start", "Duration", "Format", "Date"}));
    ASSERT_EQ(list.files.size(), 3u);

    const SRFileInfo &a = list.files[0];
    EXPECT_EQ(a.sourcePath, "SRMEDIA/CLIPS");
    EXPECT_EQ(a.fileName, "A001C001");
    EXPECT_EQ(a.secondName, "REEL01");
    EXPECT_EQ(a.fileValid, 1);
    EXPECT_EQ(a.formatText, "59.94i 1080 4:2:2 10bit SR-HQ");
    EXPECT_EQ(a.startText, "01:00:00,00 ");
    EXPECT_EQ(a.startFrame, 107892u);
    EXPECT_EQ(a.durationFrames, 300u);
    EXPECT_EQ(a.durationText, "00:00:10,00 ");
    EXPECT_EQ(a.dateText1, "2012/07/15 09:30");
    EXPECT_EQ(a.dateText2, "2012/07/15 09:41");
    EXPECT_EQ(a.dateTime2.second, 10);
    EXPECT_EQ(a.interlaced, 1);
    EXPECT_EQ(a.dropFrame, 1);
    EXPECT_EQ(a.is720, 0);
    EXPECT_EQ(a.bitDepth, 10);
    EXPECT_EQ(a.rateNumerator, 30000);
    EXPECT_EQ(a.rateDenominator, 1001);
    EXPECT_DOUBLE_EQ(a.frameRate, 29.97);
    EXPECT_EQ(a.rawTail, rawTail(8, 0, 0, '1',
                                 {0x01, 0x01, 0x0D, 0x23, 0x13, 0x00, 0x00, 0x00, 0x00, 0x11, 0x22, 0x33,
                                  0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}));

    const SRFileInfo &b = list.files[1];
    EXPECT_EQ(b.fileName, "A002C007");
    EXPECT_EQ(b.secondName, "REEL02");
    EXPECT_EQ(b.formatText, "23.98PsF 1080 4:4:4 3D 12bit SR-SQ");
    EXPECT_EQ(b.startText, "10:20:30:12 ");
    EXPECT_EQ(b.startFrame, uint64_t(24 * (10 * 3600 + 20 * 60 + 30) + 12));
    EXPECT_EQ(b.durationText, "00:01:15:00 ");
    EXPECT_EQ(b.dateText1, "1999/12/31 23:59");
    EXPECT_EQ(b.dateTime1.year, 1999);
    EXPECT_EQ(b.dateTime1.subSecond, 50);
    EXPECT_EQ(b.dateTime2.year, 2000);
    EXPECT_EQ(b.psf, 1);
    EXPECT_EQ(b.stereo3D, 1);
    EXPECT_EQ(b.sampling, 1);
    EXPECT_EQ(b.codec, 1);
    EXPECT_EQ(b.bitDepth, 12);
    EXPECT_EQ(b.rawTail, rawTail(4, 0x0005, 0xC3, 'A',
                                 {0x01, 0x01, 0x0D, 0x23, 0x13, 0x00, 0x00, 0x00, 0xFF, 0xEE, 0xDD, 0xCC,
                                  0xBB, 0xAA, 0x99, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11, 0x00}));

    const SRFileInfo &c = list.files[2];
    EXPECT_EQ(c.fileValid, 0);
    EXPECT_EQ(c.formatText, "29.97P ???? SR-???");
    EXPECT_EQ(c.startText, "00:01:05,10 ");
    EXPECT_EQ(c.startFrame, 1958u);
    EXPECT_EQ(c.durationText, "00:10:00,00 ");
    EXPECT_EQ(c.interlaced, 0);
    EXPECT_EQ(c.psf, 0);
    EXPECT_EQ(c.codec, 1);
}

TEST_F(FileListReading, PlayOutCommandsChangeTheRecordersState) {
    manifest = std::make_unique<TempManifest>(manifestWith(QJsonArray{clipJson("A001"), clipJson("A002")}));
    cardlib::useManifest(manifest->path());
    const auto recorder = cardlib::findBoard(0)->recorder();
    QIROSRTransferDevice device;
    ASSERT_TRUE(device.open(0));
    EXPECT_EQ(device.stopPlayback(), 1);
    EXPECT_EQ(device.selectFile("A002"), 1);
    EXPECT_EQ(recorder->selectedClip(), std::optional<size_t>(1));
    EXPECT_EQ(device.startPlayback(), 1);
    EXPECT_TRUE(recorder->isPlaying());
    EXPECT_EQ(device.stopPlayback(), 1);
    EXPECT_FALSE(recorder->isPlaying());
}

TEST_F(FileListReading, ReadsTheDemoMediaByDefault) {
    qunsetenv("VANTREL_SIM_MEDIA");
    cardlib::useConfiguredMedia();
    QIROSRTransferDevice device;
    ASSERT_TRUE(device.open(0));
    const SRFileList list = device.readFileList();
    const ClipManifest demo = demoManifest();
    ASSERT_EQ(list.files.size(), demo.clips.size());
    for (size_t i = 0; i < demo.clips.size(); ++i)
        EXPECT_EQ(list.files[i].fileName, demo.clips[i].record.fileName);
    EXPECT_EQ(list.files[0].sourcePath, "SRMEDIA/CLIPS");
}

struct FaultCase {
    const char *name;
    QJsonObject recorderFaults;
    QJsonObject clipFaults; // on the second of three clips
    size_t files;
};

class FileListFaults : public FileListReading, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FileListFaults, EndsWithTheFilesReadBeforeTheFault) {
    const FaultCase &c = GetParam();
    QJsonArray clips = clipsNamed(3);
    if (!c.clipFaults.isEmpty()) {
        QJsonObject second = clips[1].toObject();
        second["faults"] = c.clipFaults;
        clips[1] = second;
    }
    const SRFileList list = readWith(manifestWith(clips, c.recorderFaults));
    ASSERT_EQ(list.files.size(), c.files);
    for (size_t i = 0; i < list.files.size(); ++i)
        EXPECT_EQ(list.files[i].durationFrames, 100 + i);
}

INSTANTIATE_TEST_SUITE_P(
    ThroughTheCardUart, FileListFaults,
    ::testing::Values(FaultCase{"RecorderBadChecksum", {{"badChecksum", true}}, {}, 0},
                      FaultCase{"RecorderAcknowledgesOnly", {{"acknowledgeOnly", true}}, {}, 0},
                      FaultCase{"RecorderSilent", {{"stopsAnswering", true}}, {}, 0},
                      FaultCase{"ListStaysBusy", {{"staysBusy", true}}, {}, 0},
                      FaultCase{"ClipBadChecksum", {}, {{"badChecksum", true}}, 1},
                      FaultCase{"ClipAcknowledgesOnly", {}, {{"acknowledgeOnly", true}}, 1},
                      FaultCase{"ClipStaysBusy", {}, {{"staysBusy", true}}, 1},
                      FaultCase{"RecorderFallsSilentAtClip", {}, {{"stopsAnswering", true}}, 1}),
    [](const ::testing::TestParamInfo<FaultCase> &info) { return std::string(info.param.name); });

TEST_F(FileListReading, ReadsFiftyClipsInAboutTwoRequestsPerClip) {
    const auto start = std::chrono::steady_clock::now();
    const SRFileList list = readWith(manifestWith(clipsNamed(50)));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(list.files.size(), 50u);
    EXPECT_EQ(list.files[49].fileName, "CLIP049");
    RecordProperty("seconds", std::to_string(seconds));
    // The pauses the protocol prescribes: two 100 ms exchanges per clip; before them two opens (100 ms
    // each), the status, prepare and start exchanges, three 30 ms steps and the list polls (130 ms each).
    const double pauses =
        50 * 2 * 0.1 + 2 * 0.1 + 3 * 0.1 + 3 * 0.03 + (SimulatedRecorder::kListBusyPolls + 1) * 0.13;
    std::printf("read 50 clips in %.2f s; the protocol's pauses take %.2f s\n", seconds, pauses);
}
