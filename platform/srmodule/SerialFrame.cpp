#include "platform/srmodule/SerialFrame.h"

#include "bytes/ByteWriter.h"

uint8_t frameChecksum(std::span<const uint8_t> bytes) {
    uint8_t sum = 0;
    for (uint8_t byte : bytes)
        sum = uint8_t(sum + byte);
    return sum;
}

std::vector<uint8_t> buildFrame(uint8_t command1, uint8_t command2, std::span<const uint8_t> data) {
    std::vector<uint8_t> frame;
    if (data.size() > kMaxFrameData)
        return frame;
    frame.reserve(data.size() + kFrameOverhead);
    ByteWriter writer(frame);
    writer.u8(kFrameStart);
    writer.u8(uint8_t(data.size()));
    writer.u8(command1);
    writer.u8(command2);
    writer.bytes(data);
    writer.u8(frameChecksum(frame));
    return frame;
}
