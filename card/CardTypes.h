#pragma once

// Value types of the capture-card library interface: the board-info record, the ring-DMA status and
// transfer structures, and the numbers the system passes to the card.

#include <cstdint>
#include <string>

namespace card {

// Board type the system opens and scans for.
inline constexpr uint32_t kBoardType = 8;
// Board type that opens the board of the given number whatever its type.
inline constexpr uint32_t kAnyBoardType = 0;
// Video format 19: 1,920 x 1,080, the recorder's transfer-mode output.
inline constexpr uint32_t kVideoFormat1080 = 19;
// Frame buffer format 1: 8-bit 4:2:2, two bytes per pixel.
inline constexpr uint32_t kFrameBufferFormat8Bit422 = 1;
// Number of picture buffers the card's ring DMA circulates through.
inline constexpr uint32_t kCardPictureBuffers = 16;
// Geometry of one captured 8-bit 4:2:2 picture.
inline constexpr uint32_t kPictureWidth = 1920;
inline constexpr uint32_t kPictureLines = 1080;
inline constexpr uint32_t kBytesPerLine8Bit = kPictureWidth * 2;
inline constexpr uint32_t kPictureBytes8Bit = kBytesPerLine8Bit * kPictureLines; // 4,147,200

// Exclusive-use code: four letters, the first in the most significant byte.
constexpr uint32_t applicationCode(char a, char b, char c, char d) {
    return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) | (uint32_t(uint8_t(c)) << 8) |
           uint32_t(uint8_t(d));
}
inline constexpr uint32_t kVantrelApplicationCode = applicationCode('V', 'T', 'R', 'L');

// UART registers and bits, always accessed with the full mask and shift 0.
inline constexpr uint32_t kRegisterUartTransmit = 70;   // writing sends the value's low byte
inline constexpr uint32_t kRegisterUartReceive = 71;    // the oldest received byte
inline constexpr uint32_t kRegisterUartControl = 72;    // control and status
inline constexpr uint32_t kRegisterUartReset = 10082;   // written 0 at open
inline constexpr uint32_t kUartControlPresent = 0x100;  // the board has a UART
inline constexpr uint32_t kUartControlRxReady = 0x10;   // a received byte is waiting
inline constexpr uint32_t kUartControlOpenBits = 0xC9;  // set by open
inline constexpr uint32_t kInterruptMaskUartRx = 0x100; // receive interrupt enabled
inline constexpr uint32_t kInterruptMaskUartTx = 0x80;  // transmit interrupt enabled
inline constexpr uint32_t kFullMask = 0xFFFFFFFF;

// Ring-DMA states reported in AUTOCIRCULATE_STATUS_STRUCT::state.
enum AutoCirculateState : uint32_t {
    kAutoCirculateDisabled = 0,
    kAutoCirculateInitializing = 1,
    kAutoCirculateStarting = 2,
    kAutoCirculatePaused = 3,
    kAutoCirculateStopping = 4,
    kAutoCirculateRunning = 5,
};

} // namespace card

// One installed board as the board scan reports it.
struct OurBoardInfo {
    uint32_t boardNumber = 0;
    uint32_t boardType = 0;
    uint32_t boardID = 0;
    std::string boardIdentifier; // display name, shown in the window title
};

// Ring-DMA status of one crosspoint.
struct AUTOCIRCULATE_STATUS_STRUCT {
    uint32_t crosspoint = 0;
    uint32_t state = card::kAutoCirculateDisabled;
    int32_t startFrame = 0;
    int32_t endFrame = 0;
    int32_t activeFrame = -1;
    uint64_t framesProcessed = 0; // pictures captured into the card's buffers since start
    uint32_t framesDropped = 0;   // pictures lost because every card buffer was full
    uint32_t bufferLevel = 0;     // pictures captured and not yet transferred
};

// One transfer request: the crosspoint and the host buffers to copy the next picture into.
// The system fills it word by word as its capture set-up prescribes; the named fields are those words.
struct AUTOCIRCULATE_TRANSFER_STRUCT {
    uint32_t channelSpec = 0;       // word 0: the crosspoint
    uint8_t *videoBuffer = nullptr; // host buffer for the picture
    uint32_t videoBufferSize = 0;   // bytes available at videoBuffer
    uint32_t videoDmaOffset = 0;
    uint8_t *audioBuffer = nullptr; // host buffer for embedded sound, or null
    uint32_t audioBufferSize = 0;
    uint32_t audioStartSample = 0;
    uint32_t audioNumChannels = 0; // word 7: 16
    uint32_t frameRepeatCount = 0; // word 8: 1
    uint32_t rp188 = 0;
    uint32_t desiredFrame = 0; // word 12: -1, the next picture in capture order
    uint32_t hUser = 0;
    uint32_t transferFlags = 0;
    uint8_t disableExtraAudioInfo = 0; // low byte of word 15: 1
    uint32_t frameBufferFormat = 0;    // word 16
};

// Result of one transfer.
struct AUTOCIRCULATE_TRANSFER_STATUS_STRUCT {
    uint32_t state = card::kAutoCirculateDisabled;
    int32_t transferFrame = -1; // card buffer the picture came from
    uint32_t bufferLevel = 0;   // pictures still waiting after this transfer
    uint32_t framesProcessed = 0;
    uint32_t framesDropped = 0;
    uint32_t capturedBytes = 0; // bytes copied into videoBuffer
};
