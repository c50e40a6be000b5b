#include "platform/srmodule/ClipInfoReply.h"

#include "bytes/ByteWriter.h"
#include "platform/srmodule/SerialFrame.h"

#include <algorithm>
#include <span>

namespace {

// Two decimal digits of value (0 to 99) as one BCD byte.
uint8_t toBcd(unsigned value) {
    return uint8_t(((value / 10 % 10) << 4) | (value % 10));
}

void writeNameField(ByteWriter &writer, const std::string &name) {
    const size_t length = std::min(name.size(), kClipNameFieldSize);
    writer.bytes(std::span(reinterpret_cast<const uint8_t *>(name.data()), length));
    writer.fill(0, kClipNameFieldSize - length);
}

void writeDateTime(ByteWriter &writer, const ClipDateTime &date) {
    writer.u8(toBcd(date.hundredths));
    writer.u8(toBcd(date.second));
    writer.u8(toBcd(date.minute));
    writer.u8(toBcd(date.hour));
    writer.u8(toBcd(date.day));
    writer.u8(toBcd(date.month));
    writer.u8(toBcd(date.year % 100));
    writer.u8(toBcd(date.year / 100));
}

} // namespace

std::vector<uint8_t> encodeFileInfoReply(const ClipRecord &clip, uint16_t index) {
    std::vector<uint8_t> data;
    data.reserve(kFileInfoReplySize - kFrameOverhead);
    ByteWriter writer(data);
    writer.u8(0);
    writer.u16LE(index);
    writer.u8(0); // ready
    writer.u8(clip.valid);
    writeNameField(writer, clip.fileName);
    writeNameField(writer, clip.secondName);
    writer.fill(0, 2);
    writer.u32LE(clip.durationFrames);
    writeDateTime(writer, clip.date1);
    writeDateTime(writer, clip.date2);
    writer.u8(clip.dropFrame);
    writer.u8(toBcd(clip.startTimecode.frames));
    writer.u8(toBcd(clip.startTimecode.seconds));
    writer.u8(toBcd(clip.startTimecode.minutes));
    writer.u8(toBcd(clip.startTimecode.hours));
    writer.u8(0);
    writer.u8(clip.rateIndex);
    writer.u8(clip.scan);
    writer.u8(clip.size);
    writer.u8(clip.sampling);
    writer.u8(clip.bitDepth);
    writer.u8(0);
    writer.u8(clip.codec);
    writer.u8(clip.stereo3D);
    writer.u8(0);
    writer.u8(clip.soundChannels);
    writer.u16LE(clip.dataChannelMask);
    writer.u32LE(clip.emphasis);
    writer.u8(uint8_t(clip.formatLetter));
    writer.bytes(clip.identifier);
    return buildFrame(kFileInfoReplyCommand1, kFileInfoReplyCommand2, data);
}
