#include "platform/srmodule/ClipInfoReply.h"
#include "platform/srmodule/DemoMedia.h"
#include "platform/srmodule/SerialFrame.h"
#include "platform/srmodule/SimulatedRecorder.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

// Sends one complete frame byte by byte and collects what the recorder sends back.
Bytes send(SimulatedRecorder &recorder, const Bytes &frame) {
    Bytes reply;
    for (uint8_t byte : frame) {
        const Bytes answer = recorder.receiveByte(byte);
        reply.insert(reply.end(), answer.begin(), answer.end());
    }
    return reply;
}

Bytes command(uint8_t command1, uint8_t command2, const Bytes &data) {
    return buildFrame(command1, command2, data);
}

ClipManifest manifestOf(size_t clipCount) {
    ClipManifest manifest;
    for (size_t i = 0; i < clipCount; ++i) {
        ManifestClip clip;
        clip.record.fileName = "C" + std::to_string(i);
        clip.record.durationFrames = uint32_t(100 + i);
        manifest.clips.push_back(clip);
    }
    return manifest;
}

// Runs the list query until it reports ready; returns the polls it took and the ready reply.
std::pair<int, Bytes> pollList(SimulatedRecorder &recorder, int maxPolls) {
    send(recorder, command(0x14, 0xD0, {0, 0, 4}));
    send(recorder, command(0xF3, 0x21, {0, 3, 1, 0}));
    Bytes reply;
    for (int poll = 1; poll <= maxPolls; ++poll) {
        reply = send(recorder, command(0xF4, 0x21, {0}));
        if (reply.size() > 5 && reply[5] == 0)
            return {poll, reply};
    }
    return {0, reply};
}

bool checksumRight(const Bytes &frame) {
    return !frame.empty() && frameChecksum(std::span(frame.data(), frame.size() - 1)) == frame.back();
}

} // namespace

TEST(SimulatedRecorder, SelectsTheNamedClipFromTheGoldenSelectFrame) {
    ClipManifest manifest = manifestOf(2);
    manifest.clips[1].record.fileName = "A001";
    SimulatedRecorder recorder(manifest);
    const Bytes golden{0x30, 0x08, 0x16, 0x00, 0x01, 0x00, 0x00, 0x41, 0x30, 0x30, 0x31, 0x00, 0x21};
    const Bytes reply = send(recorder, golden);
    EXPECT_EQ(reply, command(0x17, 0x00, {0}));
    EXPECT_EQ(recorder.selectedClip(), std::optional<size_t>(1));

    send(recorder, command(0x16, 0x00, {1, 0, 0, 'X', 0}));
    EXPECT_FALSE(recorder.selectedClip().has_value());
}

TEST(SimulatedRecorder, StartsAndStopsThePlayOutOfTheSelectedClip) {
    SimulatedRecorder recorder(manifestOf(3));
    EXPECT_EQ(send(recorder, command(0xF9, 0xFA, {1})), command(0xFA, 0xFA, {1})) << "nothing selected";
    EXPECT_FALSE(recorder.isPlaying());

    send(recorder, command(0x16, 0x00, {1, 0, 0, 'C', '2', 0}));
    EXPECT_EQ(send(recorder, command(0xF9, 0xFA, {1})), command(0xFA, 0xFA, {0}));
    EXPECT_TRUE(recorder.isPlaying());
    EXPECT_EQ(recorder.selectedClip(), std::optional<size_t>(2));
    send(recorder, command(0xF9, 0xFA, {0}));
    EXPECT_FALSE(recorder.isPlaying());
}

TEST(SimulatedRecorder, ReportsVolumeAndFolderInTheStatusReply) {
    ClipManifest manifest;
    manifest.volume = "DISK001";
    manifest.folder = "SHOOT";
    SimulatedRecorder recorder(manifest);
    const Bytes reply = send(recorder, command(0xF4, 0xFA, {0}));
    ASSERT_TRUE(checksumRight(reply));
    ASSERT_GE(reply.size(), 31u);
    EXPECT_EQ(reply[2], 0xF5);
    EXPECT_EQ(reply[3], 0xFA);
    EXPECT_EQ(std::string(reply.begin() + 16, reply.begin() + 23), "DISK001");
    EXPECT_EQ(std::string(reply.begin() + 25, reply.begin() + 30), "SHOOT");
    EXPECT_EQ(reply[30], 0);
    EXPECT_EQ(send(recorder, command(0x14, 0xD0, {0, 0, 4})), command(0x15, 0xD0, {0}));
}

TEST(SimulatedRecorder, CutsAVolumeNameLongerThanItsSevenBytes) {
    ClipManifest manifest;
    manifest.volume = std::string(40, 'V');
    manifest.folder = "";
    SimulatedRecorder recorder(manifest);
    const Bytes reply = send(recorder, command(0xF4, 0xFA, {0}));
    ASSERT_TRUE(checksumRight(reply));
    ASSERT_EQ(reply.size(), 27u);
    EXPECT_EQ(std::string(reply.begin() + 16, reply.begin() + 23), "VVVVVVV");
    EXPECT_EQ(reply[23], 0);
    EXPECT_EQ(reply[25], 0);
}

