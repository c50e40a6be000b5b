// vantrel-transfer: until the transfer front end exists, runs the simulated payload round trip and says
// in plain words what came back. Exit code 0 when everything came back identical, 1 otherwise.

#include "cli/SimulatedRoundTrip.h"

#include <cstdio>

int main() {
    constexpr uint32_t kFrames = 20;
    constexpr uint32_t kSoundChannels = 4;
    std::printf("Vantrel: no transfer front end yet; running the simulated payload round trip.\n");
    std::printf("Playing out %u frames with %u sound channels and data items, embedded in 8-bit and 10-bit "
                "pictures...\n",
                kFrames, kSoundChannels);
    const RoundTripReport report = runSimulatedRoundTrip(kFrames, kSoundChannels, 1);

    std::printf("Blocks: %u played out, %u of %u came back identical (both depths).\n", report.blocks,
                report.blocksIdentical, 2 * report.blocks);
    std::printf("Frames: %u played out (%u split across block ends), %u of %u came back identical (both "
                "depths).\n",
                report.frames, report.splitFrames, report.framesIdentical, 2 * report.frames);
    std::printf("Bytes: %llu payload bytes per depth.\n", static_cast<unsigned long long>(report.bytes));
    for (const std::string &mismatch : report.mismatches)
        std::printf("Mismatch: %s\n", mismatch.c_str());
    if (!report.mismatches.empty()) {
        std::printf("Round trip FAILED: %zu mismatches.\n", report.mismatches.size());
        return 1;
    }
    std::printf("Round trip OK: everything came back identical.\n");
    return 0;
}
