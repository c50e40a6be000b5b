// The recorder device's protocol logic against a simulated recorder wired straight into transact: no
// card, no pauses. The serial path itself is covered by test_device_line.cpp and test_device_filelist.cpp.

#include "platform/srmodule/ClipInfoReply.h"
#include "platform/srmodule/SerialFrame.h"
#include "platform/srmodule/SimulatedRecorder.h"
#include "recorder/QIROSRTransferDevice.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

// A device whose line is an in-process simulated recorder; records every command it sends.
class LoopbackDevice : public QIROSRTransferDevice {
public:
    explicit LoopbackDevice(ClipManifest manifest) : recorder(std::move(manifest)) {}

    bool open(int) override { return true; }
    void sleep(int) override {}
    int transact(uint8_t *buffer, int &length) override {
        commands.emplace_back(buffer, buffer + length);
        Bytes reply;
        for (uint8_t byte : buildFrame(buffer[0], buffer[1], std::span(buffer + 2, size_t(length - 2)))) {
            const Bytes answer = recorder.receiveByte(byte);
            reply.insert(reply.end(), answer.begin(), answer.end());
        }
        if (reply == Bytes{0x10, 0x01})
            return 1;
        if (reply.size() < kFrameOverhead ||
            frameChecksum(std::span(reply.data(), reply.size() - 1)) != reply.back()) {
            length = 0;
            std::memset(buffer, 0xFF, kFilledOnFailure);
            return 0;
        }
        length = int(reply.size() - 1);
        std::memcpy(buffer, reply.data(), reply.size() - 1);
        return 1;
    }

    size_t count(const Bytes &command) const {
        return size_t(std::count(commands.begin(), commands.end(), command));
    }

    SimulatedRecorder recorder;
    std::vector<Bytes> commands;
};

ClipManifest manifestOf(size_t clipCount) {
    ClipManifest manifest;
    for (size_t i = 0; i < clipCount; ++i) {
        ManifestClip clip;
        clip.record.fileName = "C" + std::to_string(i);
        clip.record.durationFrames = uint32_t(i);
        manifest.clips.push_back(clip);
    }
    return manifest;
}

} // namespace

TEST(DeviceProtocol, SelectFileSendsTheNameAndATerminatingZero) {
    LoopbackDevice device(manifestOf(0));
    EXPECT_EQ(device.selectFile("A001"), 0) << "the recorder has no clip of that name";
    ASSERT_EQ(device.commands.size(), 1u);
    EXPECT_EQ(device.commands[0], (Bytes{0x16, 0x00, 0x01, 0x00, 0x00, 0x41, 0x30, 0x30, 0x31, 0x00}));

    device.commands.clear();
    device.selectFile(std::string("AB\0CD", 5));
    EXPECT_EQ(device.commands.at(0), (Bytes{0x16, 0x00, 0x01, 0x00, 0x00, 'A', 'B', 0x00}))
        << "up to the NUL";
}

TEST(DeviceProtocol, SelectFileCutsLongNamesTo64BytesAndStillTerminatesThem) {
    for (size_t nameLength : {63u, 64u, 65u, 200u}) {
        LoopbackDevice device(manifestOf(0));
        std::string name(nameLength, 'N');
        name.back() = 'Z';
        device.selectFile(name);
        const Bytes &sent = device.commands.at(0);
        const size_t kept = std::min<size_t>(nameLength, 64);
        ASSERT_EQ(sent.size(), kept + 6) << nameLength;
        EXPECT_EQ(std::string(sent.begin() + 5, sent.end() - 1), name.substr(0, kept));
        EXPECT_EQ(sent.back(), 0x00) << nameLength;
    }
}

TEST(DeviceProtocol, PlayOutCommandsReachTheRecorder) {
    ClipManifest manifest = manifestOf(2);
    LoopbackDevice device(manifest);
    EXPECT_EQ(device.startPlayback(), 0) << "nothing selected: the recorder replies that it does not play";
    EXPECT_EQ(device.selectFile("C1"), 1);
    EXPECT_EQ(device.startPlayback(), 1);
    EXPECT_EQ(device.commands.back(), (Bytes{0xF9, 0xFA, 0x01}));
    EXPECT_TRUE(device.recorder.isPlaying());
    EXPECT_EQ(device.recorder.selectedClip(), std::optional<size_t>(1));
    EXPECT_EQ(device.stopPlayback(), 1);
    EXPECT_EQ(device.commands.back(), (Bytes{0xF9, 0xFA, 0x00}));
    EXPECT_FALSE(device.recorder.isPlaying());
}

