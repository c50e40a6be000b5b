#include "platform/srmodule/SimulatedRecorder.h"

#include "platform/srmodule/ClipInfoReply.h"
#include "platform/srmodule/SerialFrame.h"

#include <algorithm>

namespace {

// Request command bytes.
constexpr uint8_t kPlayout1 = 0xF9, kPlayout2 = 0xFA;
constexpr uint8_t kSelect1 = 0x16, kSelect2 = 0x00;
constexpr uint8_t kStatus1 = 0xF4, kStatus2 = 0xFA;
constexpr uint8_t kPrepare1 = 0x14, kPrepare2 = 0xD0;
constexpr uint8_t kListStart1 = 0xF3, kListStart2 = 0x21;
constexpr uint8_t kListPoll1 = 0xF4, kListPoll2 = 0x21;
constexpr uint8_t kInfoRequest1 = 0xF3, kInfoRequest2 = 0x22;
constexpr uint8_t kInfoPoll1 = 0xF4, kInfoPoll2 = 0x22;

constexpr uint8_t kPlayoutStart = 0x01;
constexpr uint8_t kAcknowledge[] = {0x10, 0x01};
// Data offsets of the status reply (frame byte - 4): the volume name, then the folder text.
constexpr size_t kStatusVolumeOffset = 12;
constexpr size_t kStatusVolumeLength = 7;
constexpr size_t kStatusFolderOffset = 21;
// Data bytes of the select command before the name: 01 00 00.
constexpr size_t kSelectNameOffset = 3;
// Data bytes of a list poll reply: echo, busy flag (frame byte 5), three zero bytes, count (bytes 9-10).
constexpr size_t kListReplyData = 7;

std::vector<uint8_t> replyFrame(uint8_t command1, uint8_t command2, std::vector<uint8_t> data) {
    return buildFrame(uint8_t(command1 + 1), command2, data);
}

} // namespace

SimulatedRecorder::SimulatedRecorder(ClipManifest manifest) : media(std::move(manifest)) {}

std::optional<size_t> SimulatedRecorder::selectedClip() const {
    std::lock_guard guard(lock);
    return selected;
}

bool SimulatedRecorder::isPlaying() const {
    std::lock_guard guard(lock);
    return playing;
}

SimulatedRecorder::PlayState SimulatedRecorder::playState() const {
    std::lock_guard guard(lock);
    return {selected, playing, playoutStarts};
}

std::vector<uint8_t> SimulatedRecorder::receiveByte(uint8_t byte) {
    std::lock_guard guard(lock);
    if (incoming.empty() && byte != kFrameStart)
        return {};
    incoming.push_back(byte);
    if (incoming.size() < 2 || incoming.size() < size_t(incoming[1]) + kFrameOverhead)
        return {};
    const std::vector<uint8_t> frame = std::move(incoming);
    incoming.clear();
    const std::span<const uint8_t> body(frame.data(), frame.size() - 1);
    if (frameChecksum(body) != frame.back())
        return {};
    return answer(frame[2], frame[3], std::vector<uint8_t>(frame.begin() + 4, frame.end() - 1));
}

