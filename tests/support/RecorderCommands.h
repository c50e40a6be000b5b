#pragma once

// Commands sent straight to a simulated recorder, as the controller's serial line would carry them.

#include "platform/srmodule/SerialFrame.h"
#include "platform/srmodule/SimulatedRecorder.h"

#include <span>
#include <string>
#include <vector>

namespace testsupport {

// command: the two command bytes, then the data. The replies are dropped.
inline void sendCommand(SimulatedRecorder &recorder, std::vector<uint8_t> command) {
    for (const uint8_t byte : buildFrame(command[0], command[1], std::span(command).subspan(2)))
        recorder.receiveByte(byte);
}

// Selects the clip by name and starts its play-out.
inline void selectAndPlay(SimulatedRecorder &recorder, const std::string &name) {
    std::vector<uint8_t> select{0x16, 0x00, 0x01, 0x00, 0x00};
    select.insert(select.end(), name.begin(), name.end());
    select.push_back(0);
    sendCommand(recorder, select);
    sendCommand(recorder, {0xF9, 0xFA, 0x01});
}

} // namespace testsupport