TEST(SimulatedRecorder, CompletesTheListQueryAfterAFewPollsWithTheClipCount) {
    SimulatedRecorder recorder(manifestOf(300));
    const auto [polls, reply] = pollList(recorder, 10);
    EXPECT_EQ(polls, SimulatedRecorder::kListBusyPolls + 1);
    ASSERT_EQ(reply.size(), 12u);
    EXPECT_EQ(reply[2], 0xF5);
    EXPECT_EQ(reply[3], 0x21);
    EXPECT_EQ(reply[9] + 256 * reply[10], 300);
    EXPECT_TRUE(checksumRight(reply));
}

TEST(SimulatedRecorder, AnswersAnInformationPollWithTheClipsReplyAlsoAboveIndex255) {
    ClipManifest manifest = manifestOf(300);
    manifest.clips[256].record.secondName = "REEL256";
    SimulatedRecorder recorder(manifest);
    EXPECT_EQ(send(recorder, command(0xF4, 0x22, {0, 0x00, 0x01})), command(0xF5, 0x22, {0, 0x00, 0x01, 1}))
        << "busy before the request";
    EXPECT_EQ(send(recorder, command(0xF3, 0x22, {0, 0x00, 0x01})), command(0xF4, 0x22, {0, 0x00, 0x01}));
    const Bytes reply = send(recorder, command(0xF4, 0x22, {0, 0x00, 0x01}));
    EXPECT_EQ(reply, encodeFileInfoReply(manifest.clips[256].record, 256));
    EXPECT_EQ(reply[7], 0);
}

TEST(SimulatedRecorder, IgnoresFramesWithAWrongChecksumAndBytesOutsideFrames) {
    SimulatedRecorder recorder(manifestOf(1));
    Bytes broken = command(0xF4, 0xFA, {0});
    broken.back() ^= 0x01;
    EXPECT_TRUE(send(recorder, broken).empty());
    EXPECT_TRUE(send(recorder, {0x00, 0x55, 0xFF}).empty());
    EXPECT_FALSE(send(recorder, command(0xF4, 0xFA, {0})).empty()) << "still in step after noise";
}

TEST(SimulatedRecorderFaults, WholeRecorderFaultsChangeEveryReply) {
    ClipManifest manifest = manifestOf(1);
    manifest.faults.badChecksum = true;
    SimulatedRecorder badChecksum(manifest);
    const Bytes reply = send(badChecksum, command(0xF4, 0xFA, {0}));
    ASSERT_FALSE(reply.empty());
    EXPECT_FALSE(checksumRight(reply));

    manifest.faults = {};
    manifest.faults.acknowledgeOnly = true;
    SimulatedRecorder acknowledging(manifest);
    EXPECT_EQ(send(acknowledging, command(0xF4, 0xFA, {0})), (Bytes{0x10, 0x01}));

    manifest.faults = {};
    manifest.faults.stopsAnswering = true;
    SimulatedRecorder silent(manifest);
    EXPECT_TRUE(send(silent, command(0xF4, 0xFA, {0})).empty());
    send(silent, command(0x16, 0x00, {1, 0, 0, 'C', '0', 0}));
    EXPECT_FALSE(silent.selectedClip().has_value());

    manifest.faults = {};
    manifest.faults.staysBusy = true;
    SimulatedRecorder busy(manifest);
    EXPECT_EQ(pollList(busy, 50).first, 0);
}

TEST(SimulatedRecorderFaults, ClipFaultsChangeOnlyThatClipsInformation) {
    ClipManifest manifest = manifestOf(4);
    manifest.clips[0].faults.badChecksum = true;
    manifest.clips[1].faults.acknowledgeOnly = true;
    manifest.clips[2].faults.staysBusy = true;
    manifest.clips[3].faults.stopsAnswering = true;
    SimulatedRecorder recorder(manifest);
    const auto information = [&recorder](uint8_t index) {
        send(recorder, command(0xF3, 0x22, {0, index, 0}));
        return send(recorder, command(0xF4, 0x22, {0, index, 0}));
    };
    EXPECT_NE(pollList(recorder, 10).first, 0) << "the list itself is fine";

    const Bytes first = information(0);
    EXPECT_EQ(first.size(), kFileInfoReplySize);
    EXPECT_FALSE(checksumRight(first));
    EXPECT_EQ(information(1), (Bytes{0x10, 0x01}));
    EXPECT_EQ(information(2), command(0xF5, 0x22, {0, 2, 0, 1}));
    EXPECT_TRUE(information(3).empty());
    EXPECT_TRUE(send(recorder, command(0xF4, 0xFA, {0})).empty()) << "silent from then on";
}

TEST(SimulatedRecorder, ListsTheDemoMedia) {
    SimulatedRecorder recorder(demoManifest());
    const auto [polls, reply] = pollList(recorder, 10);
    ASSERT_NE(polls, 0);
    EXPECT_EQ(size_t(reply[9] + 256 * reply[10]), demoManifest().clips.size());
}