std::vector<uint8_t> SimulatedRecorder::answer(uint8_t command1, uint8_t command2,
                                               const std::vector<uint8_t> &data) {
    if (silent || media.faults.stopsAnswering)
        return {};
    std::vector<uint8_t> reply;
    if (command1 == kPlayout1 && command2 == kPlayout2 && !data.empty()) {
        playing = data[0] == kPlayoutStart && selected.has_value();
        if (playing)
            ++playoutStarts;
        reply = replyFrame(command1, command2, {uint8_t(data[0] == kPlayoutStart && !playing)});
    } else if (command1 == kSelect1 && command2 == kSelect2) {
        select(data);
        reply = replyFrame(command1, command2, {uint8_t(selected ? 0 : 1)});
    } else if (command1 == kStatus1 && command2 == kStatus2) {
        reply = statusReply();
    } else if (command1 == kPrepare1 && command2 == kPrepare2) {
        listPolls = -1;
        requestedInformation.reset();
        reply = replyFrame(command1, command2, {0});
    } else if (command1 == kListStart1 && command2 == kListStart2) {
        listPolls = 0;
        reply = replyFrame(command1, command2, {0});
    } else if (command1 == kListPoll1 && command2 == kListPoll2) {
        reply = listPollReply();
    } else if (command1 == kInfoRequest1 && command2 == kInfoRequest2 && data.size() >= 3) {
        const uint16_t index = uint16_t(data[1] | (data[2] << 8));
        requestedInformation = index;
        reply = replyFrame(command1, command2, {0, data[1], data[2]});
        if (index < media.clips.size())
            reply = withFaults(std::move(reply), media.clips[index].faults);
    } else if (command1 == kInfoPoll1 && command2 == kInfoPoll2 && data.size() >= 3) {
        reply = informationPollReply(uint16_t(data[1] | (data[2] << 8)));
    }
    return withFaults(std::move(reply), media.faults);
}

std::vector<uint8_t> SimulatedRecorder::statusReply() {
    // The volume name has exactly its seven bytes, cut or 00-padded, whatever the manifest was built with.
    std::vector<uint8_t> data(kStatusFolderOffset + media.folder.size() + 1, 0);
    std::copy_n(media.volume.begin(), std::min(media.volume.size(), kStatusVolumeLength),
                data.begin() + kStatusVolumeOffset);
    std::copy(media.folder.begin(), media.folder.end(), data.begin() + kStatusFolderOffset);
    return replyFrame(kStatus1, kStatus2, std::move(data));
}

std::vector<uint8_t> SimulatedRecorder::listPollReply() {
    const bool ready = listPolls >= kListBusyPolls && !media.faults.staysBusy;
    if (listPolls >= 0 && !ready)
        ++listPolls;
    std::vector<uint8_t> data(kListReplyData, 0);
    data[1] = ready ? 0 : 1;
    if (ready) {
        const size_t count = std::min<size_t>(media.clips.size(), UINT16_MAX);
        data[5] = uint8_t(count);
        data[6] = uint8_t(count >> 8);
    }
    return replyFrame(kListPoll1, kListPoll2, std::move(data));
}

std::vector<uint8_t> SimulatedRecorder::informationPollReply(uint16_t index) {
    const uint8_t low = uint8_t(index), high = uint8_t(index >> 8);
    const std::vector<uint8_t> busy = replyFrame(kInfoPoll1, kInfoPoll2, {0, low, high, 1});
    if (requestedInformation != index || index >= media.clips.size())
        return busy;
    const ManifestClip &clip = media.clips[index];
    return withFaults(clip.faults.staysBusy ? busy : encodeFileInfoReply(clip.record, index), clip.faults);
}

void SimulatedRecorder::select(const std::vector<uint8_t> &data) {
    playing = false;
    selected.reset();
    if (data.size() < kSelectNameOffset)
        return;
    const auto nameEnd = std::find(data.begin() + kSelectNameOffset, data.end(), 0);
    const std::string name(data.begin() + kSelectNameOffset, nameEnd);
    for (size_t i = 0; i < media.clips.size(); ++i) {
        if (media.clips[i].record.fileName.substr(0, kClipNameFieldSize) == name) {
            selected = i;
            return;
        }
    }
}

// A fault that stops the recorder answering lasts: every later command goes unanswered too.
std::vector<uint8_t> SimulatedRecorder::withFaults(std::vector<uint8_t> reply, const RecorderFaults &faults) {
    if (faults.stopsAnswering)
        silent = true;
    if (reply.empty() || silent)
        return {};
    if (faults.acknowledgeOnly)
        return std::vector<uint8_t>(std::begin(kAcknowledge), std::end(kAcknowledge));
    if (faults.badChecksum)
        reply.back() ^= 0xFF;
    return reply;
}
