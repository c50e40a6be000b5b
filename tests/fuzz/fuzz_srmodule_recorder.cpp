// Arbitrary bytes on the simulated recorder's serial line: whatever arrives, every answer is either the
// acknowledgement or exactly one frame with a right checksum.

#include "platform/srmodule/DemoMedia.h"
#include "platform/srmodule/SerialFrame.h"
#include "platform/srmodule/SimulatedRecorder.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    SimulatedRecorder recorder(demoManifest());
    for (size_t i = 0; i < size; ++i) {
        const std::vector<uint8_t> reply = recorder.receiveByte(data[i]);
        if (reply.empty())
            continue;
        const bool frame = reply.size() >= kFrameOverhead && reply[0] == kFrameStart &&
                           reply.size() == size_t(reply[1]) + kFrameOverhead &&
                           frameChecksum(std::span(reply.data(), reply.size() - 1)) == reply.back();
        if (!frame)
            std::abort();
    }
    return 0;
}