TEST(DeviceProtocol, AnAcknowledgementAloneConfirmsNeitherTheSelectNorThePlayOut) {
    ClipManifest manifest = manifestOf(2);
    manifest.faults.acknowledgeOnly = true;
    LoopbackDevice device(manifest);
    EXPECT_EQ(device.selectFile("C1"), 0);
    EXPECT_EQ(device.startPlayback(), 0);
    EXPECT_TRUE(device.recorder.isPlaying()) << "it did play; its reply could not say so";
}

TEST(DeviceProtocol, ReadsIndexesAbove255WithTheirHighByte) {
    LoopbackDevice device(manifestOf(300));
    const SRFileList list = device.readFileList();
    ASSERT_EQ(list.files.size(), 300u);
    EXPECT_TRUE(list.complete);
    EXPECT_EQ(list.files[256].fileName, "C256");
    EXPECT_EQ(list.files[299].durationFrames, 299u);
    EXPECT_EQ(device.count({0xF3, 0x22, 0x00, 0x00, 0x01}), 1u);
    EXPECT_EQ(device.count({0xF4, 0x22, 0x00, 0x2B, 0x01}), 1u) << "index 299";
}

TEST(DeviceProtocol, AnEmptyRecorderGivesTheColumnNamesAndNoFiles) {
    LoopbackDevice device(manifestOf(0));
    const SRFileList list = device.readFileList();
    EXPECT_EQ(list.columnNames,
              (std::vector<std::string>{"FileName", "Start", "Duration", "Format", "Date"}));
    EXPECT_TRUE(list.files.empty());
    EXPECT_TRUE(list.complete);
    EXPECT_EQ(device.count({0xF4, 0x21, 0x00}), size_t(SimulatedRecorder::kListBusyPolls + 1));
}

TEST(DeviceProtocol, AListQueryThatStaysBusyEndsAfterTheBoundWithNoFiles) {
    ClipManifest manifest = manifestOf(3);
    manifest.faults.staysBusy = true;
    LoopbackDevice device(manifest);
    const SRFileList list = device.readFileList();
    EXPECT_TRUE(list.files.empty());
    EXPECT_FALSE(list.complete);
    EXPECT_EQ(device.count({0xF4, 0x21, 0x00}), size_t(QIROSRTransferDevice::kMaxListPolls));
}

TEST(DeviceProtocol, InformationThatStaysBusyEndsTheReadingWithTheFilesReadSoFar) {
    ClipManifest manifest = manifestOf(4);
    manifest.clips[2].faults.staysBusy = true;
    LoopbackDevice device(manifest);
    const SRFileList list = device.readFileList();
    ASSERT_EQ(list.files.size(), 2u);
    EXPECT_FALSE(list.complete);
    EXPECT_EQ(list.files[1].fileName, "C1");
    EXPECT_EQ(device.count({0xF4, 0x22, 0x00, 0x02, 0x00}),
              size_t(QIROSRTransferDevice::kMaxInformationPolls));
    EXPECT_EQ(device.count({0xF3, 0x22, 0x00, 0x03, 0x00}), 0u) << "no request after the stuck clip";
}

TEST(DeviceProtocol, AReadingStartsAfresh) {
    LoopbackDevice device(manifestOf(2));
    EXPECT_EQ(device.readFileList().files.size(), 2u);
    EXPECT_EQ(device.readFileList().files.size(), 2u);
}

TEST(DeviceProtocol, AddFileInfoTakesOnlyRepliesThatHoldByte205) {
    ClipRecord record;
    record.fileName = "SHORT";
    const Bytes reply = encodeFileInfoReply(record, 0);
    LoopbackDevice device(manifestOf(0));
    EXPECT_FALSE(device.addFileInfo(reply.data(), 205, "P/Q"));
    EXPECT_FALSE(device.addFileInfo(reply.data(), 0, "P/Q"));
    EXPECT_FALSE(device.addFileInfo(nullptr, 206, "P/Q"));
    EXPECT_TRUE(device.addFileInfo(reply.data(), 206, "P/Q"));
    EXPECT_TRUE(device.addFileInfo(reply.data(), int(reply.size()), "P/Q"));
}
